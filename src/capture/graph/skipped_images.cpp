#include "capture/graph/skipped_images.h"

#include <glib.h>

#include <cstdint>
#include <mutex>

#include "capture/graph/capture_log.h"

namespace qmd {
namespace {

constexpr gint64 kReportIntervalUs = 60 * G_USEC_PER_SEC;

struct Unreported {
    std::mutex mutex;
    std::uint64_t count = 0;
    gint64 lastReportUs = 0;  // 0: none yet
};

Unreported& State()
{
    static Unreported state;
    return state;
}

}  // namespace

void ReportSkippedImage(const std::string& reason)
{
    Unreported& state = State();
    std::uint64_t count = 0;
    {
        const std::lock_guard lock(state.mutex);
        ++state.count;
        const gint64 now = g_get_monotonic_time();
        if (state.lastReportUs != 0 && now - state.lastReportUs < kReportIntervalUs) return;
        count = state.count;
        state.count = 0;
        state.lastReportUs = now;
    }
    qCWarning(lcCapture, "JPEG images skipped as broken or too large: %llu (the last: %s)",
              static_cast<unsigned long long>(count), reason.c_str());
}

}  // namespace qmd
