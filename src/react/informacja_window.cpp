#include "react/informacja_window.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

#include "gui/window_fonts.h"
#include "gui/window_placement.h"

namespace qmd {

TfmInformacja* fmInformacja = nullptr;

TfmInformacja::TfmInformacja(QWidget* parent) : PlainDialog(parent)
{
    setObjectName(QStringLiteral("fmInformacja"));
    setWindowTitle(QStringLiteral("Informacja"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(592, 365);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 8, 129, 313);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QPixmap::fromImage(ExclamationPicture()));

    Info = new QPlainTextEdit(this);
    Info->setObjectName(QStringLiteral("Info"));
    Info->setGeometry(144, 8, 441, 313);
    Info->setReadOnly(true);
    Info->setFrameShape(QFrame::NoFrame);
    Info->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Info->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Info->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Info->setFont(InformationFont());
    QPalette navy = Info->palette();
    navy.setColor(QPalette::Base, Qt::white);
    navy.setColor(QPalette::Text, QColor(0x00, 0x00, 0x80));
    Info->setPalette(navy);

    SpeedButton1 = new QPushButton(QStringLiteral("OK"), this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(288, 328, 161, 33);
    SpeedButton1->setFlat(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setAutoDefault(false);
    SpeedButton1->setFont(InformationFont());
    QPalette teal = SpeedButton1->palette();
    teal.setColor(QPalette::ButtonText, QColor(0x00, 0x80, 0x80));
    SpeedButton1->setPalette(teal);
    connect(SpeedButton1, &QPushButton::clicked, this, &TfmInformacja::SpeedButton1Click);

    Info->setFocus();
}

void TfmInformacja::SpeedButton1Click() { accept(); }

void TfmInformacja::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) CentreOverMainWindow(this);
    QDialog::showEvent(event);
}

}  // namespace qmd
