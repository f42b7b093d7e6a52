#pragma once

#include <QFont>

namespace morvex::shell {

// The fonts every grid view shares: the status bar's font with the face
// "Arial", and a bold one 1.2 times its height.
struct GridFonts {
    QFont grid;
    QFont bold;
};

GridFonts createGridFonts();

} // namespace morvex::shell
