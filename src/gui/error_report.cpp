#include "gui/error_report.h"

#include "common/application_title.h"
#include "common/file_io.h"
#include "gui/full_stop.h"

#include <QMessageBox>

#include <unistd.h>

#include <cstdio>

namespace qmd {

namespace {

// A window needs descriptors of its own (the shared memory of its picture,
// among others). With none left, making the box blocked for good in a call
// to the X server: nothing was shown and nothing could end the program.
constexpr int kDescriptorsForABox = 8;
}  // namespace

void ReportApplicationError(QWidget* parent, const QString& message) noexcept
{
    // The report cannot be shown: it goes to standard error, and the
    // program, unable to make windows, ends.
    if (!DescriptorsToSpare(kDescriptorsForABox)) EndWithErrorOnStandardError(message);
    try {
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), WithClosingFullStop(message), QMessageBox::Ok,
                        parent);
        box.exec();
    } catch (...) {
        // Nothing sensible is left to show the failure of the report with.
    }
}

void EndWithErrorOnStandardError(const QString& message) noexcept
{
    std::fprintf(stderr, "%s: %s\n", kApplicationTitle, qUtf8Printable(WithClosingFullStop(message)));
    std::fflush(stderr);
    _exit(1);
}

void ReportApplicationError(QWidget* parent, const std::exception& error) noexcept
{
    try {
        ReportApplicationError(parent, QString::fromUtf8(error.what()));
    } catch (...) {
    }
}

}  // namespace qmd
