// The main window's reaction configuration commands, with the program's real
// windows, on a settings file in a temporary AppDir.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "base/app_dir.h"
#include "base/settings_file.h"
#include "react/autostart_window.h"
#include "react/core/motion_reactions.h"
#include "react/modal_helpers.h"
#include "react/tryb_pracy_window.h"
#include "shell/clip_settings_window.h"
#include "shell/program_windows.h"
#include "support/temp_dir.h"

namespace qmd {
namespace {

namespace fs = std::filesystem;

class ReactionCommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetAppDir(dir.Path().string());
        windows = std::make_unique<ProgramWindows>(TfmMainForm::Options{});
        main = windows->MainForm();
    }
    void TearDown() override { windows.reset(); }

    std::string Stored(const char* key) const
    {
        return SettingsFile(dir.File("ustawienia.ini")).ReadString("Ruch", key, "<missing>");
    }

    test::TempDir dir;
    std::unique_ptr<ProgramWindows> windows;
    TfmMainForm* main = nullptr;
};

TEST_F(ReactionCommandsTest, SelfTogglingItemsStoreTheirNewState)
{
    main->Uruchomalarm1->setChecked(false);
    main->Uruchomalarm1Click();
    EXPECT_EQ(Stored("Alarm"), "0");
    main->Uruchomalarm1->setChecked(true);
    main->Uruchomalarm1Click();
    EXPECT_EQ(Stored("Alarm"), "1");

    main->Dopiszdodziennika1->setChecked(false);
    main->Dopiszdodziennika1Click();
    EXPECT_EQ(Stored("Prowadz dziennik"), "0");
}

TEST_F(ReactionCommandsTest, PhotoFolderChosenOrCancelled)
{
    const std::string folder = dir.File("zdjęcia");
    fs::create_directory(folder);
    QString openedAt;
    QString title;
    test::WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        openedAt = dialog->directory().absolutePath();
        title = dialog->windowTitle();
        EXPECT_TRUE(dialog->selectedFiles().isEmpty() || dialog->selectedFiles().front() == openedAt);
        test::TypeFileName(dialog, folder);
        test::Accept(dialog);
    });
    main->Zrbzdjcie1Click();
    EXPECT_EQ(Stored("Zrob zdjecie"), folder);
    EXPECT_TRUE(main->Zrbzdjcie1->isChecked());
    // Nothing stored yet: the user's own folders, not the root.
    EXPECT_TRUE(openedAt == QDir::homePath() ||
                openedAt == QStandardPaths::writableLocation(QStandardPaths::PicturesLocation))
        << openedAt.toStdString();
    EXPECT_EQ(title, QStringLiteral("Wskaż katalog, w którym program ma zapisywać zdjęcia pochodzące z kamery."));

    // Opened where the photos go now; nothing is selected in it.
    test::WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        openedAt = dialog->directory().absolutePath();
        dialog->reject();
    });
    main->Zrbzdjcie1Click();
    EXPECT_EQ(openedAt, QString::fromStdString(folder));
    EXPECT_EQ(Stored("Zrob zdjecie"), "");
    EXPECT_FALSE(main->Zrbzdjcie1->isChecked());
}

// As the photo folder, then the clip's times and the folder's limit, stored
// on OK only.
TEST_F(ReactionCommandsTest, ClipFolderAndTimesChosenOrCancelled)
{
    const std::string folder = dir.File("filmy");
    fs::create_directory(folder);
    QString title;
    test::WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        test::TypeFileName(dialog, folder);
        test::Accept(dialog);
        test::WhenShown<ClipSettingsWindow>([](ClipSettingsWindow* window) {
            EXPECT_EQ(window->findChild<QSpinBox*>(QStringLiteral("FilmPrzedRuchem"))->value(), 3);
            EXPECT_EQ(window->findChild<QSpinBox*>(QStringLiteral("LimitFilmow"))->value(), 2048);
            window->findChild<QSpinBox*>(QStringLiteral("FilmPrzedRuchem"))->setValue(7);
            window->findChild<QSpinBox*>(QStringLiteral("FilmPoRuchu"))->setValue(12);
            window->findChild<QSpinBox*>(QStringLiteral("LimitFilmow"))->setValue(500);
            test::Accept(window);
        });
    });
    main->Nagrajfilm1Click();
    EXPECT_EQ(title, QStringLiteral("Wskaż katalog, w którym program ma zapisywać filmy z kamery."));
    EXPECT_EQ(Stored("Nagraj film"), folder);
    EXPECT_EQ(Stored("Film przed ruchem"), "7");
    EXPECT_EQ(Stored("Film po ruchu"), "12");
    EXPECT_EQ(Stored("Limit filmow"), "500");
    EXPECT_TRUE(main->Nagrajfilm1->isChecked());

    test::WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    main->Nagrajfilm1Click();
    EXPECT_EQ(Stored("Nagraj film"), "");
    EXPECT_EQ(Stored("Film po ruchu"), "12");
    EXPECT_FALSE(main->Nagrajfilm1->isChecked());
}

