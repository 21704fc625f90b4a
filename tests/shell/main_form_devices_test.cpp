// "Urządzenia" and the device switch, and frames reaching the detection cycle.
#include <QAction>
#include <QMenu>
#include <QSignalSpy>

#include <atomic>
#include <filesystem>

#include "base/settings_keys.h"
#include "capture/devices/sys_dev_enum.h"
#include "capture/fake_device_provider.h"
#include "capture/grabber/sample_grabber.h"
#include "capture/graph/filter.h"
#include "capture/graph/filter_graph.h"
#include "capture/sources/moniker.h"
#include "capture/sources/saved_cameras.h"
#include "capture/video_window.h"
#include "shell/selection_slider.h"
#include "shell_test_support.h"
#include "support/mjpeg_http_server.h"

namespace qmd::test {
namespace {

class DevicesTest : public MainFormTest {
protected:
    // A run of the program in which the USB camera was chosen and watched:
    // the settings remember it at position 0.
    void ChooseTheUsbCameraInAnEarlierRun()
    {
        InstallFakeCameras({{"Kamera USB", "/dev/video0", 0, "SN-0042"}});
        WriteSettings({"[Ogolne]", "Zapamietuj urzadzenie=1"});
        Start()->Devices->actions().value(0)->trigger();
        ASSERT_TRUE(WaitUntil([&] { return form_->SampleGrabber->DeliveredFrames() >= 1; }));
        form_->SampleGrabber->Shutdown();
        ASSERT_TRUE(CloseForm());
        form_.reset();
    }
};

// The captions of the sources in "Urządzenia", without the network cameras'
// commands that follow them.
QStringList EntryCaptions(const TfmMainForm* form)
{
    QStringList captions;
    for (const QAction* entry : form->Devices->actions()) {
        if (entry == form->N4) break;
        captions << entry->text();
    }
    return captions;
}

class CountingReactions : public ReactionSequence {
public:
    void Run(DetectionState&) override { ++runs; }
    std::atomic<int> runs{0};
};

// The remembered camera is gone, so the test camera stands at its position:
// start-up must not open it (its ball would run every reaction), the user can.
TEST_F(DevicesTest, TheTestCameraAtTheRememberedPositionRunsOnlyWhenChosen)
{
    WriteSettings({"[Ogolne]", "Ostatnie urzadzenie=0", "Zapamietuj urzadzenie=1", "Opoznienie wykrywania=0"});
    TfmMainForm* form = Start();
    CountingReactions reactions;
    form->SetReactions(&reactions);
    EXPECT_EQ(EntryCaptions(form), QStringList({"Kamera testowa"}));
    EXPECT_EQ(form->Devices->actions().value(0)->data().toInt(), 0);
    EXPECT_FALSE(form->FilterGraph->Active());
    QTest::qWait(300);
    EXPECT_EQ(form->SampleGrabber->DeliveredFrames(), 0u);
    EXPECT_EQ(reactions.runs.load(), 0);

    form->Devices->actions().value(0)->trigger();
    EXPECT_TRUE(form->FilterGraph->Active());
    EXPECT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() >= 3; }));
    form->SetReactions(nullptr);
    form->SampleGrabber->Shutdown();
}

TEST_F(DevicesTest, TheRememberedSecondDeviceRunsAtStart)
{
    UseClips(2);
    WriteSettings({"[Ogolne]", "Ostatnie urzadzenie=1", "Zapamietuj urzadzenie=1"});
    TfmMainForm* form = Start();
    EXPECT_EQ(EntryCaptions(form), QStringList({"clip0.avi", "clip1.avi"}));
    EXPECT_TRUE(form->FilterGraph->Active());
    EXPECT_EQ(form->LastDevice, 1);
    const std::optional<Moniker> second = TSysDevEnum().DeviceMoniker(1);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(form->Filter->BaseFilter().Bytes(), second->Bytes());
    // The switch's reset ran before start-up's last step set the counter.
    EXPECT_TRUE(form->Detection.Slots.Exist());
    EXPECT_GE(form->Detection.FrameCounter.load(), 2);
    EXPECT_EQ(form->Detection.CurrentSlot.load() <= 1, true);
    EXPECT_NE(SettingsText().find("Ostatnie urzadzenie=1\r\n"), std::string::npos);
    // Frames reach the frame handler and are counted through the warm-up.
    ASSERT_TRUE(WaitUntil([&] { return form->Detection.FrameCounter.load() > 5; }));
}

TEST_F(DevicesTest, NothingRunsWhenTheDeviceIsNotRemembered)
{
    UseClips(2);
    WriteSettings({"[Ogolne]", "Ostatnie urzadzenie=1", "Zapamietuj urzadzenie=0"});
    TfmMainForm* form = Start();
    EXPECT_EQ(EntryCaptions(form), QStringList({"clip0.avi", "clip1.avi"}));
    EXPECT_FALSE(form->FilterGraph->Active());
    EXPECT_TRUE(form->Filter->BaseFilter().Empty());
}

