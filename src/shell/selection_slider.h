#pragma once
// A horizontal slider that also shows a highlighted selection band on its
// track, between two values, like the range-selection track bar of classic
// desktop toolkits. The band is only drawn; it does not limit the position.
#include <QSlider>

namespace qmd {

class SelectionSlider : public QSlider {
    Q_OBJECT
public:
    explicit SelectionSlider(QWidget* parent = nullptr);

    void SetSelection(int start, int end);
    int SelectionStart() const { return selectionStart_; }
    int SelectionEnd() const { return selectionEnd_; }

    // The band's rectangle in widget coordinates; empty when there is none.
    QRect SelectionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect ChannelRect() const;
    int CentreOf(int value) const;

    int selectionStart_ = 0;
    int selectionEnd_ = 0;
};

}  // namespace qmd
