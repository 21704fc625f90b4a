#pragma once
// Qt's own texts (the buttons of message boxes, the file and folder choosers,
// the context menus of text fields) in Polish, as the rest of the program,
// whatever the desktop's language: Qt's translations as Debian ships them
// (qt6-translations-l10n). Without them Qt's texts stay English; that is
// said once on the error stream.
class QCoreApplication;

namespace qmd {

// After the application is made, before any window.
void InstallPolishQtTranslations(QCoreApplication& application);

}  // namespace qmd