TEST_F(DevicesTest, ARememberedPositionPastTheListOpensNothing)
{
    UseClips(2);
    WriteSettings({"[Ogolne]", "Ostatnie urzadzenie=2"});
    TfmMainForm* form = Start();
    EXPECT_EQ(EntryCaptions(form).size(), 2);
    EXPECT_FALSE(form->FilterGraph->Active());
}

TEST_F(DevicesTest, ChoosingADeviceRebuildsTheGraphAndResets)
{
    UseClips(2);
    WriteSettings({"[Ogolne]", "Zapamietuj urzadzenie=0", "Ostatnie urzadzenie=1"});
    TfmMainForm* form = Start();
    form->Detection.ProgramsLaunched.store(true);
    form->Detection.InfoShown.store(true);
    form->Devices->actions().value(0)->trigger();
    EXPECT_TRUE(form->FilterGraph->Active());
    EXPECT_EQ(form->LastDevice, 0);
    EXPECT_FALSE(form->Detection.ProgramsLaunched.load());
    EXPECT_FALSE(form->Detection.InfoShown.load());
    // Written whether or not the device is to be remembered.
    EXPECT_NE(SettingsText().find("Ostatnie urzadzenie=0\r\n"), std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return form->Detection.FrameCounter.load() >= 3; }));

    // Switching again to the other one rebuilds everything the same way.
    form->Devices->actions().value(1)->trigger();
    EXPECT_EQ(form->LastDevice, 1);
    EXPECT_EQ(form->Filter->BaseFilter().Bytes(), TSysDevEnum().DeviceMoniker(1)->Bytes());
    EXPECT_NE(SettingsText().find("Ostatnie urzadzenie=1\r\n"), std::string::npos);
}

TEST_F(DevicesTest, ASwitchFillsBothSlotsWithTheLatestFrame)
{
    UseClips(1);
    TfmMainForm* form = Start();
    form->Devices->actions().value(0)->trigger();
    FrameImage latest;
    ASSERT_TRUE(WaitUntil([&] { return form->SampleGrabber->LatestFrameToBitmap(&latest); }));
    form->Devices->actions().value(0)->trigger();
    const FrameSlots::Access frameSlots = form->Detection.Slots.Lock();
    EXPECT_EQ(frameSlots[0].Width(), 64);
    EXPECT_EQ(frameSlots[1].Height(), 48);
}

TEST_F(DevicesTest, ChangingPictureRunsTheReactionsUntilSensitivityIsZero)
{
    UseClips(1);
    WriteSettings({"[Ogolne]", "Opoznienie wykrywania=0"});
    TfmMainForm* form = Start();
    CountingReactions reactions;
    form->SetReactions(&reactions);
    form->Devices->actions().value(0)->trigger();
    EXPECT_TRUE(WaitUntil([&] { return reactions.runs.load() >= 3; }));
    // Sensitivity 0 is Threshold 255: no difference exceeds it.
    form->TrackBar1->setValue(0);
    const auto delivered = form->SampleGrabber->DeliveredFrames();
    const int runs = reactions.runs.load();
    ASSERT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() >= delivered + 10; }));
    EXPECT_LE(reactions.runs.load(), runs + 1);  // one cycle may have been under way
    form->SetReactions(nullptr);
    form->SampleGrabber->Shutdown();
}

TEST_F(DevicesTest, AGraphErrorIsReportedOnce)
{
    const std::string broken = dir_.File("broken.avi");
    WriteFileBytes(broken, std::string(4096, 'x'));
    ::setenv("QUISK_EXTRA_SOURCES", broken.c_str(), 1);
    TfmMainForm* form = Start();
    const auto boxes = AcceptMessageBoxes();
    form->Devices->actions().value(0)->trigger();
    ASSERT_TRUE(WaitUntil([&] { return boxes->Answered() >= 1; }));
    QTest::qWait(500);
    EXPECT_EQ(boxes->Answered(), 1);
}

