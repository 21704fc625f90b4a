#include <gtest/gtest.h>

#include <gst/app/gstappsink.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "gst/init.h"
#include "react/core/clip_folder.h"
#include "react/core/clip_recorder.h"
#include "react/core/clip_ring.h"
#include "react/core/reaction_texts.h"
#include "support/captured_log.h"
#include "support/temp_dir.h"

namespace qmd {
namespace {

constexpr std::int64_t kMs = 1'000'000;

ClipFrame Frame(std::int64_t atMs, bool key, std::size_t bytes = 100)
{
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
    if (!key) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
    gst::SampleHandle sample{gst_sample_new(buffer, nullptr, nullptr, nullptr)};
    gst_buffer_unref(buffer);
    return ClipFrameOf(std::move(sample), atMs * kMs);
}

// Key frames every `group` frames, one frame each 100 ms.
TEST(ClipRing, BeginsAtTheKeyFrameBeforeTheTimeAskedAndStaysBounded)
{
    gst::EnsureInitialized();
    for (const int group : {1, 4, 10}) {
        SCOPED_TRACE(group);
        ClipRing ring(1'000'000);
        ring.Push(Frame(0, false), 0);
        EXPECT_EQ(ring.Size(), 0u);
        for (int i = 0; i < 200; ++i) {
            const std::int64_t at = 100 * (i + 1);
            ring.Push(Frame(at, i % group == 0), (at - 3000) * kMs);
        }
        // 3 s are kept, and less than one group more.
        EXPECT_GE(ring.Size(), 30u);
        EXPECT_LE(ring.Size(), static_cast<std::size_t>(31 + group));
        const std::vector<ClipFrame> taken = ring.TakeFrom((20000 - 2000) * kMs);
        ASSERT_FALSE(taken.empty());
        EXPECT_TRUE(taken.front().Key);
        EXPECT_LE(taken.front().ArrivalNs, (20000 - 2000) * kMs);
        EXPECT_GT(taken.front().ArrivalNs, (20000 - 2000 - 100 * group) * kMs);
        EXPECT_EQ(taken.back().ArrivalNs, 20000 * kMs);
        EXPECT_EQ(ring.Size(), 0u);
        EXPECT_EQ(ring.Bytes(), 0u);
    }
    // Over its bytes, whole groups go from the front, and it still begins at a key frame.
    ClipRing small(1000);
    for (int i = 0; i < 50; ++i) small.Push(Frame(i, i % 5 == 0), 0);
    EXPECT_LE(small.Bytes(), 1000u);
    EXPECT_TRUE(small.TakeFrom(0).front().Key);
}

TEST(ClipFiles, NamedAsPhotosAndOnlyOursPruned)
{
    const LocalTime date{2027, 2, 1, 0, 0, 0, 0};
    const LocalTime time{0, 0, 0, 9, 5, 3, 7};
    EXPECT_EQ(ClipFileName(date, time), "Film nagrany w dniu 1.2.2027 o godzinie .9.5.3.mkv");
    EXPECT_TRUE(IsClipFileName(ClipFileName(date, time)));
    for (const char* other :
         {"Film nagrany w dniu 1.2.2027 o godzinie .9.5.3.mkv.part", "Film nagrany w dniu 1.2 o godzinie .9.5.3.mkv",
          "Film nagrany w dniu x.mkv", "Zdjęcie zrobione w dniu 1.2.2027 o godzinie .9.5.3.bmp",
          "Film nagrany w dniu 1.2.2027 o godzinie .9.5..mkv"})
        EXPECT_FALSE(IsClipFileName(other)) << other;

    test::TempDir dir;
    const auto clip = [&](int day) { return dir.File(ClipFileName({2026, 1, static_cast<std::uint16_t>(day)}, time)); };
    namespace fs = std::filesystem;
    const auto age = fs::file_time_type::clock::now();
    for (int day = 1; day <= 4; ++day) {
        test::WriteFileBytes(clip(day), std::string(1000, 'c'));
        fs::last_write_time(clip(day), age - std::chrono::hours(24 * (10 - day)));
    }
    test::WriteFileBytes(dir.File("notatki.txt"), std::string(10000, 'n'));
    fs::last_write_time(dir.File("notatki.txt"), age - std::chrono::hours(24 * 100));
    fs::create_directory(dir.File(ClipFileName({2020, 1, 1}, time)));

    // The oldest (day 1) is kept as the clip in use; days 2 and 3 go.
    const std::vector<std::string> removed = PruneClips(dir.Path().string(), 2000, clip(1));
    EXPECT_EQ(removed, (std::vector<std::string>{clip(2), clip(3)}));
    EXPECT_TRUE(fs::exists(clip(1)) && fs::exists(clip(4)) && fs::exists(dir.File("notatki.txt")));
    EXPECT_TRUE(PruneClips(dir.Path().string(), 0, {}).empty());
}

// A live raw source (as a USB camera's) feeding the recorder's own sink.
gst::ElementHandle RawCamera(ClipRecorder& recorder)
{
    gst::ElementHandle pipeline = gst::Sink(gst_parse_launch(
        "videotestsrc is-live=true pattern=ball ! video/x-raw,format=YUY2,width=320,height=240,framerate=30/1 "
        "! queue name=branch",
        nullptr));
    if (!pipeline) return {};
    gst::ElementHandle sink = recorder.NewConsumer();
    gst_bin_add(GST_BIN(pipeline.get()), sink.get());
    gst::ElementHandle branch{gst_bin_get_by_name(GST_BIN(pipeline.get()), "branch")};
    if (!gst_element_link(branch.get(), sink.get())) return {};
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    return pipeline;
}

ClipSettings SettingsFor(const std::string& folder, std::int64_t before, std::int64_t after)
{
    ClipSettings settings;
    settings.Folder = folder;
    settings.SecondsBefore = before;
    settings.SecondsAfter = after;
    return settings;
}

// A clip of JPEG images that a player reads, from before the motion to after it.
TEST(ClipRecorder, RawCameraClipIsCompressedAndPlays)
{
    gst::EnsureInitialized();
    test::TempDir dir;
    ClipRecorder recorder({[&] { return SettingsFor(dir.Path().string(), 1, 1); }, {}});
    gst::ElementHandle pipeline = RawCamera(recorder);
    ASSERT_TRUE(pipeline);

    const auto clips = [&] {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) found.push_back(entry.path());
        return found;
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the ring fills
    recorder.NoteMotion();
    // The event ends a second after the detection; the clip is finished then.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::uintmax_t size = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const auto found = clips();
        if (found.size() != 1) continue;
        const std::uintmax_t now = std::filesystem::file_size(found.front());
        if (now > 0 && now == size) break;
        size = now;
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    ASSERT_EQ(clips().size(), 1u);

    const std::string read =
        "filesrc location=\"" + clips().front().string() + "\" ! matroskademux ! appsink name=frames sync=false";
    gst::ElementHandle player = gst::Sink(gst_parse_launch(read.c_str(), nullptr));
    gst::ElementHandle frames{gst_bin_get_by_name(GST_BIN(player.get()), "frames")};
    gst_element_set_state(player.get(), GST_STATE_PLAYING);
    int count = 0;
    GstClockTime first = GST_CLOCK_TIME_NONE, last = 0;
    while (gst::SampleHandle sample{gst_app_sink_pull_sample(GST_APP_SINK(frames.get()))}) {
        const GstStructure* format = gst_caps_get_structure(gst_sample_get_caps(sample.get()), 0);
        EXPECT_TRUE(gst_structure_has_name(format, "image/jpeg"));
        const GstClockTime pts = GST_BUFFER_PTS(gst_sample_get_buffer(sample.get()));
        if (!GST_CLOCK_TIME_IS_VALID(first)) first = pts;
        last = pts;
        ++count;
    }
    gst_element_set_state(player.get(), GST_STATE_NULL);
    // A second before the detection and one after it, at 30 frames/s.
    EXPECT_GE(count, 45);
    EXPECT_GE(last - first, 1500 * GST_MSECOND);
    EXPECT_LE(last - first, 3000 * GST_MSECOND);
}

// A clip that cannot be written (its folder is gone) ends, said once however
// long its event goes on; the next event writes its clip.
TEST(ClipRecorder, AFailedClipIsSaidOnceAndTheNextEventTriesAgain)
{
    gst::EnsureInitialized();
    test::TempDir dir;
    const std::string folder = dir.File("filmy");
    ClipRecorder recorder({[&] { return SettingsFor(folder, 0, 1); }, {}});
    gst::ElementHandle pipeline = RawCamera(recorder);
    ASSERT_TRUE(pipeline);
    const auto failures = [](const std::string& text) {
        std::size_t count = 0;
        for (std::size_t at = text.find("ends here"); at != std::string::npos; at = text.find("ends here", at + 1))
            ++count;
        return count;
    };
    std::string said;
    {
        test::CapturedLog log;
        // Motion for two seconds: one event, its tail a second long.
        const auto motionEnds = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < motionEnds) {
            recorder.NoteMotion();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (failures(log.str()) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        said = log.str();
    }
    EXPECT_EQ(failures(said), 1u) << said;

    // Single detections further apart than the tail: each one an event of its own.
    std::filesystem::create_directory(folder);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::filesystem::is_empty(folder) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        recorder.NoteMotion();
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    EXPECT_FALSE(std::filesystem::is_empty(folder));
}

}  // namespace
}  // namespace qmd
