#include <gtest/gtest.h>

#include <filesystem>

#include "base/settings_file.h"
#include "react/core/bmp_file.h"
#include "react/core/motion_reactions.h"
#include "react/core/reaction_texts.h"
#include "reaction_fakes.h"
#include "support/captured_log.h"
#include "support/temp_dir.h"

namespace qmd {
namespace {

using test::EventLog;
using Events = std::vector<std::string>;

const LocalTime kNow{2027, 2, 1, 9, 5, 3, 7};
const char* const kTones[] = {"tone:4000:50", "tone:1000:50", "tone:3500:50", "tone:1500:50",
                              "tone:2000:50", "tone:3000:50", "tone:2500:50"};

class MotionReactionsTest : public testing::Test {
protected:
    MotionReactionsTest()
    {
        std::filesystem::create_directory(dir.Path() / "photos");
        WriteSetting("Zrob zdjecie", dir.File("photos"));
        WriteSetting("Odtworz plik dzwiekowy", "/snd/alarm.wav");
        WriteSetting("Informacja", "Ktoś jest w pokoju");
        state.Slots.Create();
        for (int slot = 0; slot < 2; ++slot) {
            const FrameSlots::Access frameSlots = state.Slots.Lock();
            frameSlots[slot].Resize(3, 2);
            std::fill(frameSlots[slot].Bits(), frameSlots[slot].Bits() + frameSlots[slot].ImageSize(),
                      static_cast<std::uint8_t>(slot == 0 ? 0x10 : 0x80));
        }
        state.CurrentSlot = 1;
        programs.Assign({"/usr/bin/first", "second.sh"});
    }

    void WriteSetting(const char* key, const std::string& value)
    {
        SettingsFile settings(dir.File("ustawienia.ini"));
        settings.WriteString("Ruch", key, value);
    }

    void AllOn()
    {
        for (auto* s : {&switches.Photo, &switches.Alarm, &switches.Programs, &switches.Sound, &switches.Information,
                        &switches.Power, &switches.Log})
            *s = true;
    }

    MotionReactions Make()
    {
        ReactionDependencies deps;
        deps.Switches = &switches;
        deps.Programs = &programs;
        deps.PowerIndex = &powerIndex;
        deps.Ui = &ui;
        deps.Audio = &audio;
        deps.Power = &power;
        deps.Opener = &launcher;
        deps.Notifier = &notifier;
        deps.SettingsPath = [this] { return dir.File("ustawienia.ini"); };
        deps.LogPath = [this] { return LogPath(); };
        deps.Clock = [] { return kNow; };
        return MotionReactions(std::move(deps));
    }

    std::string LogPath() const { return dir.File("Dziennik.log"); }
    std::string PhotoPath() const { return PhotoFilePath(dir.File("photos"), kNow, kNow); }
    std::string Log() const { return std::filesystem::exists(LogPath()) ? test::ReadFileBytes(LogPath()) : ""; }

