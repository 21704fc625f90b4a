#include "gui/window_fonts.h"

namespace qmd {

QFont DialogFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QFont InformationFont()
{
    QFont font(QStringLiteral("Microsoft Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(27);
    font.setBold(true);
    return font;
}

}  // namespace qmd
