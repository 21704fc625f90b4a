#include "shell/detection_areas_window.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace qmd {
namespace {

constexpr int kRefreshMs = 100;
// A drag shorter than this many widget pixels either way is a click.
constexpr double kSmallestDrag = 4;

// Six decimals, as the file keeps them.
double Rounded(double fraction) { return std::round(std::clamp(fraction, 0.0, 1.0) * 1e6) / 1e6; }

}  // namespace

DetectionAreasWindow::DetectionAreasWindow(AreaList areas, std::function<QImage(QSize)> picture, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fmObszary"));
    setWindowTitle(QStringLiteral("Obszary bez wykrywania"));
    auto* hint = new QLabel(QStringLiteral("Zaznacz myszą obszary, w których ruch nie będzie wykrywany. "
                                           "Delete lub prawy przycisk myszy usuwa obszar."),
                            this);
    hint->setWordWrap(true);
    canvas_ = new AreaCanvas(std::move(areas), this);
    canvas_->setObjectName(QStringLiteral("Canvas"));
    auto* clear = new QPushButton(QStringLiteral("Wyczyść"), this);
    clear->setObjectName(QStringLiteral("Wyczysc"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OK"));
    auto* cancel = new QPushButton(QStringLiteral("Anuluj"), this);
    cancel->setObjectName(QStringLiteral("Anuluj"));
    for (QPushButton* button : {clear, ok, cancel}) button->setAutoDefault(false);
    connect(clear, &QPushButton::clicked, canvas_, &AreaCanvas::Clear);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clear);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(canvas_, 1);
    layout->addLayout(buttons);
    resize(660, 560);

    // The picture follows the camera while the window is open.
    refresh_ = new QTimer(this);
    const auto show = [this, picture = std::move(picture)] {
        if (picture) canvas_->SetPicture(picture(canvas_->size() * canvas_->devicePixelRatio()));
    };
    connect(refresh_, &QTimer::timeout, this, show);
    refresh_->start(kRefreshMs);
    show();
    canvas_->setFocus();
}

AreaList DetectionAreasWindow::Areas() const { return canvas_->Areas(); }

AreaCanvas::AreaCanvas(AreaList areas, QWidget* parent) : QWidget(parent), areas_(std::move(areas))
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 120);
    setCursor(Qt::CrossCursor);
}

void AreaCanvas::Clear()
{
    areas_.clear();
    selected_.reset();
    update();
}

void AreaCanvas::SetPicture(QImage picture)
{
    picture_ = std::move(picture);
    update();
}

QRectF AreaCanvas::Place(const AreaRect& area) const
{
    return QRectF(area.X * width(), area.Y * height(), area.Width * width(), area.Height * height());
}

QPointF AreaCanvas::Fraction(QPointF point) const
{
    return QPointF(std::clamp(point.x() / std::max(width(), 1), 0.0, 1.0),
                   std::clamp(point.y() / std::max(height(), 1), 0.0, 1.0));
}

std::optional<std::size_t> AreaCanvas::AreaAt(QPointF point) const
{
    for (std::size_t i = areas_.size(); i-- > 0;)
        if (Place(areas_[i]).contains(point)) return i;
    return std::nullopt;
}

void AreaCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (picture_.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(QRectF(rect()), picture_);
    for (std::size_t i = 0; i < areas_.size(); ++i) {
        const QRectF place = Place(areas_[i]);
        painter.fillRect(place, QColor(0, 0, 0, 128));
        const bool selected = selected_ == i;
        painter.setPen(QPen(selected ? QColor(255, 200, 0) : QColor(255, 255, 255), selected ? 2 : 1));
        painter.drawRect(place);
    }
    if (dragStart_) {
        painter.setPen(QPen(QColor(255, 200, 0), 1, Qt::DashLine));
        painter.drawRect(QRectF(QPointF(dragStart_->x() * width(), dragStart_->y() * height()),
                                QPointF(dragNow_.x() * width(), dragNow_.y() * height()))
                             .normalized());
    }
}

void AreaCanvas::mousePressEvent(QMouseEvent* event)
{
    const QPointF at = event->position();
    if (event->button() == Qt::RightButton) {
        if (const auto hit = AreaAt(at)) {
            areas_.erase(areas_.begin() + static_cast<std::ptrdiff_t>(*hit));
            selected_.reset();
            update();
        }
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    selected_ = AreaAt(at);
    dragStart_ = Fraction(at);
    dragNow_ = *dragStart_;
    update();
}

void AreaCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragStart_) return;
    dragNow_ = Fraction(event->position());
    update();
}

void AreaCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !dragStart_) return;
    dragNow_ = Fraction(event->position());
    const QPointF start = *dragStart_;
    dragStart_.reset();
    const double left = Rounded(std::min(start.x(), dragNow_.x()));
    const double top = Rounded(std::min(start.y(), dragNow_.y()));
    const double right = Rounded(std::max(start.x(), dragNow_.x()));
    const double bottom = Rounded(std::max(start.y(), dragNow_.y()));
    // A click only selects.
    if ((right - left) * width() >= kSmallestDrag || (bottom - top) * height() >= kSmallestDrag) {
        if (right > left && bottom > top) {
            areas_.push_back({left, top, right - left, bottom - top});
            selected_ = areas_.size() - 1;
        }
    }
    update();
}

void AreaCanvas::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && selected_) {
        areas_.erase(areas_.begin() + static_cast<std::ptrdiff_t>(*selected_));
        selected_.reset();
        update();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace qmd
