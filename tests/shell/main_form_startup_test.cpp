// Start-up from prepared settings files, and the close that saves the slider
// and the window position.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>

#include <filesystem>

#include "capture/graph/filter.h"
#include "capture/graph/filter_graph.h"
#include "capture/grabber/sample_grabber.h"
#include "capture/devices/sys_dev_enum.h"
#include "shell/desktop/tray_controller.h"
#include "shell/selection_slider.h"
#include "shell_test_support.h"

namespace qmd::test {
namespace {

using StartupTest = MainFormTest;

TEST_F(StartupTest, FirstStartWithoutSettingsUsesTheDefaults)
{
    TfmMainForm* form = Start();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isMinimized());
    EXPECT_EQ(form->pos(), QPoint(480, 266));
    EXPECT_EQ(form->TrackBar1->value(), 150);
    EXPECT_EQ(form->Label1->text(), "Czułość: 150");
    EXPECT_TRUE(form->Uruchomalarm1->isChecked());
    EXPECT_TRUE(form->Dopiszdodziennika1->isChecked());
    EXPECT_TRUE(form->Zapamitujostatniowybraneurzdzenie1->isChecked());
    EXPECT_TRUE(form->Zapamitajpozycjokna1->isChecked());
    for (QAction* off : {form->MinimalizujdoTraya1, form->Zrbzdjcie1, form->Odtwrzplikdwikowy1, form->Wywietlinformacj1,
                         form->Przecztrybpracykomputera1, form->Uruchomprogramy1, form->Uruchamiajprzystarciesystemu1})
        EXPECT_FALSE(off->isChecked()) << off->text().toStdString();
    EXPECT_EQ(form->Detection.StartDelayFrames.load(), 25);
    EXPECT_EQ(form->LastDevice, -1);
    EXPECT_FALSE(form->FilterGraph->Active());
    EXPECT_TRUE(form->Detection.Slots.Exist());
    EXPECT_EQ(form->Detection.FrameCounter.load(), 2);
    // Start-up writes nothing itself.
    EXPECT_FALSE(SettingsExist());
    EXPECT_TRUE(sounds_.isEmpty());

