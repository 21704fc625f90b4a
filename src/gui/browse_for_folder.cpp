#include "gui/browse_for_folder.h"

#include <QDir>
#include <QFileDialog>

namespace qmd {

QString BrowseForFolder(QWidget* parent, const QString& prompt)
{
    QFileDialog dialog(parent, prompt, QDir::rootPath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    return QDir::cleanPath(QFileInfo(chosen.front()).absoluteFilePath());
}

}  // namespace qmd
