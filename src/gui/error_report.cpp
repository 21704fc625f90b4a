#include "gui/error_report.h"

#include "common/application_title.h"
#include "gui/full_stop.h"

#include <QMessageBox>

#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cstdio>

namespace qmd {

namespace {

// A window needs descriptors of its own (the shared memory of its picture,
// among others). With none left, making the box blocked for good in a call
// to the X server: nothing was shown and nothing could end the program.
bool DescriptorsToSpare()
{
    constexpr int kWanted = 8;
    std::array<int, kWanted> probes{};
    int opened = 0;
    while (opened < kWanted && (probes[opened] = eventfd(0, EFD_CLOEXEC)) >= 0) ++opened;
    for (int i = 0; i < opened; ++i) close(probes[i]);
    return opened == kWanted;
}
}  // namespace

void ReportApplicationError(QWidget* parent, const QString& message) noexcept
{
    if (!DescriptorsToSpare()) {
        // The report cannot be shown: it goes to standard error, and the
        // program, unable to make windows, ends.
        std::fprintf(stderr, "%s: %s\n", kApplicationTitle, qUtf8Printable(WithClosingFullStop(message)));
        _exit(1);
    }
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
