#include "charts/ChartCamera.h"

#include <algorithm>
#include <cmath>

namespace morvex::charts {

double wrapDegrees(double degrees)
{
    const double whole = std::trunc(degrees);
    const double wrapped = std::fmod(whole, 360.0);
    return wrapped < 0 ? wrapped + 360.0 : wrapped;
}

void ChartCamera::SetTurn(double vertical, double horizontal)
{
    turnVertical_ = wrapDegrees(vertical);
    turnHorizontal_ = wrapDegrees(horizontal);
}

void ChartCamera::Turn(int dx, int dy)
{
    SetTurn(turnVertical_ + dx, turnHorizontal_ + dy);
}

void ChartCamera::Shift(int dx, int dy)
{
    AddShift(dx, dy);
}

void ChartCamera::Wheel(int delta)
{
    AddZoom(-delta / 12.0);
}

void ChartCamera::HomeView()
{
    SetTurn(kHomeTurnVertical, kHomeTurnHorizontal);
    zoom_ = kHomeZoom;
    shiftX_ = 0;
    shiftY_ = 0;
}

void ChartCamera::EndView()
{
    HomeView();
    turnVertical_ = kEndTurnVertical;
}

void ChartCamera::AddZoom(double delta)
{
    zoom_ = std::clamp(zoom_ + delta, kMinZoom, kMaxZoom);
}

void ChartCamera::AddShift(double dx, double dy)
{
    shiftX_ = std::clamp(shiftX_ + dx, -kMaxShift, kMaxShift);
    shiftY_ = std::clamp(shiftY_ + dy, -kMaxShift, kMaxShift);
}

bool ChartCamera::ApplyKey(ChartKey key, ChartModifiers modifiers)
{
    if (!modifiers.ctrl) {
        return false;
    }
    if (modifiers.shift && modifiers.alt) {
        return ApplyCtrlShiftAltKey(key);
    }
    if (modifiers.shift) {
        return ApplyCtrlShiftKey(key);
    }
    if (modifiers.alt) {
        return ApplyCtrlAltKey(key);
    }
    return ApplyCtrlKey(key);
}

bool ChartCamera::ApplyCtrlKey(ChartKey key)
{
    switch (key) {
    case ChartKey::Left: Turn(-2, 0); return true;
    case ChartKey::Right: Turn(2, 0); return true;
    case ChartKey::Up: Turn(0, -2); return true;
    case ChartKey::Down: Turn(0, 2); return true;
    default: return false;
    }
}

bool ChartCamera::ApplyCtrlShiftKey(ChartKey key)
{
    switch (key) {
    case ChartKey::Home: HomeView(); return true;
    case ChartKey::End: EndView(); return true;
    case ChartKey::Left: AddZoom(10); return true;
    case ChartKey::Right: AddZoom(-10); return true;
    case ChartKey::Up: AddZoom(-2); return true;
    case ChartKey::Down: AddZoom(2); return true;
    default: return false;
    }
}

bool ChartCamera::ApplyCtrlAltKey(ChartKey key)
{
    switch (key) {
    case ChartKey::Left: AddShift(-2, 0); return true;
    case ChartKey::Right: AddShift(2, 0); return true;
    case ChartKey::Up: AddShift(0, -2); return true;
    case ChartKey::Down: AddShift(0, 2); return true;
    default: return false;
    }
}

bool ChartCamera::ApplyCtrlShiftAltKey(ChartKey key)
{
    switch (key) {
    case ChartKey::Pad1: EndView(); return true;
    case ChartKey::Pad7: HomeView(); return true;
    case ChartKey::Pad4: AddShift(-2, 0); return true;
    case ChartKey::Pad6: AddShift(2, 0); return true;
    case ChartKey::Pad8: AddShift(0, -2); return true;
    case ChartKey::Pad2: AddShift(0, 2); return true;
    case ChartKey::Pad9: AddZoom(-2); return true;
    case ChartKey::Pad3: AddZoom(2); return true;
    default: return false;
    }
}

OrthoBox ChartCamera::Projection(int width, int height) const
{
    const double aspect = height > 0 ? static_cast<double>(width) / height : 1.0;
    double halfWidth = zoom_;
    double halfHeight = zoom_;
    if (aspect > 1) {
        halfWidth = aspect * zoom_;
    } else if (aspect > 0) {
        halfHeight = zoom_ / aspect;
    }
    return {-halfWidth - shiftX_, halfWidth - shiftX_, shiftY_ - halfHeight, shiftY_ + halfHeight, kNear, kFar};
}

} // namespace morvex::charts
