#pragma once
// The program's icon, a camera eye, drawn by the program itself at the usual
// icon sizes. Used as window icon, tray icon and (rendered to PNG files under
// data/icons) desktop icon.
//
// Usage: QApplication::setWindowIcon(qmd::ApplicationIcon()); the tray
// controller uses it by itself.
#include <QIcon>
#include <QImage>

namespace qmd {

// The name the icon is installed by in the hicolor theme (data/icons), and
// the desktop entry's Icon.
inline constexpr char kApplicationIconName[] = "quisk-motion-detector";

// Drawn by us; named kApplicationIconName (QIcon::name()) where the icon
// theme has that icon (an installed program).
QIcon ApplicationIcon();

// One size of the icon (square, transparent background).
QImage RenderApplicationIcon(int size);

}  // namespace qmd
