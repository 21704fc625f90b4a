#include "react/error_box.h"

#include <QMessageBox>

namespace qmd {

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
    return message;
}

void ShowErrorBox(QWidget* parent, const std::exception& error)
{
    QMessageBox::critical(parent, QStringLiteral("Quisk Motion Detector"),
                          ErrorBoxText(QString::fromUtf8(error.what())));
}

}  // namespace qmd