    ASSERT_TRUE(CloseForm());
    EXPECT_EQ(SettingsText(), "[Ruch]\r\nCzulosc=150\r\n[Ogolne]\r\nPozycja X=480\r\nPozycja Y=266\r\n");
}

// What a settings write killed before its rename leaves goes at the next start.
TEST_F(StartupTest, AKilledWritesTemporaryFileGoesAtStart)
{
    WriteSettings({"[Ruch]", "Czulosc=90"});
    // The highest process id Linux gives: no process has it.
    const std::string leftover = dir_.File(".ustawienia.ini.4194304.0.tmp");
    WriteFileBytes(leftover, "[Ruch]\r\nCzulosc=3\r\n");
    TfmMainForm* form = Start();
    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_EQ(form->TrackBar1->value(), 90);
}

TEST_F(StartupTest, StoredValuesSetMarksAndState)
{
    WriteSettings({"[Ruch]", "Czulosc=90", "Alarm=0", "Zrob zdjecie=/tmp/zdjecia", "Odtworz plik dzwiekowy=/tmp/a.wav",
                   "Informacja=Ruch!", "Tryb pracy=3", "Prowadz dziennik=0", "[Ogolne]", "Opoznienie wykrywania=7",
                   "Ostatnie urzadzenie=4", "Zapamietuj urzadzenie=0", "Pozycja X=105", "Pozycja Y=77"});
    TfmMainForm* form = Start();
    EXPECT_EQ(form->TrackBar1->value(), 90);
    EXPECT_EQ(form->Detection.Threshold.load(), 165);
    EXPECT_FALSE(form->Uruchomalarm1->isChecked());
    EXPECT_TRUE(form->Zrbzdjcie1->isChecked());
    EXPECT_TRUE(form->Odtwrzplikdwikowy1->isChecked());
    EXPECT_TRUE(form->Wywietlinformacj1->isChecked());
    EXPECT_TRUE(form->Przecztrybpracykomputera1->isChecked());
    EXPECT_FALSE(form->Dopiszdodziennika1->isChecked());
    EXPECT_EQ(form->Detection.StartDelayFrames.load(), 7);
    EXPECT_EQ(form->LastDevice, 4);
    EXPECT_FALSE(form->Zapamitujostatniowybraneurzdzenie1->isChecked());
    EXPECT_EQ(form->pos(), QPoint(105, 77));
    // The frame thread sees the marks before any event has run.
    EXPECT_TRUE(form->Switches.Photo.load());
    EXPECT_TRUE(form->Switches.Power.load());
    EXPECT_FALSE(form->Switches.Alarm.load());
    EXPECT_FALSE(form->Switches.Log.load());
}

TEST_F(StartupTest, PowerMarkOnlyForAPowerAction)
{
    for (const auto& [stored, checked] : std::vector<std::pair<std::string, bool>>{
             {"0", false}, {"-1", false}, {"-7", false}, {"6", false}, {"99", false}, {"2147483647", false},
             {"1", true}, {"3", true}, {"5", true}}) {
        WriteSettings({"[Ruch]", "Tryb pracy=" + stored});
        TfmMainForm* form = Start();
        EXPECT_EQ(form->Przecztrybpracykomputera1->isChecked(), checked) << stored;
        form_.reset();
    }
}

TEST_F(StartupTest, StoredSensitivityIsBroughtIntoRange)
{
    const std::vector<std::tuple<std::string, int, int>> cases = {
        {"300", 255, 0}, {"-5", 0, 255}, {"0x1F", 31, 224}, {"abc", 150, 105}};
    for (const auto& [stored, position, threshold] : cases) {
        WriteSettings({"[Ruch]", "Czulosc=" + stored});
        TfmMainForm* form = Start();
        EXPECT_EQ(form->TrackBar1->value(), position) << stored;
        EXPECT_EQ(form->Detection.Threshold.load(), threshold) << stored;
        EXPECT_EQ(form->Label1->text(), QStringLiteral("Czułość: %1").arg(position)) << stored;
        form_.reset();
    }
}

// The slider is laid out at 210, so a stored 210 moves nothing; Threshold
// and the label still follow the position (40 would be the sensitivity 215).
TEST_F(StartupTest, StoredSensitivityEqualToTheLayoutStillSetsThreshold)
{
    WriteSettings({"[Ruch]", "Czulosc=210"});
    TfmMainForm* form = Start();
    EXPECT_EQ(form->TrackBar1->value(), 210);
    EXPECT_EQ(form->Detection.Threshold.load(), 45);
    EXPECT_EQ(form->Label1->text(), "Czułość: 210");
}

TEST_F(StartupTest, WindowPositionOnlyWhenRemembered)
{
    WriteSettings({"[Ogolne]", "Zapamietaj pozycje okna=0", "Pozycja X=5", "Pozycja Y=9"});
    TfmMainForm* form = Start();
    EXPECT_EQ(form->pos(), QPoint(480, 266));
    EXPECT_FALSE(form->Zapamitajpozycjokna1->isChecked());
    // The position is written at every close all the same.
    form->move(300, 200);
    ASSERT_TRUE(CloseForm());
    EXPECT_NE(SettingsText().find("Pozycja X=300\r\nPozycja Y=200\r\n"), std::string::npos);
}

TEST_F(StartupTest, AStoredPositionNearTheScreenEdgeSnapsToIt)
{
    WriteSettings({"[Ogolne]", "Pozycja X=5", "Pozycja Y=14"});
    TfmMainForm* form = Start();
    EXPECT_EQ(form->pos(), QPoint(0, 0));
}

TEST_F(StartupTest, DashTStartsInTheTray)
{
    TfmMainForm* form = Start("-t", /*trayAvailable=*/true);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->Tray()->IsInTray());
    EXPECT_EQ(sounds_, QStringList({"window-minimized"}));
    ASSERT_TRUE(CloseForm());
    EXPECT_FALSE(form->Tray()->IsInTray());
}

