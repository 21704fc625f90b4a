#include "gui/browse_for_folder.h"

#include <QDir>
#include <QFileDialog>

#include "gui/start_folder.h"

namespace qmd {

QString BrowseForFolder(QWidget* parent, const QString& prompt, const QString& current)
{
    // A cancel empties the stored folder, but the next chooser still opens
    // where the user was.
    static QString chosenLast;
    const QString start = QFileInfo(current).isDir() ? current : StartFolder(chosenLast, StartFallback::Pictures);
    QFileDialog dialog(parent, prompt, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    chosenLast = QDir::cleanPath(QFileInfo(chosen.front()).absoluteFilePath());
    return chosenLast;
}

}  // namespace qmd
