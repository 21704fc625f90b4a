#include "shell/selection_slider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

namespace qmd {

SelectionSlider::SelectionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void SelectionSlider::SetSelection(int start, int end) {
    selectionStart_ = std::min(start, end);
    selectionEnd_ = std::max(start, end);
    update();
}

QRect SelectionSlider::SelectionRect() const {
    if (selectionEnd_ <= selectionStart_) return {};
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    // The handle's centre travels over the groove less one handle length, as
    // the slider itself maps values to pixels.
    const int span = groove.width() - handle.width();
    auto centreOf = [&](int value) {
        const int bounded = std::clamp(value, minimum(), maximum());
        return groove.x() + handle.width() / 2 +
               QStyle::sliderPositionFromValue(minimum(), maximum(), bounded, span, option.upsideDown);
    };
    const int left = centreOf(selectionStart_);
    const int right = centreOf(selectionEnd_);
    const int height = std::clamp(groove.height() - 2, 3, 6);
    const int top = groove.center().y() - height / 2 + 1;
    return QRect(std::min(left, right), top, std::abs(right - left) + 1, height);
}

void SelectionSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);

    // Track first, the band on it, then ticks and the handle on top, so the
    // handle is never covered by the band.
    option.subControls = QStyle::SC_SliderGroove;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);

    const QRect band = SelectionRect();
    if (!band.isEmpty()) {
        const QColor highlight = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Highlight);
        painter.fillRect(band, highlight);
        painter.setPen(highlight.darker(130));
        painter.drawRect(band.adjusted(0, 0, -1, -1));
    }

    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderTickmarks | QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

}  // namespace qmd
