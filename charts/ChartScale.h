#pragma once

namespace morvex::charts {

// The model's full height: a value at the top of its scale stands this
// high (of the 256 units the floor is wide).
inline constexpr double kFullHeight = 250;

// Where the ignition, data recording and index charts place a value: on a
// scale from `minimum` to `maximum` that ends at kFullHeight. A negative
// minimum lifts the scale so that it starts at the floor; a positive one
// does not (a map's values count from 0, so 0..250 gives the value itself).
// A scale with nothing above the floor (maximum not above the lifted
// minimum) and a value that is not a number lie flat: a recording grid
// whose maximum is still 0 must not put infinities into the picture.
double scaledHeight(double value, double minimum, double maximum);

// The value range a chart scales with; 0..250 draws a byte as it is.
struct ValueScale {
    double offset = 0;
    double range = kFullHeight;
    double Height(double value) const { return scaledHeight(value, offset, range); }
};

} // namespace morvex::charts