    test::TempDir dir;
    EventLog log;
    test::FakeUi ui{log};
    test::FakeAudio audio{log};
    test::FakePower power{log};
    test::FakeLauncher launcher{log};
    struct FakeNotifier : MotionNotifier {
        void Notify(const std::string& text, const FrameImage& frame) override
        {
            texts.push_back(text);
            last = frame;
        }
        std::vector<std::string> texts;
        FrameImage last;
    } notifier;
    ReactionSwitches switches;
    ProgramList programs;
    std::atomic<int> powerIndex{-1};
    test::CapturedLog errors;
    DetectionState state;
    const std::string kLine = "Wykryto ruch dnia 1.2.2027 o godzinie 9:5:3 (7 ms)\r\n";
};

TEST_F(MotionReactionsTest, EveryReactionInItsFixedOrder)
{
    AllOn();
    powerIndex = 4;
    bool photoBeforeAlarm = false;
    audio.beforeTone = [&] { photoBeforeAlarm = photoBeforeAlarm || std::filesystem::exists(PhotoPath()); };
    bool logAfterPower = false;
    power.beforeCall = [&] { logAfterPower = !std::filesystem::exists(LogPath()); };

    MotionReactions reactions = Make();
    reactions.Run(state);

    Events expected(std::begin(kTones), std::end(kTones));
    for (const char* e : {"open:/usr/bin/first", "open:second.sh", "wave:/snd/alarm.wav", "info:Ktoś jest w pokoju",
                          "poweroff", "close"})
        expected.push_back(e);
    EXPECT_EQ(log.Events(), expected);
    EXPECT_TRUE(photoBeforeAlarm);
    EXPECT_TRUE(logAfterPower);
    EXPECT_EQ(Log(), kLine);
    EXPECT_TRUE(state.ProgramsLaunched);
    EXPECT_TRUE(state.InfoShown);
    EXPECT_EQ(errors.str(), "");

    // The photo is the frame of the current slot.
    const FrameImage expectedFrame = state.Slots.Lock()[1];
    EXPECT_EQ(test::ReadFileBytes(PhotoPath()), EncodeBmp(expectedFrame));
}

// Motion goes on for minutes: one notification tells of it, with the time
// and the frame that showed it; the other reactions go on for every cycle.
TEST_F(MotionReactionsTest, NotificationAtMostOnceEvery30Seconds)
{
    switches.Notification = true;
    switches.Log = true;
    MotionReactions reactions = Make();
    for (int cycle = 0; cycle < 3; ++cycle) reactions.Run(state);
    EXPECT_EQ(notifier.texts, std::vector<std::string>{"Wykryto ruch dnia 1.2.2027 o godzinie 9:5:3"});
    EXPECT_EQ(notifier.last, state.Slots.Lock()[1]);
    EXPECT_EQ(Log(), kLine + kLine + kLine);
    EXPECT_EQ(errors.str(), "");
}

// The picture: at most 128 pixels on its longer side, never enlarged, each
// pixel the mean of those it covers, in red, green, blue order.
TEST(NotificationPicture, ShrunkByAveragingIntoRgb)
{
    FrameImage frame;
    frame.Resize(1280, 720);  // 10 by 10 frame pixels to each picture pixel
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x) {
            std::uint8_t* pixel = frame.Row(y) + 3 * x;
            pixel[0] = 200;                               // blue
            pixel[1] = x % 2 == 0 ? 0 : 100;              // green: 50 on average
            pixel[2] = y < frame.Height() / 2 ? 10 : 30;  // red: top half darker
        }
    const NotificationPicture picture = ShrinkForNotification(frame);
    ASSERT_EQ(picture.Width, 128);
    ASSERT_EQ(picture.Height, 72);
    ASSERT_EQ(picture.Rgb.size(), 128u * 72 * 3);
    EXPECT_EQ(picture.Rgb[0], 10);
    EXPECT_EQ(picture.Rgb[1], 50);
    EXPECT_EQ(picture.Rgb[2], 200);
    const std::size_t bottomRight = picture.Rgb.size() - 3;
    EXPECT_EQ(picture.Rgb[bottomRight], 30);

