#pragma once
// Answers the application's modal error boxes while a test runs: records what
// each showed and presses its OK button.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <vector>

namespace qmd::test {

struct ShownErrorBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

class ErrorBoxCatcher {
public:
    ErrorBoxCatcher()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            shown_.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
            box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
        });
        timer_.start();
    }

    const std::vector<ShownErrorBox>& Shown() const { return shown_; }

private:
    QTimer timer_;
    std::vector<ShownErrorBox> shown_;
};

}  // namespace qmd::test
