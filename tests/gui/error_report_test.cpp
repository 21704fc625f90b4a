// The application's error report on Qt's offscreen platform: the message box
// it shows, the closing full stop it adds, and RunCommand's catch.
#include "common/quisk_error.h"
#include "gui/error_report.h"
#include "gui/full_stop.h"
#include "support/error_box_catcher.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <string>

namespace qmd {
namespace {

using test::ErrorBoxCatcher;

// --- Full stop -------------------------------------------------------------

std::string Stop(const char* utf8) { return WithClosingFullStop(QString::fromUtf8(utf8)).toStdString(); }

TEST(ClosingFullStop, AppendedOnlyAfterCharactersSortingAboveTheFullStop)
{
    EXPECT_EQ(Stop("Unable to write to /home/u/ustawienia.ini"), "Unable to write to /home/u/ustawienia.ini.");
    EXPECT_EQ(Stop("Interface not supported"), "Interface not supported.");
    EXPECT_EQ(Stop("Cannot open file /tmp/x/"), "Cannot open file /tmp/x/.");  // '/' sorts after '.'
    EXPECT_EQ(Stop("Wartość 7"), "Wartość 7.");
    EXPECT_EQ(Stop("Brak pamięć"), "Brak pamięć.");
    EXPECT_EQ(Stop("Kamera \U0001F4F7"), "Kamera \U0001F4F7.");
    // The quote, '!', ')' and '-' sort at or below the full stop: kept as they are.
    EXPECT_EQ(Stop("Failed to set data for 'Quisk Motion Detector'"), "Failed to set data for 'Quisk Motion Detector'");
    EXPECT_EQ(Stop("Urządzenie zajęte ($80040217)."), "Urządzenie zajęte ($80040217).");
    EXPECT_EQ(Stop("Nie mogę!"), "Nie mogę!");
    EXPECT_EQ(Stop("(zero)"), "(zero)");
    EXPECT_EQ(Stop("Koniec -"), "Koniec -");
    EXPECT_EQ(Stop(""), "");
}

// --- Error box -------------------------------------------------------------

TEST(ErrorReport, ShowsTheMessageWithItsFullStopInACriticalBoxTitledWithTheProgram)
{
    ErrorBoxCatcher catcher;
    QWidget window;
    ReportApplicationError(&window, QStringLiteral("Unable to write to /home/ola/ustawienia.ini"));
    ReportApplicationError(&window, QuiskError("Failed to set data for 'Quisk Motion Detector'"));
    ASSERT_EQ(catcher.Shown().size(), 2u);
    const auto& first = catcher.Shown()[0];
    EXPECT_EQ(first.title, "Quisk Motion Detector");
    EXPECT_EQ(first.text, "Unable to write to /home/ola/ustawienia.ini.");
    EXPECT_EQ(first.icon, QMessageBox::Critical);
    EXPECT_EQ(first.buttons, QMessageBox::Ok);
    EXPECT_EQ(catcher.Shown()[1].text, "Failed to set data for 'Quisk Motion Detector'");
}

TEST(ErrorReport, RunCommandReportsWhatLeavesTheCommandAndGoesOn)
{
    ErrorBoxCatcher catcher;
    QWidget window;
    int finished = 0;
    RunCommand(&window, [&] { ++finished; });
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(catcher.Shown().empty());

    RunCommand(&window, [] { throw QuiskError("Nie można zapisać pliku zdjęcia"); });
    RunCommand(&window, [] { throw 42; });
    ASSERT_EQ(catcher.Shown().size(), 2u);
    EXPECT_EQ(catcher.Shown()[0].text, QString::fromUtf8("Nie można zapisać pliku zdjęcia."));
    EXPECT_EQ(catcher.Shown()[1].text, "Unknown error.");
}

}  // namespace
}  // namespace qmd