TEST_F(ReactionCommandsTest, InformationTextEnteredEmptyOrCancelled)
{
    int maxLength = 0;
    QString initial = QStringLiteral("not looked at");
    QString caption;
    test::WhenShown<QDialog>([&](QDialog* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>();
        caption = dialog->windowTitle();
        maxLength = edit->maxLength();
        initial = edit->text();
        edit->setText(QStringLiteral("Złodziej!"));
        QTest::keyClick(edit, Qt::Key_Return);  // OK is the default button
    });
    main->Wywietlinformacj1Click();
    EXPECT_EQ(caption, QStringLiteral("Wprowadź treść informacji"));
    EXPECT_EQ(maxLength, 255);
    EXPECT_EQ(initial, QString());
    EXPECT_EQ(Stored("Informacja"), "Złodziej!");
    EXPECT_TRUE(main->Wywietlinformacj1->isChecked());

    test::WhenShown<QDialog>([](QDialog* dialog) { test::Accept(dialog); });  // OK on an empty field
    main->Wywietlinformacj1Click();
    EXPECT_EQ(Stored("Informacja"), "");
    EXPECT_FALSE(main->Wywietlinformacj1->isChecked());

    main->Wywietlinformacj1->setChecked(true);
    test::WhenShown<QDialog>([](QDialog* dialog) {
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral("typed"));
        dialog->reject();
    });
    main->Wywietlinformacj1Click();
    EXPECT_EQ(Stored("Informacja"), "");
    EXPECT_FALSE(main->Wywietlinformacj1->isChecked());
}

TEST_F(ReactionCommandsTest, SoundFileRememberedAcrossCancel)
{
    test::WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    main->Odtwrzplikdwikowy1Click();
    EXPECT_EQ(Stored("Odtworz plik dzwiekowy"), "");
    EXPECT_FALSE(main->Odtwrzplikdwikowy1->isChecked());

    const std::string missing = dir.File("not there.wav");  // a typed name of a missing file is taken
    test::WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        test::TypeFileName(dialog, missing);
        test::Accept(dialog);
    });
    main->Odtwrzplikdwikowy1Click();
    EXPECT_EQ(Stored("Odtworz plik dzwiekowy"), missing);
    EXPECT_TRUE(main->Odtwrzplikdwikowy1->isChecked());

    QString offered;
    test::WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        offered = dialog->selectedFiles().value(0);
        dialog->reject();
    });
    main->Odtwrzplikdwikowy1Click();
    EXPECT_EQ(offered, QString::fromStdString(missing));
    EXPECT_EQ(Stored("Odtworz plik dzwiekowy"), missing);
    EXPECT_FALSE(main->Odtwrzplikdwikowy1->isChecked());
}

TEST_F(ReactionCommandsTest, ProgramListAndPowerWindowsOpenModally)
{
    bool listShown = false;
    test::WhenShown<TfmAutostart>([&](TfmAutostart* window) {
        listShown = window->isModal();
        window->Button3->click();
    });
    main->Uruchomprogramy1Click();
    EXPECT_TRUE(listShown);
    EXPECT_TRUE(fs::exists(dir.File("start_list.txt")));

    bool powerShown = false;
    test::WhenShown<TfmTrybPracy>([&](TfmTrybPracy* window) {
        powerShown = window->isModal();
        window->trybButtons->button(1)->click();
        window->Button1->click();
    });
    main->Przecztrybpracykomputera1Click();
    EXPECT_TRUE(powerShown);
    EXPECT_EQ(Stored("Tryb pracy"), "1");
    EXPECT_TRUE(main->Przecztrybpracykomputera1->isChecked());
}

TEST_F(ReactionCommandsTest, ShowLogWarnsWhenThereIsNone)
{
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    test::WhenShown<QMessageBox>([&](QMessageBox* box) {
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->accept();
    });
    main->Pokadziennik1Click();
    EXPECT_EQ(caption, QStringLiteral("Nie odnaleziono dziennika!"));
    EXPECT_EQ(text, QStringLiteral("Plik dziennika nie istnieje. Aby program prowadził dziennik, zaznacz opcję "
                                   "\"Dopisz do dziennika\" w submenu \"Gdy wykryjesz ruch\" (menu \"Opcje\")."));
    EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST_F(ReactionCommandsTest, ShowLogOpensItWithTheDesktopAssociation)
{
    test::WriteFileBytes(dir.File("Dziennik.log"), "Wykryto ruch\r\n");
    // A stand-in for xdg-open on PATH records what it was asked to open.
    const fs::path bin = dir.Path() / "bin";
    fs::create_directory(bin);
    const fs::path opened = dir.Path() / "opened";
    test::WriteFileBytes((bin / "xdg-open").string(), "#!/bin/sh\nprintf '%s' \"$1\" > '" + opened.string() +
                                                          ".tmp' && mv '" + opened.string() + ".tmp' '" +
                                                          opened.string() + "'\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (bin.string() + ":" + savedPath).c_str(), 1);
    main->Pokadziennik1Click();
    ::setenv("PATH", savedPath.c_str(), 1);
    bool seen = false;
    for (int i = 0; i < 2000 && !seen; ++i) {
        seen = fs::exists(opened);
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(seen);
    EXPECT_EQ(test::ReadFileBytes(opened.string()), dir.File("Dziennik.log"));
}

}  // namespace
}  // namespace qmd
