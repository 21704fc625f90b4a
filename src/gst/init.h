#pragma once
// The one place the process initialises GStreamer.
#include <gst/gst.h>

namespace qmd::gst {

// gst_init once per process; safe from any thread, cheap after the first call.
// Everything that talks to GStreamer calls it first (the program, the tests,
// the benchmarks), so no code depends on who happened to start first.
inline void EnsureInitialized()
{
    static const bool initialized = [] {
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)initialized;
}

}  // namespace qmd::gst
