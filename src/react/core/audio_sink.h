#pragma once
// Which GStreamer sink plays our sounds: the desktop's sound server
// (pulsesink, which PipeWire answers too) when one answers, else the ALSA
// device (alsasink), else none. Chosen by us rather than by autoaudiosink,
// which after those two tries any sink it finds: OpenAL's then opens no
// device and writes its errors to standard error for every sound. Where
// nothing opens, that is said once on the error stream and sounds are not
// played (the alarm still takes its time).
#include <string>

namespace qmd {

// The factory name of the sink to use now ("pulsesink", "alsasink"), or
// empty. Asked for every sound, so a sound server started later is used.
std::string PlayableAudioSink();

}  // namespace qmd
