// "Nagraj film": the clip folder and the clip's times, asked as the photo
// folder is, and the recorder's branch on the camera's stream.
#include <QAction>

#include "base/settings_file.h"
#include "base/settings_keys.h"
#include "capture/graph/filter_graph.h"
#include "gui/browse_for_folder.h"
#include "react/core/clip_recorder.h"
#include "shell/clip_settings_window.h"
#include "shell/main_form.h"

namespace qmd {

void TfmMainForm::WireClipRecorder()
{
    clipRecorder_ = std::make_unique<ClipRecorder>();
    connect(FilterGraph, &TFilterGraph::StreamRendered, this, [this] { FollowClipMark(); });
    // Queued: a program-set mark settles only after the click's own flip.
    connect(
        Nagrajfilm1, &QAction::toggled, this, [this] { FollowClipMark(); }, Qt::QueuedConnection);
}

void TfmMainForm::Nagrajfilm1Click()
{
    const QString current = QString::fromStdString(SettingsFile(SettingsPath()).Read(keys::ClipFolder));
    const QString folder =
        BrowseForFolder(this, QStringLiteral("Wskaż katalog, w którym program ma zapisywać filmy z kamery."), current);
    {
        SettingsFile settings(SettingsPath());
        settings.Write(keys::ClipFolder, folder.toStdString());
    }
    Nagrajfilm1->setChecked(!folder.isEmpty());
    if (folder.isEmpty()) return;

    std::int32_t before = 0, after = 0, limit = 0;
    {
        const SettingsFile settings(SettingsPath());
        before = settings.Read(keys::ClipSecondsBefore);
        after = settings.Read(keys::ClipSecondsAfter);
        limit = settings.Read(keys::ClipFolderLimit);
    }
    ClipSettingsWindow window(before, after, limit, this);
    if (window.exec() != QDialog::Accepted) return;
    SettingsFile settings(SettingsPath());
    settings.Write(keys::ClipSecondsBefore, window.SecondsBefore());
    settings.Write(keys::ClipSecondsAfter, window.SecondsAfter());
    settings.Write(keys::ClipFolderLimit, window.LimitMegabytes());
}

void TfmMainForm::FollowClipMark()
{
    const bool attached = FilterGraph->HasConsumer(clipConsumer_);
    if (Nagrajfilm1->isChecked() && !attached && FilterGraph->Active()) {
        // 0 while no stream is rendered: the next rendering attaches it.
        clipConsumer_ = FilterGraph->AttachConsumer(clipRecorder_->NewConsumer());
    } else if (!Nagrajfilm1->isChecked() && attached) {
        FilterGraph->DetachConsumer(clipConsumer_);
        clipConsumer_ = 0;
    }
}

}  // namespace qmd
