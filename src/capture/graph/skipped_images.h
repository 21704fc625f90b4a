#pragma once
// The one report of camera images skipped (undecodable, or declaring a
// picture larger than a camera sends). Cameras send a broken image now and
// then (USB bandwidth, Wi-Fi): each one is skipped, and standard error hears
// how many were at most once a minute for the whole program, so that a
// camera opened again and again (every image bad) does not repeat it at
// every opening. Our elements say on the bus what they skip; the graph calls
// this on the GUI thread, and it may be called from any thread.
#include <string>

namespace qmd {

void ReportSkippedImage(const std::string& reason);

}  // namespace qmd
