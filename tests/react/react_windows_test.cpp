// The reaction windows under Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <thread>

#include "base/app_dir.h"
#include "base/settings_file.h"
#include "react/autostart_window.h"
#include "react/core/start_list_file.h"
#include "react/informacja_window.h"
#include "react/modal_helpers.h"
#include "react/tryb_pracy_window.h"
#include "support/temp_dir.h"

namespace qmd {
namespace {

using Entries = std::vector<std::string>;

// Closes the next message box and keeps its caption and text.
void CloseNextMessageBox(QString* caption, QString* text)
{
    test::WhenShown<QMessageBox>([caption, text](QMessageBox* box) {
        *caption = box->windowTitle();
        *text = box->text();
        box->accept();
    });
}

class WindowTest : public testing::Test {
protected:
    WindowTest()
    {
        SetAppDir(dir.Path().string());
        mark.setCheckable(true);
    }
    std::string ListPath() const { return dir.File("start_list.txt"); }
    std::string Settings() const { return dir.File("ustawienia.ini"); }

    test::TempDir dir;
    QAction mark{QStringLiteral("mark")};
};

// --- program list window -----------------------------------------------------

using AutostartTest = WindowTest;

TEST_F(AutostartTest, LayoutAndCaptions)
{
    TfmAutostart window(&mark);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Lista programów uruchamianych po wykryciu ruchu"));
    EXPECT_EQ(window.size(), QSize(441, 129));
    EXPECT_EQ(window.StartList->geometry(), QRect(8, 8, 329, 113));
    EXPECT_EQ(window.StartList->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(window.Button1->text(), QStringLiteral("Dodaj program"));
    EXPECT_EQ(window.Button2->text(), QStringLiteral("Usuń program"));
    EXPECT_EQ(window.Button3->text(), QStringLiteral("OK"));
    EXPECT_EQ(window.Button3->geometry(), QRect(344, 96, 89, 25));
    EXPECT_EQ(window.OpenProgram.QtFilter(), QStringLiteral("Programy (*)"));
}

TEST_F(AutostartTest, MissingFileGivesEmptyListAndNoMark)
{
    mark.setChecked(true);
    TfmAutostart window(&mark);
    EXPECT_EQ(window.StartList->count(), 0);
    EXPECT_FALSE(mark.isChecked());
    EXPECT_EQ(window.Programs().Snapshot(), Entries{});
}

TEST_F(AutostartTest, LoadsByTheReadingRulesAndSetsTheMark)
{
    test::WriteFileBytes(ListPath(), std::string("A\nB\r\n\r\nC\0D", 11));
    TfmAutostart window(&mark);
    EXPECT_TRUE(mark.isChecked());
    EXPECT_EQ(window.Entries(), (Entries{"A", "B", "", "C"}));
    EXPECT_EQ(window.Programs().Snapshot(), (Entries{"A", "B", "", "C"}));
}

TEST_F(AutostartTest, OkWritesCrLfAndEmptyListWritesZeroBytes)
{
    test::WriteFileBytes(ListPath(), "A\nB");
    TfmAutostart window(&mark);
    window.show();
    window.Button3->click();
    EXPECT_EQ(test::ReadFileBytes(ListPath()), "A\r\nB\r\n");
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(mark.isChecked());

    window.show();
    window.Button2->click();
    window.Button2->click();
    window.Button3->click();
    EXPECT_EQ(test::ReadFileBytes(ListPath()), "");
    EXPECT_FALSE(mark.isChecked());
}

TEST_F(AutostartTest, RemoveTakesTheFocusedEntryOnly)
{
    test::WriteFileBytes(ListPath(), "A\r\nB\r\nC\r\nD\r\n");
    TfmAutostart window(&mark);
    window.Button2->click();  // focus not moved since loading: the first entry
    EXPECT_EQ(window.Entries(), (Entries{"B", "C", "D"}));

    // Entries 2 and 3 selected, the focus on entry 3.
    auto* selection = window.StartList->selectionModel();
    selection->clearSelection();
    selection->select(window.StartList->model()->index(1, 0), QItemSelectionModel::Select);
    selection->setCurrentIndex(window.StartList->model()->index(2, 0), QItemSelectionModel::Select);
    window.Button2->click();
    EXPECT_EQ(window.Entries(), (Entries{"B", "C"}));
    EXPECT_EQ(window.Programs().Snapshot(), (Entries{"B", "C"}));

    window.Button2->click();
    window.Button2->click();
    window.Button2->click();  // empty: nothing happens
    EXPECT_EQ(window.StartList->count(), 0);
}

TEST_F(AutostartTest, CloseBoxKeepsTheLiveListUnsaved)
{
    test::WriteFileBytes(ListPath(), "A\r\n");
    TfmAutostart window(&mark);
    window.show();
    window.Button2->click();
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(mark.isChecked());
    EXPECT_EQ(test::ReadFileBytes(ListPath()), "A\r\n");
    EXPECT_EQ(window.Programs().Snapshot(), Entries{});
}

TEST_F(AutostartTest, AddProgramAppendsTheChosenFileAndCancelChangesNothing)
{
    TfmAutostart window(&mark);
    const std::string program = dir.File("my program");
    test::WriteFileBytes(program, "");
    test::WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        test::TypeFileName(dialog, program);
        test::Accept(dialog);
    });
    window.Button1->click();
    test::WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    window.Button1->click();
    EXPECT_EQ(window.Entries(), Entries{program});
    EXPECT_EQ(window.OpenProgram.FileName(), QString::fromStdString(program));

