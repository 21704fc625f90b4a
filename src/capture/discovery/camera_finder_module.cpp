#include "capture/discovery/camera_finder_module.h"

#include "common/executable_path.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qmd {
namespace {

QString Tr(const char* text) { return QCoreApplication::translate("qmd::CameraFinderModule", text); }

CameraFinderModule Unusable(const QString& path, const char* error)
{
    CameraFinderModule module;
    const QString name = QFileInfo(path).fileName();
    module.Failure = QFileInfo::exists(path) ? Tr("Nie można szukać kamer: nie można załadować modułu %1.").arg(name)
                                             : Tr("Nie można szukać kamer: brak modułu %1.").arg(name);
    module.Detail = error != nullptr ? QString::fromLocal8Bit(error) : path;
    return module;
}

}  // namespace

QString CameraFinderModulePath()
{
    return QDir::cleanPath(QString::fromStdString(BesideExecutable(QMD_MODULE_DIR)) + QLatin1Char('/') +
                           QStringLiteral(QMD_CAMERA_FINDER_MODULE));
}

CameraFinderModule LoadCameraFinderModule(const QString& path)
{
    // Never closed: the finders it made, and what they left to the event
    // loop, run its code.
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return Unusable(path, dlerror());
    auto* make = reinterpret_cast<decltype(&qmd_make_camera_finder)>(dlsym(handle, "qmd_make_camera_finder"));
    if (make == nullptr) return Unusable(path, dlerror());
    CameraFinderModule module;
    module.Make = [make](CameraFinderHandlers handlers) {
        return std::unique_ptr<CameraFinder>(make(std::move(handlers)));
    };
    return module;
}

}  // namespace qmd
