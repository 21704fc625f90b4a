#pragma once
#include <QString>

class QWidget;

namespace qmd {

// A modal folder chooser showing `prompt`, opening with no folder selected,
// offering only file-system folders. The chosen folder's full path, or empty
// when the user cancels.
QString BrowseForFolder(QWidget* parent, const QString& prompt);

}  // namespace qmd