// A USB camera unplugged (its element fails, as v4l2src does) and plugged in
// again under another node with the same serial number: the menu follows the
// monitor, and watching resumes when the camera is listed again, not at the
// next timed attempt, without a second box and without rearming the
// once-only reactions.
TEST_F(DevicesTest, AnUnpluggedCameraIsWatchedAgainWhenItIsListedAgain)
{
    InstallFakeCameras({{"Kamera USB", "/dev/video0", 0, "SN-0042"}});
    WriteSettings({"[Ogolne]", "Ostatnie urzadzenie=0", "Zapamietuj urzadzenie=1", "Opoznienie wykrywania=0"});
    TfmMainForm* form = Start();
    const auto boxes = AcceptMessageBoxes();
    ASSERT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() >= 3; }));
    form->Detection.ProgramsLaunched.store(true);

    UnplugFakeCamera("/dev/video0");
    GST_ELEMENT_ERROR(form->Filter->DeviceElement(), RESOURCE, READ, ("Could not read from resource."), (nullptr));
    ASSERT_TRUE(WaitUntil([&] { return !form->FilterGraph->Active() && boxes->Answered() == 1; }));
    EXPECT_FALSE(form->VideoWindow->Renderer().LatestFrame());  // the preview is black
    ASSERT_TRUE(WaitUntil([&] { return EntryCaptions(form) == QStringList({"Kamera testowa"}); }));
    // Past the first two timed attempts (1 s and 3 s after the loss); the
    // next one is 4 s away.
    QTest::qWait(3300);
    EXPECT_FALSE(form->FilterGraph->Active() && form->Filter->DeviceElement());

    const auto before = form->SampleGrabber->DeliveredFrames();
    PlugInFakeCamera({"Kamera USB", "/dev/video3", 0, "SN-0042"});
    EXPECT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() >= before + 3; }, 2500));
    EXPECT_TRUE(WaitUntil([&] { return EntryCaptions(form) == QStringList({"Kamera USB"}); }));
    EXPECT_EQ(boxes->Answered(), 1);
    EXPECT_TRUE(form->Detection.ProgramsLaunched.load());
    form->SampleGrabber->Shutdown();
    InstallFakeCameras({});
}

// Started at log-on before the USB camera is ready: the remembered position
// names only the test camera, and the remembered camera is opened when it
// comes, under whatever node it has then.
TEST_F(DevicesTest, TheRememberedCameraOpensWhenItComesAfterStartUp)
{
    ASSERT_NO_FATAL_FAILURE(ChooseTheUsbCameraInAnEarlierRun());
    UnplugFakeCamera("/dev/video0");

    TfmMainForm* form = Start();
    EXPECT_EQ(EntryCaptions(form), QStringList({"Kamera testowa"}));
    // A command after the sources stays after them, and the camera's
    // position still counts sources only.
    form->Devices->addSeparator();
    form->Devices->addAction(QStringLiteral("Polecenie"));
    QTest::qWait(300);
    EXPECT_FALSE(form->FilterGraph->Active());
    PlugInFakeCamera({"Kamera USB", "/dev/video1", 0, "SN-0042"});
    EXPECT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() >= 3; }));
    EXPECT_EQ(EntryCaptions(form), QStringList({"Kamera USB"}));
    EXPECT_EQ(form->Devices->actions().constLast()->text(), QStringLiteral("Polecenie"));
    EXPECT_EQ(form->LastDevice, 0);
    form->SampleGrabber->Shutdown();
    InstallFakeCameras({});
}

// -1 opens nothing at start-up, whatever camera was chosen last and is there.
TEST_F(DevicesTest, NoRememberedPositionOpensNothingWhileTheLastCameraIsThere)
{
    ASSERT_NO_FATAL_FAILURE(ChooseTheUsbCameraInAnEarlierRun());
    std::string settings = SettingsText();
    const auto position = settings.find("Ostatnie urzadzenie=0");
    ASSERT_NE(position, std::string::npos);
    settings.replace(position, 21, "Ostatnie urzadzenie=-1");
    WriteSettings({settings});

    TfmMainForm* form = Start();
    QTest::qWait(300);
    EXPECT_FALSE(form->FilterGraph->Active());
    EXPECT_EQ(form->LastDevice, -1);
    EXPECT_NE(SettingsText().find("Ostatnie urzadzenie=-1\r\n"), std::string::npos);
    InstallFakeCameras({});
}

// The format window opened while the camera is away (it fails without a
// device, as it must) leaves the camera awaited: it is watched again when it
// is plugged in.
TEST_F(DevicesTest, TheCameraComesBackAfterTheFormatCommandDuringAnOutage)
{
    InstallFakeCameras({{"Kamera USB", "/dev/video0", 0, "SN-0042"}});
    WriteSettings({"[Ogolne]", "Ostatnie urzadzenie=0", "Zapamietuj urzadzenie=1"});
    TfmMainForm* form = Start();
    const auto boxes = AcceptMessageBoxes();
    ASSERT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() >= 3; }));

    UnplugFakeCamera("/dev/video0");
    GST_ELEMENT_ERROR(form->Filter->DeviceElement(), RESOURCE, READ, ("Could not read from resource."), (nullptr));
    ASSERT_TRUE(WaitUntil([&] { return !form->FilterGraph->Active() && boxes->Answered() == 1; }));
    form->Zmierozdzielczo1->trigger();
    ASSERT_TRUE(WaitUntil([&] { return boxes->Answered() == 2; }));
    EXPECT_TRUE(boxes->Texts().last().startsWith(u"Interface not supported"));

    const auto before = form->SampleGrabber->DeliveredFrames();
    PlugInFakeCamera({"Kamera USB", "/dev/video1", 0, "SN-0042"});
    EXPECT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() >= before + 3; }));
    form->SampleGrabber->Shutdown();
    InstallFakeCameras({});
}

