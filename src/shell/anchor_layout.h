#pragma once
// A layout that places each widget at a fixed design rectangle and keeps the
// edges it is anchored to at their distance from the matching side of the
// area, the way a form designer's anchors behave: a widget anchored left and
// right stretches with the area, one anchored bottom only moves down with it.
#include <QLayout>
#include <QList>
#include <QRect>
#include <QSize>

namespace qmd {

class AnchorLayout : public QLayout {
public:
    // designSize: the area's size that the design rectangles refer to.
    AnchorLayout(QWidget* parent, QSize designSize);
    ~AnchorLayout() override;

    void AddAnchored(QWidget* widget, QRect designGeometry, Qt::Edges anchors);

    // The geometry a widget with these anchors gets in an area of areaSize.
    static QRect AnchoredGeometry(QRect designGeometry, Qt::Edges anchors, QSize designSize, QSize areaSize);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        QLayoutItem* item;
        QRect design;
        Qt::Edges anchors;
    };
    QSize designSize_;
    QList<Entry> entries_;
};

}  // namespace qmd
