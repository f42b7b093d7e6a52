#pragma once

// The simulator's control channel (morvex-boxsim --control-stdin): text
// commands, one per line, that change the box's memory and hold the engine
// model at an operating point, for end-to-end tests and for trying the
// editor. Every line gets exactly one answer line, "OK ..." or
// "ERR <reason>":
//
//   poke <line address> <value>    one byte of box memory (0..2047, 0..255)
//                                  -> "OK"
//   peek <line address> [count]    count bytes from there (default 1, at
//                                  most 2048 - address)
//                                  -> "OK <v1> <v2> ..." (decimal)
//   hold <quantity> <value>        holds a quantity until released -> "OK"
//   release [<quantity>]           releases one quantity, or all -> "OK"
//   measure <159|160|161> <v...>   what that diagnostic measurement reports
//                                  from now on: 3, 2 or 4 physical values
//                                  (159: two pressures in mbar and rpm;
//                                  160: two temperatures in degC; 161: two
//                                  pressures, two temperatures) -> "OK"
//   measure <159|160|161> model    back to the engine model's values
//   diag                           -> "OK pending=<c> started=<n> ended=<n>
//                                  last=<c>": the diagnostic waiting for its
//                                  request byte (0: none), diagnostics
//                                  started, actions ended by the request
//                                  byte and the last one ended
//   help                           -> "OK <one line of usage>"
//
// Quantities (see Hold in BoxSim.h): rpm-index, throttle-index,
// engine-temp-index, air-temp-index, air-pressure-index (a point 0..15 of
// the box's axis by its position in box memory, which live values 130..134
// then report exactly, with the axis word as the raw value); lambda-left,
// lambda-right (sensor millivolts 0..5000, live values 135 and 136);
// injection-us (microseconds 0..71000, live value 139).
//
// Words are separated by blanks or tabs; numbers are decimal (hold values
// may have a fraction). A command that is not understood changes nothing.
// No I/O here: the pseudo-terminal front reads the lines and writes the
// answers.

#include "tools/boxsim/BoxSim.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace boxsim {

// Longer lines are answered "ERR line too long" as a whole.
inline constexpr std::size_t kMaxControlLine = 1000;

// Carries out one command line (without its line end; a trailing CR is
// ignored) at `now` on the box's clock, after letting the box run up to
// then; returns the answer line without its line end.
std::string ApplyControl(BoxSim& sim, std::string_view line, Nanos now);

// Cuts a byte stream into lines at LF. Keeps at most kMaxControlLine + 1
// characters of a line, enough for ApplyControl to refuse it.
class ControlLines {
public:
    void feed(std::string_view bytes);
    // At the end of the stream: an unfinished last line counts as a line.
    void finish();
    // The lines complete so far, in order; they are handed out once.
    std::vector<std::string> take();
    bool hasLines() const { return !lines_.empty(); }

private:
    std::string partial_;
    std::vector<std::string> lines_;
};

} // namespace boxsim
