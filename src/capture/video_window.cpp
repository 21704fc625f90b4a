#include "capture/video_window.h"

#include <QImage>
#include <QMetaObject>
#include <QPainter>

#include <gst/video/video.h>

namespace qmd {

TVideoWindow::TVideoWindow(QWidget* parent) : QWidget(parent)
{
    // Every pixel is painted (picture or black), so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPointer<TVideoWindow> receiver(this);
    renderer_.SetFrameNotifier([this, receiver] {
        // Posted from a streaming thread; delivered (if the widget still
        // exists) on the GUI thread.
        QMetaObject::invokeMethod(
            this,
            [receiver] {
                if (receiver) receiver->OnFrameNotice();
            },
            Qt::QueuedConnection);
    });
}

TVideoWindow::~TVideoWindow()
{
    // Waits for a notice being posted right now; none is posted afterwards.
    renderer_.SetFrameNotifier(nullptr);
}

void TVideoWindow::OnFrameNotice()
{
    renderer_.AcknowledgeFrameNotice();
    // Painted now rather than through a posted update request: one pass of
    // the event loop per frame instead of two.
    repaint();
}

void TVideoWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const gst::SampleHandle frame = renderer_.LatestFrame();
    const GstVideoInfo* info = frame ? InfoFor(gst_sample_get_caps(frame.get())) : nullptr;
    if (!info) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    gst::MappedBuffer pixels(gst_sample_get_buffer(frame.get()), GST_MAP_READ);
    const int width = GST_VIDEO_INFO_WIDTH(info);
    const int height = GST_VIDEO_INFO_HEIGHT(info);
    const int stride = GST_VIDEO_INFO_PLANE_STRIDE(info, 0);
    if (!pixels || pixels.size() < static_cast<gsize>(stride) * static_cast<gsize>(height)) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // In device pixels, so that the painter copies without scaling again.
    const QSize target = size() * devicePixelRatio();
    if (picture_.size() != target) {
        picture_ = QImage(target, QImage::Format_RGB32);
        picture_.setDevicePixelRatio(devicePixelRatio());
    }
    scaler_.Scale(pixels.data(), width, height, stride, picture_);
    painter.drawImage(QPoint(0, 0), picture_);
    ++paintedFrames_;
}

const GstVideoInfo* TVideoWindow::InfoFor(GstCaps* caps)
{
    if (!caps) return nullptr;
    if (caps != infoCaps_.get()) {
        infoCaps_ = gst::NewRef(caps);
        infoValid_ = gst_video_info_from_caps(&info_, caps);
    }
    return infoValid_ ? &info_ : nullptr;
}

}  // namespace qmd
