// The five windows together: created in order, detections of the running
// program logged, and the end reached cleanly from every state.
#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>

#include <atomic>
#include <mutex>
#include <vector>

#include "capture/graph/filter_graph.h"
#include "capture/grabber/sample_grabber.h"
#include "capture/format_window/format_window.h"
#include "react/autostart_window.h"
#include "react/core/motion_reactions.h"
#include "react/informacja_window.h"
#include "react/tryb_pracy_window.h"
#include "shell/program_windows.h"
#include "shell_test_support.h"

namespace qmd::test {
namespace {

class SilentAudio : public AudioOutput {
public:
    void PlayTones(std::span<const Tone> played, const std::function<bool()>&) override
    {
        tones += static_cast<int>(played.size());
    }
    bool PlayWaveFileAsync(const std::string&) override { return true; }
    void PlayEventSound(const std::string&) override {}
    std::atomic<int> tones{0};
};

class RecordingPower : public PowerManager {
public:
    void Suspend() override { Record("Suspend"); }
    void Hibernate() override { Record("Hibernate"); }
    void LogOff() override { Record("LogOff"); }
    void PowerOff() override { Record("PowerOff"); }
    void Reboot() override { Record("Reboot"); }
    std::vector<std::string> Calls()
    {
        const std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    void Record(const char* call)
    {
        const std::lock_guard lock(mutex_);
        calls_.push_back(call);
    }
    std::mutex mutex_;
    std::vector<std::string> calls_;
};

class NoLauncher : public Launcher {
public:
    bool Open(const std::string&) override { return true; }
};

class ProgramWindowsTest : public MainFormTest {
protected:
    std::unique_ptr<ProgramWindows> StartProgram()
    {
        auto windows = std::make_unique<ProgramWindows>(
            TfmMainForm::Options{.FirstArgument = {}, .PlayEventSound = {}, .TrayAvailable = [] { return false; }},
            [this](ReactionDependencies& dependencies) {
                dependencies.Audio = &audio_;
                dependencies.Power = &power_;
                dependencies.Opener = &launcher_;
            });
        return windows;
    }
    std::string LogText() const
    {
        return std::filesystem::exists(dir_.File("Dziennik.log")) ? ReadFileBytes(dir_.File("Dziennik.log")) : "";
    }

