#include "capture/video_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMetaObject>
#include <QPainter>
#include <QSocketNotifier>
#include <QWindow>

#include "capture/preview_marks.h"
#include "capture/xcb_preview_surface.h"
#include "detect/motion_marks.h"

namespace qmd {

TVideoWindow::TVideoWindow(QWidget* parent) : QWidget(parent)
{
    // Every pixel is painted (picture or black), so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    StartNativePresenting();
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
    // Goes before the connection whose descriptor it watches.
    delete surfaceReadable_;
}

void TVideoWindow::StartNativePresenting()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    // Qt connects to $DISPLAY too; a window our connection cannot find (Qt
    // was sent elsewhere) makes the first frame fall back to Qt's painting.
    surface_ = XcbPreviewSurface::Open(qgetenv("DISPLAY").constData());
    if (!surface_) return;
    // Only this widget needs a window of its own; the widgets around it
    // stay painted by Qt.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    surfaceReadable_ = new QSocketNotifier(surface_->FileDescriptor(), QSocketNotifier::Read, this);
    surfaceReadable_->setEnabled(false);
    connect(surfaceReadable_, &QSocketNotifier::activated, this, &TVideoWindow::PresentNatively);
}

void TVideoWindow::StopNativePresenting()
{
    // We may be inside the notifier's own signal.
    surfaceReadable_->setEnabled(false);
    surfaceReadable_->deleteLater();
    surfaceReadable_ = nullptr;
    surface_.reset();
    setAttribute(Qt::WA_PaintOnScreen, false);
    update();
}

QPaintEngine* TVideoWindow::paintEngine() const
{
    // No engine: Qt leaves the window's pixels to us.
    return surface_ ? nullptr : QWidget::paintEngine();
}

bool TVideoWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WinIdChange && surface_) surface_->ForgetWindow();
    return QWidget::event(event);
}

bool TVideoWindow::OnScreen() const
{
    const QWindow* topLevel = window()->windowHandle();
    return isVisible() && topLevel && topLevel->isExposed();
}

void TVideoWindow::OnFrameNotice()
{
    // Nothing to see (in the tray, minimised): the notice is left untaken,
    // so no more are posted and the GUI thread sleeps through the frames
    // until the next paint, which comes when the window is seen again.
    if (!OnScreen()) return;
    renderer_.AcknowledgeFrameNotice();
    if (surface_) {
        PresentNatively();
        return;
    }
    // Painted now rather than through a posted update request: one pass of
    // the event loop per frame instead of two.
    repaint();
}

void TVideoWindow::PresentNatively()
{
    // Hidden or minimised: nothing to see. Shown again, the window is
    // exposed and painted.
    if (!OnScreen()) return;
    bool drewFrame = false;
    const auto outcome = surface_->Present(static_cast<std::uint32_t>(winId()), size() * devicePixelRatio(),
                                           [&](QImage& picture) { drewFrame = DrawLatestFrame(picture); });
    switch (outcome) {
    case XcbPreviewSurface::Outcome::Shown:
        surfaceReadable_->setEnabled(false);
        if (drewFrame) ++paintedFrames_;
        return;
    case XcbPreviewSurface::Outcome::Busy:
        // The server still reads both buffers; the latest frame follows as
        // soon as it says it is done.
        surfaceReadable_->setEnabled(true);
        return;
    case XcbPreviewSurface::Outcome::Failed: StopNativePresenting(); return;
    }
}

void TVideoWindow::paintEvent(QPaintEvent*)
{
    // Frames are noticed again from here on (see OnFrameNotice).
    renderer_.AcknowledgeFrameNotice();
    // grab() and render() paint into a redirected device: Qt's painter does.
    if (surface_ && !redirected(nullptr) && !sharedPainter()) {
        PresentNatively();
        return;
    }
    // In device pixels, so that the painter copies without scaling again.
    const QSize target = size() * devicePixelRatio();
    if (picture_.size() != target) {
        picture_ = QImage(target, QImage::Format_RGB32);
        picture_.setDevicePixelRatio(devicePixelRatio());
    }
    if (DrawLatestFrame(picture_)) ++paintedFrames_;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture_);
}

void TVideoWindow::ShowDetectionMarks(const SharedAreas* areas, MotionMarks* marks)
{
    areas_ = areas;
    marks_ = marks;
    shownAreas_.reset();
    shownAreasGeneration_ = UINT64_MAX;
}

QImage TVideoWindow::LatestPicture(QSize size)
{
    QImage picture(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    if (!ScaleLatestFrame(pictureScaler_, picture)) picture.fill(Qt::black);
    return picture;
}

void TVideoWindow::DrawDetectionMarks(QImage& picture)
{
    if (!marks_) return;
    // Painted: the detection works out the box of its next find.
    marks_->NotePreviewPainted();
    if (areas_ && areas_->Generation() != shownAreasGeneration_) {
        shownAreasGeneration_ = areas_->Generation();
        shownAreas_ = areas_->Get();
    }
    const std::optional<AreaRect> box = marks_->RecentBox();
    const bool anyArea = shownAreas_ && !shownAreas_->empty();
    if (!anyArea && !box) return;
    // The picture is in device pixels; the marks are placed on it directly.
    const double width = picture.width();
    const double height = picture.height();
    const auto place = [&](const AreaRect& r) {
        return QRectF(r.X * width, r.Y * height, r.Width * width, r.Height * height).toRect();
    };
    if (anyArea)
        for (const AreaRect& area : *shownAreas_) ShadePreviewArea(picture, place(area));
    // Two pixels wide just outside the box, so what moved stays in sight.
    if (box) FramePreviewBox(picture, place(*box).adjusted(-2, -2, 2, 2), 2, qRgb(255, 48, 48));
}

bool TVideoWindow::DrawLatestFrame(QImage& picture)
{
    if (!ScaleLatestFrame(scaler_, picture)) {
        picture.fill(Qt::black);
        return false;
    }
    DrawDetectionMarks(picture);
    return true;
}

bool TVideoWindow::ScaleLatestFrame(PreviewScaler& scaler, QImage& picture)
{
    const gst::SampleHandle frame = renderer_.LatestFrame();
    const GstVideoInfo* info = frame ? InfoFor(gst_sample_get_caps(frame.get())) : nullptr;
    if (!info) return false;
    gst::MappedBuffer pixels(gst_sample_get_buffer(frame.get()), GST_MAP_READ);
    const int width = GST_VIDEO_INFO_WIDTH(info);
    const int height = GST_VIDEO_INFO_HEIGHT(info);
    const int stride = GST_VIDEO_INFO_PLANE_STRIDE(info, 0);
    if (!pixels || pixels.size() < static_cast<gsize>(stride) * static_cast<gsize>(height)) return false;
    scaler.Scale(pixels.data(), width, height, stride, picture);
    return true;
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
