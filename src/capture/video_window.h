#pragma once
// The live preview: the latest frame stretched to the widget's bounds
// (cheap scaling), black where there is no video.
#include <QPointer>
#include <QWidget>

#include "capture/core/video_renderer.h"

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
    std::uint64_t paintedFrames_ = 0;
};

}  // namespace qmd