    SilentAudio audio_;
    RecordingPower power_;
    NoLauncher launcher_;
};

TEST_F(ProgramWindowsTest, CreatesTheFiveWindowsInOrder)
{
    WriteSettings({"[Ruch]", "Tryb pracy=2"});
    auto windows = StartProgram();
    EXPECT_EQ(fmMainForm, windows->MainForm());
    ASSERT_NE(fmAutostart, nullptr);
    ASSERT_NE(fmInformacja, nullptr);
    ASSERT_NE(fmTrybPracy, nullptr);
    ASSERT_NE(fmZmienRozdzielczosc, nullptr);
    EXPECT_TRUE(fmMainForm->isVisible());
    EXPECT_FALSE(fmAutostart->isVisible());
    EXPECT_FALSE(fmInformacja->isVisible());
    EXPECT_FALSE(fmTrybPracy->isVisible());
    EXPECT_FALSE(fmZmienRozdzielczosc->isVisible());
    // The power window read its stored index after the main window's start-up.
    EXPECT_EQ(fmTrybPracy->ItemIndex(), 2);
    EXPECT_TRUE(fmMainForm->Przecztrybpracykomputera1->isChecked());
    windows.reset();
    EXPECT_EQ(fmMainForm, nullptr);
    EXPECT_EQ(fmAutostart, nullptr);
}

TEST_F(ProgramWindowsTest, DetectionsOfTheRunningProgramAreLogged)
{
    UseClips(1);
    WriteSettings({"[Ruch]", "Alarm=0", "[Ogolne]", "Opoznienie wykrywania=0", "Ostatnie urzadzenie=0"});
    auto windows = StartProgram();
    ASSERT_TRUE(windows->MainForm()->FilterGraph->Active());
    ASSERT_TRUE(WaitUntil([&] { return LogText().size() > 200; }));
    windows.reset();
    const std::string log = LogText();
    const QRegularExpression line(QStringLiteral("^Wykryto ruch dnia \\d{1,2}\\.\\d{1,2}\\.\\d{4} o godzinie "
                                                 "\\d{1,2}:\\d{1,2}:\\d{1,2} \\(\\d{1,3} ms\\)$"));
    const QStringList lines = QString::fromStdString(log).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines.last().isEmpty()) << "every line ends in CR LF";
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(line.match(lines[i]).hasMatch()) << lines[i].toStdString();
    EXPECT_EQ(audio_.tones.load(), 0);
}

TEST_F(ProgramWindowsTest, ThePowerActionClosesTheProgramInOrder)
{
    UseClips(1);
    WriteSettings({"[Ruch]", "Alarm=0", "Tryb pracy=4", "Czulosc=123", "[Ogolne]", "Opoznienie wykrywania=0",
                   "Ostatnie urzadzenie=0"});
    auto windows = StartProgram();
    bool closed = false;
    QObject::connect(windows->MainForm(), &TfmMainForm::Closed, [&closed] { closed = true; });
    ASSERT_TRUE(WaitUntil([&] { return closed; }));
    EXPECT_FALSE(windows->MainForm()->FilterGraph->Active());
    windows.reset();
    const std::vector<std::string> calls = power_.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "PowerOff");
    EXPECT_NE(SettingsText().find("Czulosc=123\r\n"), std::string::npos);
    EXPECT_NE(LogText().find("Wykryto ruch dnia "), std::string::npos);
}

TEST_F(ProgramWindowsTest, EndsCleanlyWhileTheInformationWindowWaits)
{
    UseClips(1);
    WriteSettings({"[Ruch]", "Alarm=0", "Informacja=Ruch w kadrze", "[Ogolne]", "Opoznienie wykrywania=0",
                   "Ostatnie urzadzenie=0"});
    auto windows = StartProgram();
    ASSERT_TRUE(windows->MainForm()->Wywietlinformacj1->isChecked());
    ProgramWindows* program = windows.get();
    bool sawInformation = false;
    // The information window is modal on the GUI thread while the frame
    // cycle waits for it; the program ends from inside that wait.
    ModalAnswerer answer([&](QWidget* modal) {
        sawInformation = modal == fmInformacja;
        program->Shutdown();
    });
    ASSERT_TRUE(WaitUntil([&] { return sawInformation; }));
    windows.reset();
}

TEST_F(ProgramWindowsTest, FormatCommandRendersTheStreamAgain)
{
    UseClips(1);
    WriteSettings({"[Ruch]", "Alarm=0", "Prowadz dziennik=0", "[Ogolne]", "Ostatnie urzadzenie=0"});
    auto windows = StartProgram();
    TfmMainForm* form = windows->MainForm();
    ASSERT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() > 0; }));
    bool sawFormatWindow = false;
    {
        ModalAnswerer answer([&](QWidget* modal) {
            sawFormatWindow = modal == fmZmienRozdzielczosc;
            modal->close();
        });
        form->Zmierozdzielczo1->trigger();
    }
    EXPECT_TRUE(sawFormatWindow);
    EXPECT_TRUE(form->FilterGraph->Active());
    const auto delivered = form->SampleGrabber->DeliveredFrames();
    EXPECT_TRUE(WaitUntil([&] { return form->SampleGrabber->DeliveredFrames() > delivered + 3; }));

    // The session ends while the window is open: the command must not open
    // the camera again that the close has just released.
    {
        ModalAnswerer answer([&](QWidget* modal) {
            form->CloseForSessionEnd();
            modal->close();
        });
        form->Zmierozdzielczo1->trigger();
    }
    EXPECT_FALSE(form->FilterGraph->Active());
}

TEST_F(ProgramWindowsTest, AFailureWhileTheWindowsAreMadeIsReportedNotFatal)
{
    const auto boxes = AcceptMessageBoxes();
    const auto windows = BuildProgramWindows(
        TfmMainForm::Options{.FirstArgument = {}, .PlayEventSound = {}, .TrayAvailable = [] { return false; }},
        [](ReactionDependencies&) { throw std::runtime_error("no room for the reactions"); });
    EXPECT_EQ(windows, nullptr);
    EXPECT_EQ(boxes->Texts(), QStringList{"no room for the reactions."});
    EXPECT_EQ(fmMainForm, nullptr);
    EXPECT_EQ(fmZmienRozdzielczosc, nullptr);
}

TEST_F(ProgramWindowsTest, FormatCommandWithoutADeviceReportsIt)
{
    auto windows = StartProgram();
    QStringList texts;
    {
        ModalAnswerer answer([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) texts << box->text();
            modal->close();
        });
        windows->MainForm()->Zmierozdzielczo1->trigger();
    }
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.last(), "Interface not supported.");
}

}  // namespace
}  // namespace qmd::test