    // Adding to an empty list and closing with the close box leaves the mark off.
    EXPECT_FALSE(mark.isChecked());
    window.close();
    EXPECT_FALSE(mark.isChecked());
}

TEST_F(AutostartTest, InvalidUtf8AndLongLinesRoundTrip)
{
    const std::string bytes = "bad \xff\xfe\xc3 name\r\n" + std::string(10 << 20, 'y') + "\r\nok\r\n";
    test::WriteFileBytes(ListPath(), bytes);
    TfmAutostart window(&mark);
    window.show();
    QApplication::processEvents();
    window.Button3->click();
    EXPECT_EQ(test::ReadFileBytes(ListPath()), bytes);
}

TEST_F(AutostartTest, UnreadableFileShowsTheErrorAndStartsEmpty)
{
    std::filesystem::create_directory(ListPath());  // exists, cannot be read as a file
    mark.setChecked(true);
    QString caption, text;
    CloseNextMessageBox(&caption, &text);
    TfmAutostart window(&mark);
    EXPECT_EQ(text, QString::fromStdString("Cannot open file " + ListPath() + "."));
    EXPECT_EQ(caption, QStringLiteral("Quisk Motion Detector"));
    EXPECT_EQ(window.StartList->count(), 0);
    EXPECT_FALSE(mark.isChecked());
}

TEST_F(AutostartTest, UncreatableFileKeepsWindowAndMark)
{
    test::WriteFileBytes(ListPath(), "A\r\n");
    TfmAutostart window(&mark);
    window.show();
    window.Button2->click();
    SetAppDir(dir.File("gone"));
    QString caption, text;
    CloseNextMessageBox(&caption, &text);
    window.Button3->click();
    EXPECT_EQ(text, QString::fromStdString("Cannot create file " + dir.File("gone") + "/start_list.txt."));
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(mark.isChecked());
}

TEST_F(AutostartTest, EnterAndEscapeDoNotClose)
{
    TfmAutostart window(&mark);
    window.show();
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
}

// --- power action window -----------------------------------------------------

class TrybPracyTest : public WindowTest {
protected:
    void Store(int value)
    {
        SettingsFile settings(Settings());
        settings.WriteInteger("Ruch", "Tryb pracy", value);
    }
    int Stored() const { return SettingsFile(Settings()).ReadInteger("Ruch", "Tryb pracy", 12345); }
};

TEST_F(TrybPracyTest, LayoutAndItems)
{
    TfmTrybPracy window(&mark);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Przełącz tryb pracy komputera"));
    EXPECT_EQ(window.size(), QSize(301, 199));
    EXPECT_EQ(window.tryb->geometry(), QRect(16, 8, 273, 153));
    EXPECT_EQ(window.tryb->title(), QStringLiteral("Po wykryciu ruchu przełącz tryb pracy komputera"));
    EXPECT_EQ(window.Button1->geometry(), QRect(112, 168, 89, 25));
    const char* items[] = {"Nie rób nic", "Stan uśpienia", "Hibernuj", "Wyloguj", "Wyłącz", "Uruchom ponownie"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(window.trybButtons->button(i)->text(), QString::fromUtf8(items[i]));
}

TEST_F(TrybPracyTest, FirstRunHasNoSelectionAndOkStoresMinusOne)
{
    mark.setChecked(true);
    TfmTrybPracy window(&mark);
    EXPECT_EQ(window.LiveIndex().load(), -1);
    EXPECT_EQ(window.trybButtons->checkedId(), -1);
    window.show();
    window.Button1->click();
    EXPECT_EQ(Stored(), -1);
    EXPECT_FALSE(mark.isChecked());
    EXPECT_FALSE(window.isVisible());
}

// A value the program never writes (a damaged or hand-edited file) chooses
// nothing: bounding it to "Uruchom ponownie" rebooted the machine at the
// first motion.
TEST_F(TrybPracyTest, StoredValuesOutsideTheItemsChooseNothing)
{
    for (const auto& [stored, expected] :
         {std::pair{-5, -1}, {6, -1}, {7, -1}, {99, -1}, {2147483647, -1}, {5, 5}, {3, 3}, {0, 0}}) {
        SCOPED_TRACE(stored);
        Store(stored);
        TfmTrybPracy window(&mark);
        EXPECT_EQ(window.LiveIndex().load(), expected);
        EXPECT_EQ(window.trybButtons->checkedId(), expected);
    }
}

TEST_F(TrybPracyTest, OkStoresTheChoiceAndSetsTheMark)
{
    TfmTrybPracy window(&mark);
    window.show();
    window.trybButtons->button(4)->click();  // "Wyłącz"
    window.Button1->click();
    EXPECT_EQ(Stored(), 4);
    EXPECT_TRUE(mark.isChecked());

    window.show();
    window.trybButtons->button(0)->click();  // "Nie rób nic"
    window.Button1->click();
    EXPECT_EQ(Stored(), 0);
    EXPECT_FALSE(mark.isChecked());
}

TEST_F(TrybPracyTest, CloseBoxKeepsTheLiveIndexOnly)
{
    Store(4);
    mark.setChecked(true);
    TfmTrybPracy window(&mark);
    window.show();
    window.trybButtons->button(2)->click();  // "Hibernuj"
    window.close();
    EXPECT_EQ(Stored(), 4);
    EXPECT_TRUE(mark.isChecked());
    EXPECT_EQ(window.LiveIndex().load(), 2);

    // Escape and Enter do not close either.
    window.show();
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(TrybPracyTest, UnwritableSettingsKeepWindowAndMark)
{
    TfmTrybPracy window(&mark);
    window.show();
    window.trybButtons->button(5)->click();
    std::filesystem::create_directory(Settings());  // in the way of the settings file
    QString caption, text;
    CloseNextMessageBox(&caption, &text);
    window.Button1->click();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Unable to write to "))) << text.toStdString();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(mark.isChecked());
}

TEST_F(TrybPracyTest, OpensCentredOverTheMainWindow)
{
    QMainWindow main;
    main.setGeometry(300, 200, 400, 300);
    main.show();
    TfmTrybPracy window(&mark);
    window.show();
    EXPECT_LE((window.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(), 2);
    TfmInformacja information;
    information.show();
    EXPECT_LE((information.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(), 2);
}

// --- information window ------------------------------------------------------

TEST(InformacjaWindow, LayoutAndPicture)
{
    TfmInformacja window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Informacja"));
    EXPECT_EQ(window.size(), QSize(592, 365));
    EXPECT_EQ(window.Image1->geometry(), QRect(8, 8, 129, 313));
    EXPECT_EQ(window.Info->geometry(), QRect(144, 8, 441, 313));
    EXPECT_TRUE(window.Info->isReadOnly());
    EXPECT_EQ(window.Info->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_TRUE(window.Info->font().bold());
    EXPECT_EQ(window.Info->font().pixelSize(), 27);
    EXPECT_EQ(window.SpeedButton1->geometry(), QRect(288, 328, 161, 33));
    EXPECT_EQ(window.SpeedButton1->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(Qt::white));

    const QImage picture = ExclamationPicture();
    EXPECT_EQ(picture.size(), QSize(100, 200));
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(picture.pixelColor(99, 199), QColor(Qt::white));
    const QColor bar = picture.pixelColor(50, 60);
    const QColor dot = picture.pixelColor(50, 168);
    for (const QColor& c : {bar, dot}) {
        EXPECT_GT(c.red(), 180);
        EXPECT_LT(c.green(), 60);
        EXPECT_LT(c.blue(), 60);
    }
    EXPECT_EQ(picture.pixelColor(50, 148), QColor(Qt::white));  // the gap between bar and dot
}

TEST(InformacjaWindow, OkAndCloseBoxCloseButEnterAndEscapeDoNot)
{
    TfmInformacja window;
    window.show();
    QTest::keyClick(window.Info, Qt::Key_Escape);
    QTest::keyClick(window.Info, Qt::Key_Return);
    QTest::keyClick(&window, Qt::Key_Enter);
    EXPECT_TRUE(window.isVisible());
    window.SpeedButton1->click();
    EXPECT_FALSE(window.isVisible());
    window.show();
    window.close();
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace qmd
