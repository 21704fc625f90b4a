// A camera that goes away and comes back: the watch notices the loss, the
// camera is released (the preview goes black) and the user told once per
// outage; the same source is then opened again as a switch to it would,
// without the user, until it delivers.
#include <QTimer>

#include "capture/devices/camera_monitor.h"
#include "capture/grabber/sample_grabber.h"
#include "capture/graph/filter.h"
#include "capture/graph/filter_graph.h"
#include "capture/sources/moniker.h"
#include "capture/sources/system_device_source.h"
#include "capture/video_window.h"
#include "capture/watch/camera_watch.h"
#include "common/caught_exception.h"
#include "gui/error_report.h"
#include "shell/main_form.h"
#include "shell/shell_log.h"

namespace qmd {

void TfmMainForm::WatchCamera()
{
    cameraWatch_ =
        new CameraWatch(CameraWatch::FrameTimes{
                            .LastArrivalNs = [grabber = SampleGrabber] { return grabber->LastArrivalNs(); },
                            .ArrivalIntervalNs = [grabber = SampleGrabber] { return grabber->ArrivalIntervalNs(); },
                            .MeantToRun = [graph = FilterGraph] { return graph->MeantToRun(); },
                        },
                        this);
    connect(cameraWatch_, &CameraWatch::Lost, this, [this](const QString& message) { OnCameraLost(message); });
    connect(cameraWatch_, &CameraWatch::ReopenDue, this, [this] { ReopenLostCamera(); });
    cameraMonitor_ = new CameraMonitor(this);
    connect(cameraMonitor_, &CameraMonitor::CameraAdded, this,
            [this](const VideoSource& camera) { OnCameraListed(camera, true); });
    connect(cameraMonitor_, &CameraMonitor::CameraRemoved, this,
            [this](const VideoSource& camera) { OnCameraListed(camera, false); });
    // A monitor slow to start lists its cameras only once it has.
    connect(cameraMonitor_, &CameraMonitor::StartedLate, this,
            [this] { RunCommand(this, [this] { ReviewListedCameras(); }); });
    // An error while no source is watched (a graph being built) is shown as
    // any failure is; the program goes on without picture.
    connect(FilterGraph, &TFilterGraph::GraphError, this, [this](const QString& message) {
        if (!cameraWatch_->OnGraphError(message)) ReportApplicationError(this, message);
    });
}

// A lost camera listed again (by its node, or by its serial number under a
// new node) is opened at once. The menu is made again once the monitor's
// news of the moment are all in.
void TfmMainForm::OnCameraListed(const VideoSource& camera, bool added)
{
    if (added && awaitedCamera_ && SameSystemDevice(camera, *awaitedCamera_)) {
        RunCommand(this, [this] { ReviewListedCameras(); });
        return;
    }
    const auto open = Moniker::FromBytes(Filter->BaseFilter().Bytes()).Fields();
    if (open && SameSystemDevice(camera, *open)) {
        if (added && cameraWatch_->Away()) {
            // The node it has now, so that binding finds it first.
            const Moniker found = Moniker::FromFields(camera);
            Filter->BaseFilter().StoreMoniker(&found);
            cameraWatch_->ReopenNow();
        } else if (!added && FilterGraph->Active()) {
            // Not every source fails at once when its device goes.
            cameraWatch_->OnGraphError(QStringLiteral("The camera was unplugged"));
        }
    }
    if (menuRefreshDue_) return;
    menuRefreshDue_ = true;
    QTimer::singleShot(0, this, [this] {
        menuRefreshDue_ = false;
        RunCommand(this, [this] { ReviewListedCameras(); });
    });
}

void TfmMainForm::OnCameraLost(const QString& message)
{
    // Released at once: the preview goes black, and nothing of the camera's
    // last picture is left to be compared with what it shows when it is back.
    try {
        FilterGraph->StripGraph();
    } catch (...) {
        qCDebug(lcShell, "stopping the lost camera: %s", CaughtExceptionText().c_str());
    }
    FilterGraph->SetActive(false);
    ForgetFramesOfLostCamera();
    // Shown after the graph's bus is read to the end, and never twice at once.
    if (lossBoxOpen_) return;
    lossBoxOpen_ = true;
    QTimer::singleShot(0, this, [this, message] {
        ReportApplicationError(this, message);
        lossBoxOpen_ = false;
    });
}

// Until the warm-up after the return is over, frames are only counted, and
// the first frame examined then meets empty slots: a scene that changed
// while the camera was away is not motion.
void TfmMainForm::ForgetFramesOfLostCamera()
{
    Detection.FrameCounter.store(0);
    const FrameSlots::Access frameSlots = Detection.Slots.Lock();
    if (!frameSlots.Exist()) return;
    frameSlots[0] = FrameImage();
    frameSlots[1] = FrameImage();
}

// What a switch to the same entry does, except that the position is not
// written again and the once-only reactions stay as they were: a camera
// coming back is not a reset of the memory.
void TfmMainForm::ReopenLostCamera()
{
    if (closed_) return;
    try {
        FilterGraph->StripGraph();
        FilterGraph->SetActive(false);
        FilterGraph->SetActive(true);
        FilterGraph->RenderStream(Filter, SampleGrabber, &VideoWindow->Renderer());
        FilterGraph->RunGraph();
        CopyLatestFrameIntoSlots();
        FilterGraph->PauseGraph();
        Detection.FrameCounter.store(0);
        FilterGraph->RunGraph();
        cameraWatch_->Reopened();
    } catch (...) {
        try {
            FilterGraph->StripGraph();
        } catch (...) {
            // Released below whatever stopping it did.
        }
        FilterGraph->SetActive(false);
        cameraWatch_->ReopenFailed(QString::fromStdString(CaughtExceptionText()));
    }
}

}  // namespace qmd