TEST_F(StartupTest, ALeftPressOnTheIconBringsTheRunningWindowBack)
{
    UseClips(1);
    WriteSettings({"[Ogolne]", "Ostatnie urzadzenie=0"});
    TfmMainForm* form = Start("-t", /*trayAvailable=*/true);
    ASSERT_TRUE(form->FilterGraph->Active());
    QSystemTrayIcon* icon = form->Tray()->Icon();
    ASSERT_NE(icon, nullptr);
    emit icon->activated(QSystemTrayIcon::Context);
    emit icon->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(form->isVisible());
    emit icon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->Tray()->IsInTray());
    EXPECT_EQ(sounds_, QStringList({"window-minimized", "window-unminimized"}));
    // The graph was paused and run again: frames keep coming.
    const auto delivered = form->SampleGrabber->DeliveredFrames();
    EXPECT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() > delivered + 2; }));
}

TEST_F(StartupTest, TrayOptionStartsInTheTray)
{
    WriteSettings({"[Ruch]", "Minimalizuj do Traya=1"});
    TfmMainForm* form = Start({}, /*trayAvailable=*/true);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->Tray()->IsInTray());
    EXPECT_TRUE(form->MinimalizujdoTraya1->isChecked());
}

TEST_F(StartupTest, OnlyAnExactDashTCounts)
{
    for (const QString& argument : {QString("-T"), QString("/t"), QString("-t "), QString("--t")}) {
        TfmMainForm* form = Start(argument, /*trayAvailable=*/true);
        EXPECT_TRUE(form->isVisible()) << argument.toStdString();
        EXPECT_FALSE(form->Tray()->IsInTray());
        form_.reset();
    }
    EXPECT_TRUE(sounds_.isEmpty());
}

TEST_F(StartupTest, WithoutATrayHostDashTMinimisesNormally)
{
    TfmMainForm* form = Start("-t", /*trayAvailable=*/false);
    EXPECT_FALSE(form->Tray()->IsInTray());
    EXPECT_TRUE(form->isMinimized());
}

TEST_F(StartupTest, AutostartMarkSaysWhetherTheEntryExists)
{
    const std::filesystem::path autostart = dir_.Path() / "config" / "autostart";
    std::filesystem::create_directories(autostart);
    WriteFileBytes((autostart / "quisk-motion-detector.desktop").string(), "[Desktop Entry]\n");
    TfmMainForm* form = Start();
    EXPECT_TRUE(form->Uruchamiajprzystarciesystemu1->isChecked());
}

TEST_F(StartupTest, CloseReleasesTheCaptureAndSavesInCrLfLines)
{
    WriteSettings({"[Ruch]", "Czulosc=77", "; own comment", "[Ogolne]", "Zapamietaj pozycje okna=1"});
    TfmMainForm* form = Start();
    form->TrackBar1->setValue(120);
    ASSERT_TRUE(CloseForm());
    EXPECT_EQ(form->DeviceEnum, nullptr);
    EXPECT_FALSE(form->FilterGraph->Active());
    EXPECT_EQ(SettingsText(), "[Ruch]\r\nCzulosc=120\r\n; own comment\r\n[Ogolne]\r\nZapamietaj pozycje okna=1\r\n"
                              "Pozycja X=480\r\nPozycja Y=266\r\n");
}

TEST_F(StartupTest, WriteProtectedSettingsKeepTheWindowOpen)
{
    UseClips(1);
    WriteSettings({"[Ruch]", "Czulosc=99", "[Ogolne]", "Ostatnie urzadzenie=0"});
    TfmMainForm* form = Start();
    ASSERT_TRUE(form->FilterGraph->Active());
    const std::string before = SettingsText();
    std::filesystem::permissions(SettingsPath(), std::filesystem::perms::owner_read);
    {
        const auto boxes = AcceptMessageBoxes();
        EXPECT_FALSE(CloseForm());
        ASSERT_EQ(boxes->Answered(), 1);
        EXPECT_EQ(boxes->Texts().value(0), QString::fromStdString("Unable to write to " + SettingsPath() + "."));
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->FilterGraph->Active());
    EXPECT_EQ(SettingsText(), before);

    // The device list was released by the first close: a device chosen now
    // and a second close work without it.
    std::filesystem::permissions(SettingsPath(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    form->Devices->actions().value(0)->trigger();
    EXPECT_TRUE(form->FilterGraph->Active());
    ASSERT_TRUE(CloseForm());
    EXPECT_NE(SettingsText().find("Czulosc=99\r\n"), std::string::npos);
}

}  // namespace
}  // namespace qmd::test
