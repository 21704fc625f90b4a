#include "shell/selection_slider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <qdrawutil.h>

namespace qmd {

SelectionSlider::SelectionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void SelectionSlider::SetSelection(int start, int end)
{
    selectionStart_ = std::min(start, end);
    selectionEnd_ = std::max(start, end);
    update();
}

// The handle's centre travels over the groove less one handle length, as
// the slider itself maps values to pixels; the channel spans that travel.
QRect SelectionSlider::ChannelRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    constexpr int kChannelHeight = 6;
    return QRect(groove.x() + handle.width() / 2 - 2, groove.center().y() - kChannelHeight / 2 + 1,
                 groove.width() - handle.width() + 4, kChannelHeight);
}

int SelectionSlider::CentreOf(int value) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int bounded = std::clamp(value, minimum(), maximum());
    return groove.x() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), bounded, groove.width() - handle.width(),
                                           option.upsideDown);
}

QRect SelectionSlider::SelectionRect() const
{
    if (selectionEnd_ <= selectionStart_) return {};
    const QRect inner = ChannelRect().adjusted(1, 1, -1, -1);
    const int left = CentreOf(selectionStart_);
    const int right = CentreOf(selectionEnd_);
    return QRect(std::min(left, right), inner.top(), std::abs(right - left) + 1, inner.height());
}

// Drawn as the classic track bar: a sunken channel with the selection band
// in it, then the style's ticks and handle on top. The style's own groove is
// not used, since some styles fill it up to the handle, which would read as
// a second band.
void SelectionSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect channel = ChannelRect();
    painter.fillRect(channel, palette().color(QPalette::Base));
    qDrawShadePanel(&painter, channel, palette(), /*sunken=*/true, 1);

    const QRect band = SelectionRect();
    if (!band.isEmpty()) {
        const QColor highlight =
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Highlight);
        painter.fillRect(band, highlight);
    }

    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderTickmarks | QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

}  // namespace qmd
