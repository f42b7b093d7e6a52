#pragma once

// The chart pictures' colours as the tests look for them.
#include <QImage>
#include <QPoint>

#include <cstdlib>
#include <vector>

namespace morvex::test {

// The positions of the pixels of one colour (smoothed edges included).
inline std::vector<QPoint> pixelsOf(const QImage& image, int r, int g, int b)
{
    std::vector<QPoint> points;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - r) < 24 && std::abs(qGreen(p) - g) < 24 && std::abs(qBlue(p) - b) < 24) {
                points.emplace_back(x, y);
            }
        }
    }
    return points;
}
// The highlighted row (or point) and column (or curve edge).
inline std::vector<QPoint> redOf(const QImage& image)
{
    return pixelsOf(image, 191, 0, 0);
}
inline std::vector<QPoint> greenOf(const QImage& image)
{
    return pixelsOf(image, 0, 191, 0);
}
inline std::vector<QPoint> originMarkerOf(const QImage& image)
{
    return pixelsOf(image, 255, 255, 51);
}

} // namespace morvex::test
