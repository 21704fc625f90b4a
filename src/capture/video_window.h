#pragma once
// The preview widget: paints the renderer's latest frame stretched to its
// bounds, black where there is no video. On X11 with shared memory the frames
// go to the widget's own window through XcbPreviewSurface; elsewhere (and
// when that path fails) Qt paints them.
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>

#include <gst/video/video.h>

#include "capture/graph/video_renderer.h"
#include "capture/preview_scaler.h"
#include "detect/ignore_areas.h"
#include "gst/handles.h"

class QSocketNotifier;

namespace qmd {

class MotionMarks;
class TFilterGraph;
class XcbPreviewSurface;

class TVideoWindow : public QWidget {
    Q_OBJECT
public:
    explicit TVideoWindow(QWidget* parent = nullptr);
    ~TVideoWindow() override;

    TVideoRenderer& Renderer() { return renderer_; }
    void SetFilterGraph(TFilterGraph* graph) { renderer_.SetFilterGraph(graph); }

    // The detection's marks on the preview: the ignored areas shaded, and
    // the box around what moved framed for a while after each detection.
    // Both outlive this widget. The preview notes in `marks` that it is seen.
    void ShowDetectionMarks(const SharedAreas* areas, MotionMarks* marks);

    // The latest frame stretched to `size`, without any marks; black
    // without a frame.
    QImage LatestPicture(QSize size);

    // Frames painted since the widget was created.
    std::uint64_t PaintedFrames() const { return paintedFrames_; }
    // Whether frames go to the window through shared memory rather than Qt.
    bool PresentsNatively() const { return surface_ != nullptr; }

    QPaintEngine* paintEngine() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Shown and exposed: a frame painted now can be seen.
    bool OnScreen() const;
    void OnFrameNotice();
    void StartNativePresenting();
    void StopNativePresenting();
    void PresentNatively();
    // Fills picture with the latest frame stretched, or black; true for a frame.
    bool DrawLatestFrame(QImage& picture);
    // Stretches the latest frame into picture; false (picture untouched) without one.
    bool ScaleLatestFrame(PreviewScaler& scaler, QImage& picture);
    void DrawDetectionMarks(QImage& picture);
    // The layout of frames with these caps; worked out again only when the
    // caps change (reading them parses text, which is dear at every frame).
    const GstVideoInfo* InfoFor(GstCaps* caps);

    TVideoRenderer renderer_;
    PreviewScaler scaler_;
    QImage picture_;  // the frame at the widget's size, reused from frame to frame
    gst::CapsHandle infoCaps_;
    GstVideoInfo info_{};
    bool infoValid_ = false;
    std::uint64_t paintedFrames_ = 0;
    std::unique_ptr<XcbPreviewSurface> surface_;
    const SharedAreas* areas_ = nullptr;
    MotionMarks* marks_ = nullptr;
    std::shared_ptr<const AreaList> shownAreas_;  // taken again when the areas change
    std::uint64_t shownAreasGeneration_ = UINT64_MAX;
    PreviewScaler pictureScaler_;  // for LatestPicture, whose size is not the widget's
    // Watches the surface's connection while both buffers are still read.
    QSocketNotifier* surfaceReadable_ = nullptr;
};

}  // namespace qmd
