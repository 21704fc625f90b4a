#pragma once
// The live preview: the latest frame stretched to the widget's bounds
// (cheap scaling), black where there is no video.
#include <QImage>
#include <QPointer>
#include <QWidget>

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

    TVideoRenderer renderer_;
    PreviewScaler scaler_;
    QImage picture_;  // the frame at the widget's size, reused from frame to frame
    std::uint64_t paintedFrames_ = 0;
};

}  // namespace qmd