    frame.Resize(50, 20);
    const NotificationPicture small = ShrinkForNotification(frame);
    EXPECT_EQ(small.Width, 50);
    EXPECT_EQ(small.Height, 20);
    EXPECT_TRUE(ShrinkForNotification(FrameImage()).Rgb.empty());
}

TEST_F(MotionReactionsTest, SwitchesOffDoNothing)
{
    powerIndex = 5;
    MotionReactions reactions = Make();
    reactions.Run(state);
    EXPECT_EQ(log.Events(), Events{});
    EXPECT_FALSE(std::filesystem::exists(PhotoPath()));
    EXPECT_FALSE(std::filesystem::exists(LogPath()));
    EXPECT_FALSE(state.ProgramsLaunched);
    EXPECT_FALSE(state.InfoShown);
}

TEST_F(MotionReactionsTest, ProgramsAndInformationOncePerReset)
{
    switches.Programs = true;
    switches.Information = true;
    MotionReactions reactions = Make();
    reactions.Run(state);
    reactions.Run(state);
    EXPECT_EQ(log.Events(), (Events{"open:/usr/bin/first", "open:second.sh", "info:Ktoś jest w pokoju"}));

    // The reset clears both latches; the text is read anew.
    log.Clear();
    WriteSetting("Informacja", "Nowa treść");
    programs.Assign({"/only/one"});
    state.ProgramsLaunched = false;
    state.InfoShown = false;
    reactions.Run(state);
    EXPECT_EQ(log.Events(), (Events{"open:/only/one", "info:Nowa treść"}));
}

TEST_F(MotionReactionsTest, EmptyListStillSetsTheLatch)
{
    switches.Programs = true;
    programs.Assign({});
    MotionReactions reactions = Make();
    reactions.Run(state);
    EXPECT_TRUE(state.ProgramsLaunched);
    EXPECT_EQ(log.Events(), Events{});
}

TEST_F(MotionReactionsTest, InformationAlreadyShowingIsSkipped)
{
    switches.Information = true;
    ui.showing = true;
    MotionReactions reactions = Make();
    reactions.Run(state);
    EXPECT_EQ(log.Events(), Events{});
    EXPECT_FALSE(state.InfoShown);
}

TEST_F(MotionReactionsTest, PowerIndexTable)
{
    switches.Power = true;
    MotionReactions reactions = Make();
    const std::pair<int, Events> table[] = {
        {-1, {}},
        {0, {}},
        {1, {"suspend", "close"}},    // "Stan uśpienia" sleeps
        {2, {"hibernate", "close"}},  // "Hibernuj" hibernates
        {3, {"logoff", "close"}},
        {4, {"poweroff", "close"}},
        {5, {"reboot", "close"}},
        {6, {}},
    };
    for (const auto& [index, expected] : table) {
        SCOPED_TRACE(index);
        log.Clear();
        powerIndex = index;
        reactions.Run(state);
        EXPECT_EQ(log.Events(), expected);
    }
}

TEST_F(MotionReactionsTest, FailedPhotoStillSoundsAlarmAndLogs)
{
    switches.Photo = true;
    switches.Alarm = true;
    switches.Log = true;
    WriteSetting("Zrob zdjecie", dir.File("no such folder"));
    MotionReactions reactions = Make();
    reactions.Run(state);
    EXPECT_EQ(log.Events(), Events(std::begin(kTones), std::end(kTones)));
    EXPECT_EQ(Log(), kLine);
    EXPECT_NE(errors.str().find("photo"), std::string::npos);
}

// A refused power action keeps the program: the machine is still on.
TEST_F(MotionReactionsTest, FailuresOfEntriesPowerAndLogAreContained)
{
    AllOn();
    powerIndex = 1;
    power.fail = true;
    launcher.failing = {"/usr/bin/first"};
    std::filesystem::create_directory(LogPath());  // the log cannot be opened
    MotionReactions reactions = Make();
    EXPECT_NO_THROW(reactions.Run(state));
    const Events events = log.Events();
    const Events tail(events.begin() + 7, events.end());
    EXPECT_EQ(tail, (Events{"open:/usr/bin/first", "open:second.sh", "wave:/snd/alarm.wav", "info:Ktoś jest w pokoju",
                            "suspend"}));
    EXPECT_TRUE(state.ProgramsLaunched);
    EXPECT_NE(errors.str().find("cannot start /usr/bin/first"), std::string::npos);
    EXPECT_NE(errors.str().find("logind refused"), std::string::npos);
    EXPECT_NE(errors.str().find("log"), std::string::npos);
}

TEST_F(MotionReactionsTest, LogLinesAppendOnePerDetection)
{
    switches.Log = true;
    MotionReactions reactions = Make();
    for (int i = 0; i < 3; ++i) reactions.Run(state);
    EXPECT_EQ(Log(), kLine + kLine + kLine);
}

TEST_F(MotionReactionsTest, SameSecondReplacesThePhoto)
{
    switches.Photo = true;
    MotionReactions reactions = Make();
    reactions.Run(state);
    state.CurrentSlot = 0;
    reactions.Run(state);
    const FrameImage slot0 = state.Slots.Lock()[0];
    EXPECT_EQ(test::ReadFileBytes(PhotoPath()), EncodeBmp(slot0));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path() / "photos"), {}), 1);
}

TEST_F(MotionReactionsTest, ClosingProgramCutsTheAlarmShortButStillLogs)
{
    switches.Alarm = true;
    switches.Log = true;
    int tones = 0;
    audio.beforeTone = [&] {
        if (++tones == 2) ui.closing = true;
    };
    MotionReactions reactions = Make();
    reactions.Run(state);
    EXPECT_EQ(log.Events(), (Events{kTones[0], kTones[1]}));
    EXPECT_EQ(Log(), kLine);
}

TEST_F(MotionReactionsTest, MissingDependenciesAreRefused)
{
    EXPECT_THROW(MotionReactions(ReactionDependencies{}), QuiskError);
}

}  // namespace
}  // namespace qmd
