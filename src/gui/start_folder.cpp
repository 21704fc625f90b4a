#include "gui/start_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace qmd {

QString StartFolder(const QString& chosenLast, StartFallback fallback)
{
    if (!chosenLast.isEmpty() && QFileInfo(chosenLast).isDir()) return chosenLast;
    if (fallback == StartFallback::Pictures) {
        const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        // Without a Pictures folder the location names the home folder
        // itself, or one that does not exist.
        if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) return pictures;
    }
    return QDir::homePath();
}

}  // namespace qmd
