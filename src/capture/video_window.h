#pragma once
// The live preview: the latest frame stretched to the widget's bounds
// (cheap scaling), black where there is no video.
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <gst/video/video-info.h>

#include "capture/core/video_renderer.h"
#include "capture/preview_scaler.h"

namespace qmd {

class TFilterGraph;

class TVideoWindow : public QWidget {
    Q_OBJECT
public:
    explicit TVideoWindow(QWidget* parent = nullptr);
    ~TVideoWindow() override;

    TVideoRenderer& Renderer() { return renderer_; }
    void SetFilterGraph(TFilterGraph* graph) { renderer_.SetFilterGraph(graph); }

    // Frames painted since the widget was created.
    std::uint64_t PaintedFrames() const { return paintedFrames_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnFrameNotice();
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
};

}  // namespace qmd
