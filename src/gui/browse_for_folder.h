#pragma once
#include <QString>

class QWidget;

namespace qmd {

// A modal folder chooser showing `prompt`, opening with no folder selected,
// offering only file-system folders. It opens in `current` (the folder in
// use) when that is a folder, else in the folder chosen last in this run,
// else in the user's Pictures or home folder. The chosen folder's full path,
// or empty when the user cancels.
QString BrowseForFolder(QWidget* parent, const QString& prompt, const QString& current = {});

}  // namespace qmd
