#include "shell/GridFonts.h"

#include <QApplication>
#include <QStatusBar>

namespace morvex::shell {

GridFonts createGridFonts()
{
    GridFonts fonts;
    fonts.grid = QApplication::font("QStatusBar");
    fonts.grid.setFamilies({QStringLiteral("Arial"), fonts.grid.family()});
    fonts.bold = fonts.grid;
    if (fonts.grid.pixelSize() > 0) {
        fonts.bold.setPixelSize(static_cast<int>(fonts.grid.pixelSize() * 1.2));
    } else {
        fonts.bold.setPointSizeF(fonts.grid.pointSizeF() * 1.2);
    }
    fonts.bold.setWeight(QFont::Bold);
    return fonts;
}

} // namespace morvex::shell
