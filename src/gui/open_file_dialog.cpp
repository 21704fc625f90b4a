#include "gui/open_file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include "gui/start_folder.h"

namespace qmd {

QString OpenFileDialog::QtFilter() const
{
    if (filter_.isEmpty()) return {};
    QStringList entries;
    const QStringList parts = filter_.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

bool OpenFileDialog::Execute(QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name of a file that does not exist is taken as it is. The
    // desktop's own dialogs (GTK, the XDG portal) refuse such a name in an
    // open dialog, so Qt's dialog is used everywhere.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilter(QtFilter());
    dialog.setOption(QFileDialog::ReadOnly, false);
    // The last confirmed name's folder, or the home folder; the name itself
    // is then selected in it.
    dialog.setDirectory(
        StartFolder(fileName_.isEmpty() ? QString() : QFileInfo(fileName_).absolutePath(), StartFallback::Home));
    if (!fileName_.isEmpty()) dialog.selectFile(fileName_);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return false;
    fileName_ = chosen.front();
    return true;
}

}  // namespace qmd
