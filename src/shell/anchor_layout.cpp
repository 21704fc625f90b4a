#include "shell/anchor_layout.h"

#include <QWidget>
#include <QWidgetItem>
#include <algorithm>

namespace qmd {

AnchorLayout::AnchorLayout(QWidget* parent, QSize designSize) : QLayout(parent), designSize_(designSize)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

AnchorLayout::~AnchorLayout()
{
    for (const Entry& entry : entries_) delete entry.item;
}

void AnchorLayout::AddAnchored(QWidget* widget, QRect designGeometry, Qt::Edges anchors)
{
    addChildWidget(widget);
    entries_.append({new QWidgetItem(widget), designGeometry, anchors});
    invalidate();
}

QRect AnchorLayout::AnchoredGeometry(QRect designGeometry, Qt::Edges anchors, QSize designSize, QSize areaSize)
{
    const int dx = areaSize.width() - designSize.width();
    const int dy = areaSize.height() - designSize.height();
    int x = designGeometry.x();
    int y = designGeometry.y();
    int width = designGeometry.width();
    int height = designGeometry.height();
    if (anchors & Qt::RightEdge) {
        if (anchors & Qt::LeftEdge)
            width += dx;
        else
            x += dx;
    }
    if (anchors & Qt::BottomEdge) {
        if (anchors & Qt::TopEdge)
            height += dy;
        else
            y += dy;
    }
    return QRect(x, y, std::max(0, width), std::max(0, height));
}

void AnchorLayout::addItem(QLayoutItem* item)
{
    // Items added without a design rectangle keep their size at the top left.
    entries_.append({item, QRect(QPoint(0, 0), item->sizeHint()), Qt::LeftEdge | Qt::TopEdge});
}

QLayoutItem* AnchorLayout::itemAt(int index) const
{
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem* AnchorLayout::takeAt(int index)
{
    if (index < 0 || index >= entries_.size()) return nullptr;
    return entries_.takeAt(index).item;
}

int AnchorLayout::count() const { return static_cast<int>(entries_.size()); }

QSize AnchorLayout::sizeHint() const { return designSize_; }

// The window may be made smaller than designed, as any resizable window;
// anchored widgets then shrink down to nothing rather than overlap.
QSize AnchorLayout::minimumSize() const { return QSize(0, 0); }

void AnchorLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    for (const Entry& entry : entries_) {
        const QRect target =
            AnchoredGeometry(entry.design, entry.anchors, designSize_, rect.size()).translated(rect.topLeft());
        // A widget gets exactly its anchored rectangle: the designed size
        // wins over its own size hint and size policy.
        if (QWidget* widget = entry.item->widget())
            widget->setGeometry(target);
        else
            entry.item->setGeometry(target);
    }
}

}  // namespace qmd
