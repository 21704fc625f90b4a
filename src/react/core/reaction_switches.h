#pragma once
// The check marks of the reactions of "Gdy wykryjesz ruch". The main
// window mirrors its QActions here (toggled signal), so the frame thread reads
// the current marks without touching a widget.
#include <atomic>

namespace qmd {

struct ReactionSwitches {
    std::atomic<bool> Photo{false};
    std::atomic<bool> Alarm{false};
    std::atomic<bool> Programs{false};
    std::atomic<bool> Sound{false};
    std::atomic<bool> Information{false};
    std::atomic<bool> Power{false};
    std::atomic<bool> Log{false};
    std::atomic<bool> Notification{false};
    std::atomic<bool> Clip{false};
};

}  // namespace qmd