std::string Hex(const std::string& text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : text) hex.append({kDigits[c >> 4], kDigits[c & 15]});
    return hex;
}

// A network camera behind a password is watched with it, but the password
// reaches no file: neither as the program keeps the camera now, nor as an
// earlier version kept it, which the next start takes out.
TEST_F(DevicesTest, ACamerasPasswordIsWrittenToNoFile)
{
    const std::string password = "tajne-Haslo-7";
    const std::vector<std::uint8_t> bgr(32 * 24 * 3, 90);
    MjpegHttpServer camera({EncodeBgrJpeg(bgr.data(), 32, 24, 32 * 3)},
                           {.FramesPerSecond = 15, .AuthScheme = "Basic", .User = "ja", .Password = password});
    const std::string url = "http://ja:" + password + "@127.0.0.1:" + std::to_string(camera.Port()) + "/video";
    VideoSource earlier{.Kind = SourceKind::ExtraSource,
                        .DisplayName = "kamera",
                        .Identity = url,
                        .DeviceClass = "Video/Source",
                        .StableIdentity = {},
                        .Address = url,
                        .Credentials = CredentialsKept::Environment};
    WriteSettings({"[Ogolne]", "Ostatnie urzadzenie=-1", "Zapamietuj urzadzenie=1",
                   "Ostatnia kamera=" + Moniker::FromFields(earlier).Hex()});
    ::setenv("QUISK_EXTRA_SOURCES", url.c_str(), 1);

    TfmMainForm* form = Start();
    const auto boxes = AcceptMessageBoxes();
    EXPECT_EQ(SettingsText().find(Hex(password)), std::string::npos);
    form->Devices->actions().value(0)->trigger();
    ASSERT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() >= 3; }));
    form->SampleGrabber->Shutdown();
    ASSERT_TRUE(CloseForm());
    form_.reset();
    EXPECT_EQ(boxes->Answered(), 0) << boxes->Texts().join(u'|').toStdString();

    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.Path())) {
        if (!entry.is_regular_file()) continue;
        const std::string bytes = ReadFileBytes(entry.path().string());
        EXPECT_EQ(bytes.find(password), std::string::npos) << entry.path();
        EXPECT_EQ(bytes.find(Hex(password)), std::string::npos) << entry.path();
    }
    EXPECT_NE(SettingsText().find("Ostatnie urzadzenie=0\r\n"), std::string::npos);
}

// A network camera the user added is remembered by its identity, as a USB
// camera is: when a camera that stood before it in the list is gone at the
// next start, the remembered position names nothing, and the added camera
// is opened all the same; "Ostatnie urzadzenie" then counts sources only.
TEST_F(DevicesTest, AnAddedCameraIsOpenedByItsIdentityWhenItsPositionMoved)
{
    const std::vector<std::uint8_t> bgr(32 * 24 * 3, 90);
    MjpegHttpServer camera({EncodeBgrJpeg(bgr.data(), 32, 24, 32 * 3)}, {.FramesPerSecond = 15});
    const SavedCamera added{"Brama", camera.Url(), "", CredentialsKept::None};
    WriteFileBytes(dir_.File(kSavedCamerasFileName), "[Kamera 1]\r\nNazwa=Brama\r\nAdres=" + camera.Url() + "\r\n");
    WriteSettings({"[Ogolne]", "Ostatnie urzadzenie=1", "Zapamietuj urzadzenie=1",
                   "Ostatnia kamera=" + Moniker::FromFields(SourceOfSavedCamera(added)).Hex()});

    TfmMainForm* form = Start();
    ASSERT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() >= 3; }));
    EXPECT_EQ(EntryCaptions(form), QStringList({"Brama"}));
    EXPECT_EQ(form->LastDevice, 0);
    form->SampleGrabber->Shutdown();
    ASSERT_TRUE(CloseForm());
    form_.reset();
    EXPECT_NE(SettingsText().find("Ostatnie urzadzenie=0\r\n"), std::string::npos);
    EXPECT_NE(SettingsText().find("Ostatnia kamera=" + Moniker::FromFields(SourceOfSavedCamera(added)).Hex()),
              std::string::npos);
}

}  // namespace
}  // namespace qmd::test
