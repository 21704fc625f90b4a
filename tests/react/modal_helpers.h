#pragma once
// Driving the modal dialogs that a command under test opens and waits for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

namespace qmd::test {

// Acts on the first visible top-level T as soon as it shows. Gives up after
// 20 s by rejecting whatever modal dialog runs, so a test fails, not hangs.
template <typename T>
void WhenShown(std::function<void(T*)> act)
{
    auto* timer = new QTimer;
    auto ticks = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act, ticks] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* target = qobject_cast<T*>(widget); target && target->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(target);
                return;
            }
        }
        if (++*ticks > 2000) {
            timer->stop();
            timer->deleteLater();
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->reject();
        }
    });
    timer->start();
}

inline void Accept(QDialog* dialog) { QMetaObject::invokeMethod(dialog, "accept"); }

// Types a name into a file dialog's name field. QFileDialog::selectFile
// leaves the field alone while it has the focus, which a shown dialog may or
// may not have yet.
inline void TypeFileName(QFileDialog* dialog, const std::string& name)
{
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromStdString(name));
}

}  // namespace qmd::test
