// What counts as motion beyond the sensitivity: the areas to ignore
// (obszary.txt in AppDir) and the smallest area and light-change bound
// (section "Ruch" of the settings), read at start-up and set by their windows.
#include <QAction>

#include "base/app_dir.h"
#include "base/settings_file.h"
#include "capture/video_window.h"
#include "common/file_io.h"
#include "common/quisk_error.h"
#include "shell/detection_areas_window.h"
#include "shell/detection_settings_window.h"
#include "shell/main_form.h"
#include "shell/shell_log.h"

namespace qmd {
namespace {

std::string AreasFilePath() { return AppFile(kIgnoreAreasFileName); }

// A missing file is no area. What cannot be read is said once, here; the
// file stays as it is until the user stores areas with OK.
AreaList ReadAreasFile()
{
    const std::string path = AreasFilePath();
    std::string text;
    switch (ReadWholeFile(path, text)) {
    case ReadResult::Missing: return {};
    case ReadResult::Unreadable:
        qCWarning(lcShell, "%s cannot be read; no area is ignored", path.c_str());
        return {};
    case ReadResult::Ok: break;
    }
    AreaFileContent content = ParseAreaText(text);
    for (const std::string& line : content.UnreadableLines)
        qCWarning(lcShell, "%s: a line that is not \"x y width height\" in fractions of the picture is skipped: %s",
                  path.c_str(), line.c_str());
    return std::move(content.Areas);
}

}  // namespace

void TfmMainForm::LoadDetectionRules(const SettingsFile& settings)
{
    Detection.SmallestAreaShare.store(settings.Read(keys::SmallestArea));
    Detection.LightChangeShare.store(settings.Read(keys::LightChangeBound));
    Detection.Areas.Set(ReadAreasFile());
}

void TfmMainForm::Obszarybezwykrywania1Click()
{
    DetectionAreasWindow window(*Detection.Areas.Get(), [this](QSize size) { return VideoWindow->LatestPicture(size); },
                                this);
    if (window.exec() != QDialog::Accepted) return;
    // Stored as the file will read back.
    const std::string text = AreaText(window.Areas());
    const std::string path = AreasFilePath();
    EnsureParentDirectory(path);
    if (!ReplaceFileAtomically(path, text)) throw QuiskError("Unable to write to " + path);
    Detection.Areas.Set(ParseAreaText(text).Areas);
}

void TfmMainForm::Ustawieniawykrywania1Click()
{
    DetectionSettingsWindow window(Detection.SmallestAreaShare.load(), Detection.LightChangeShare.load(), this);
    if (window.exec() != QDialog::Accepted) return;
    {
        SettingsFile settings(SettingsPath());
        settings.Write(keys::SmallestArea, window.SmallestArea());
        settings.Write(keys::LightChangeBound, window.LightChange());
    }
    Detection.SmallestAreaShare.store(window.SmallestArea());
    Detection.LightChangeShare.store(window.LightChange());
}

}  // namespace qmd
