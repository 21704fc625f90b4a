// The real audio output on a machine where nothing plays: no sound server
// answers and ALSA knows no device. Every sound is skipped quietly: one line
// on standard error says so, and nothing else is written there (autoaudiosink
// would fall back to OpenAL, which complains for every sound).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "react/core/gst_audio_output.h"
#include "support/temp_dir.h"

namespace qmd {
namespace {

// Standard error, the descriptor itself (GStreamer's plugins and the
// libraries under them write there directly), into a file while it lives.
class CapturedStandardError {
public:
    explicit CapturedStandardError(const std::string& path)
    {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~CapturedStandardError()
    {
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }

private:
    int saved_;
};

int Occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(SilentAudioOutput, SaysOnceThatNothingPlaysAndNothingMore)
{
    test::TempDir dir;
    const std::string errors = dir.File("stderr");
    {
        CapturedStandardError captured(errors);
        const auto output = MakeGstAudioOutput();
        const Tone tones[] = {{1000, 50}, {2000, 50}};
        for (int round = 0; round < 3; ++round) {
            output->PlayTones(tones, {});
            output->PlayEventSound("window-minimized");
            EXPECT_FALSE(output->PlayWaveFileAsync(dir.File("stderr")));
        }
    }
    const std::string text = test::ReadFileBytes(errors);
    EXPECT_EQ(Occurrences(text, "no sound"), 1) << text;
    EXPECT_EQ(Occurrences(text, "\n"), 1) << text;
}

}  // namespace
}  // namespace qmd
