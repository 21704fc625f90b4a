#pragma once
// TfmInformacja: the window the reaction sequence shows with the user's text.
#include "gui/plain_dialog.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qmd {

class TfmInformacja : public PlainDialog {
    Q_OBJECT
public:
    explicit TfmInformacja(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QPlainTextEdit* Info = nullptr;
    QPushButton* SpeedButton1 = nullptr;  // "OK"

public slots:
    void SpeedButton1Click();

protected:
    void showEvent(QShowEvent* event) override;
};

extern TfmInformacja* fmInformacja;

// The embedded picture: 100 x 200, a tall red outlined exclamation mark on white.
QImage ExclamationPicture();

}  // namespace qmd
