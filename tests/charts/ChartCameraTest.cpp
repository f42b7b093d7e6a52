#include "charts/ChartCamera.h"

#include <gtest/gtest.h>

using namespace morvex::charts;

namespace {

constexpr ChartModifiers kCtrl{true, false, false};
constexpr ChartModifiers kCtrlShift{true, true, false};
constexpr ChartModifiers kCtrlAlt{true, false, true};
constexpr ChartModifiers kCtrlShiftAlt{true, true, true};

void expectHomeView(const ChartCamera& camera)
{
    EXPECT_EQ(camera.TurnVertical(), 30);
    EXPECT_EQ(camera.TurnHorizontal(), 45);
    EXPECT_EQ(camera.Zoom(), 220);
    EXPECT_EQ(camera.ShiftX(), 0);
    EXPECT_EQ(camera.ShiftY(), 0);
}

} // namespace

TEST(ChartCamera, HomeAndEndViewsRestoreEverythingFromAnyState)
{
    ChartCamera camera;
    camera.Turn(123, -77);
    camera.Shift(500, -31);
    camera.Wheel(-1200);
    ASSERT_TRUE(camera.ApplyKey(ChartKey::Home, kCtrlShift));
    expectHomeView(camera);

    camera.Turn(5, 5);
    camera.Wheel(600);
    ASSERT_TRUE(camera.ApplyKey(ChartKey::End, kCtrlShift));
    EXPECT_EQ(camera.TurnVertical(), 210);
    EXPECT_EQ(camera.TurnHorizontal(), 45);
    EXPECT_EQ(camera.Zoom(), 220);

    // The numeric pad's 7 and 1 with Ctrl+Shift+Alt are the same views.
    camera.Shift(-40, 40);
    ASSERT_TRUE(camera.ApplyKey(ChartKey::Pad7, kCtrlShiftAlt));
    expectHomeView(camera);
    ASSERT_TRUE(camera.ApplyKey(ChartKey::Pad1, kCtrlShiftAlt));
    EXPECT_EQ(camera.TurnVertical(), 210);
}

TEST(ChartCamera, ZoomAndShiftStopAtTheirLimits)
{
    ChartCamera camera;
    camera.Wheel(-120 * 20);
    EXPECT_EQ(camera.Zoom(), 300);
    EXPECT_TRUE(camera.ApplyKey(ChartKey::Left, kCtrlShift));
    EXPECT_EQ(camera.Zoom(), 300);
    EXPECT_TRUE(camera.ApplyKey(ChartKey::Pad3, kCtrlShiftAlt));
    EXPECT_EQ(camera.Zoom(), 300);
    camera.Wheel(120 * 100);
    EXPECT_EQ(camera.Zoom(), 20);
    // One notch is 10 units.
    camera.Wheel(-120);
    EXPECT_EQ(camera.Zoom(), 30);

    camera.Shift(450, -450);
    EXPECT_TRUE(camera.ApplyKey(ChartKey::Right, kCtrlAlt));
    EXPECT_TRUE(camera.ApplyKey(ChartKey::Pad6, kCtrlShiftAlt));
    EXPECT_TRUE(camera.ApplyKey(ChartKey::Up, kCtrlAlt));
    EXPECT_TRUE(camera.ApplyKey(ChartKey::Pad8, kCtrlShiftAlt));
    EXPECT_EQ(camera.ShiftX(), 450);
    EXPECT_EQ(camera.ShiftY(), -450);
    EXPECT_TRUE(camera.ApplyKey(ChartKey::Left, kCtrlAlt));
    EXPECT_EQ(camera.ShiftX(), 448);
}

TEST(ChartCamera, TurnsWrapIntoWholeDegrees)
{
    ChartCamera camera;
    camera.SetTurn(0, 0);
    camera.Turn(-1, -1);
    EXPECT_EQ(camera.TurnVertical(), 359);
    EXPECT_EQ(camera.TurnHorizontal(), 359);
    camera.Turn(1, 721);
    EXPECT_EQ(camera.TurnVertical(), 0);
    EXPECT_EQ(camera.TurnHorizontal(), 0);
    EXPECT_TRUE(camera.ApplyKey(ChartKey::Left, kCtrl));
    EXPECT_EQ(camera.TurnVertical(), 358);
    EXPECT_TRUE(camera.ApplyKey(ChartKey::Down, kCtrl));
    EXPECT_EQ(camera.TurnHorizontal(), 2);
    EXPECT_EQ(wrapDegrees(-0.5), 0);
    EXPECT_EQ(wrapDegrees(359.9), 359);
}

TEST(ChartCamera, KeysOutsideTheTableAreNotTaken)
{
    ChartCamera camera;
    EXPECT_FALSE(camera.ApplyKey(ChartKey::Left, {}));
    EXPECT_FALSE(camera.ApplyKey(ChartKey::Left, {false, true, true}));
    EXPECT_FALSE(camera.ApplyKey(ChartKey::Home, kCtrl));
    EXPECT_FALSE(camera.ApplyKey(ChartKey::Pad4, kCtrlShift));
    EXPECT_FALSE(camera.ApplyKey(ChartKey::Left, kCtrlShiftAlt));
    EXPECT_FALSE(camera.ApplyKey(ChartKey::Other, kCtrl));
    expectHomeView(camera);
}

TEST(ChartCamera, ProjectionKeepsTheZoomOnTheShorterSide)
{
    ChartCamera camera;
    camera.Shift(10, 20);
    const OrthoBox wide = camera.Projection(400, 200);
    EXPECT_DOUBLE_EQ(wide.left, -440 - 10);
    EXPECT_DOUBLE_EQ(wide.right, 440 - 10);
    EXPECT_DOUBLE_EQ(wide.bottom, 20 - 220);
    EXPECT_DOUBLE_EQ(wide.top, 20 + 220);
    const OrthoBox tall = camera.Projection(200, 400);
    EXPECT_DOUBLE_EQ(tall.right - tall.left, 440);
    EXPECT_DOUBLE_EQ(tall.top - tall.bottom, 880);
    EXPECT_DOUBLE_EQ(tall.nearPlane, -350);
    EXPECT_DOUBLE_EQ(tall.farPlane, 450);
}
