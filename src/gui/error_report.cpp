#include "gui/error_report.h"

#include "common/application_title.h"
#include "gui/full_stop.h"

#include <QMessageBox>

namespace qmd {

void ReportApplicationError(QWidget* parent, const QString& message) noexcept
{
    try {
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), WithClosingFullStop(message), QMessageBox::Ok,
                        parent);
        box.exec();
    } catch (...) {
        // Nothing sensible is left to show the failure of the report with.
    }
}

void ReportApplicationError(QWidget* parent, const std::exception& error) noexcept
{
    try {
        ReportApplicationError(parent, QString::fromUtf8(error.what()));
    } catch (...) {
    }
}

}  // namespace qmd
