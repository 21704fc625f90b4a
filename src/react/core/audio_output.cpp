#include "react/core/audio_output.h"

#include <cstdlib>

#include "react/core/gst_audio_output.h"
#include "react/core/wave_file_audio_output.h"

namespace qmd {

AudioOutput& DefaultAudioOutput()
{
    // Never destroyed: when something calls exit() while the program runs
    // (Qt does when the X server goes away), the frame thread may be in the
    // middle of a tone on it while static objects are destroyed.
    static AudioOutput* const output = [] {
        const char* file = std::getenv("QUISK_AUDIO_FILE");
        return (file && *file ? MakeWaveFileAudioOutput(file) : MakeGstAudioOutput()).release();
    }();
    return *output;
}

}  // namespace qmd
