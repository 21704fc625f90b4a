// The main window as the user sees it: layout and anchors, the menu tree with
// its check behaviour, F8, the slider with its label, the delay dialog and
// the options that only store a setting.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "base/app_dir.h"
#include "base/program_version.h"
#include "capture/graph/filter_graph.h"
#include "capture/video_window.h"
#include "shell/anchor_layout.h"
#include "shell/selection_slider.h"
#include "shell_test_support.h"

namespace qmd::test {
namespace {

using WindowTest = MainFormTest;

QStringList Captions(const QMenu* menu)
{
    QStringList captions;
    for (const QAction* action : menu->actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return captions;
}

TEST_F(WindowTest, LaysOutTheDesignedWindow)
{
    TfmMainForm* form = Start();
    EXPECT_EQ(form->windowTitle(), "Quisk Motion Detector");
    EXPECT_EQ(form->pos(), QPoint(480, 266));
    ASSERT_TRUE(WaitUntil([&] { return form->centralWidget()->size() == QSize(307, 285); }))
        << form->centralWidget()->width() << "x" << form->centralWidget()->height();
    EXPECT_EQ(form->VideoWindow->geometry(), QRect(0, 0, 306, 229));
    EXPECT_EQ(form->Label1->geometry(), QRect(32, 240, 241, 13));
    EXPECT_EQ(form->TrackBar1->geometry(), QRect(24, 256, 257, 25));
    EXPECT_EQ(form->Label1->alignment(), Qt::AlignCenter);

    const SelectionSlider* slider = form->TrackBar1;
    EXPECT_EQ(slider->orientation(), Qt::Horizontal);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 255);
    EXPECT_EQ(slider->tickPosition(), QSlider::TicksAbove);
    EXPECT_EQ(slider->tickInterval(), 25);
    EXPECT_EQ(slider->singleStep(), 1);
    EXPECT_EQ(slider->pageStep(), 2);
    EXPECT_EQ(slider->SelectionStart(), 130);
    EXPECT_EQ(slider->SelectionEnd(), 220);
}

TEST_F(WindowTest, GrowingTheWindowStretchesPictureLabelAndSlider)
{
    TfmMainForm* form = Start();
    ASSERT_TRUE(WaitUntil([&] { return form->centralWidget()->size() == QSize(307, 285); }));
    form->resize(form->size() + QSize(100, 100));
    ASSERT_TRUE(WaitUntil([&] { return form->centralWidget()->size() == QSize(407, 385); }));
    EXPECT_EQ(form->VideoWindow->geometry(), QRect(0, 0, 406, 329));
    EXPECT_EQ(form->Label1->geometry(), QRect(32, 340, 341, 13));
    EXPECT_EQ(form->TrackBar1->geometry(), QRect(24, 356, 357, 25));
}

TEST(AnchorLayoutTest, AnchorsKeepTheirDistances)
{
    const QSize design(307, 285);
    const QSize grown(407, 335);
    const QRect rect(24, 256, 257, 25);
    EXPECT_EQ(AnchorLayout::AnchoredGeometry(rect, Qt::LeftEdge | Qt::TopEdge, design, grown), rect);
    EXPECT_EQ(AnchorLayout::AnchoredGeometry(rect, Qt::RightEdge | Qt::BottomEdge, design, grown),
              QRect(124, 306, 257, 25));
    EXPECT_EQ(AnchorLayout::AnchoredGeometry(rect, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge, design, grown),
              QRect(24, 306, 357, 25));
    // Shrunk below the widget's own width: nothing left, never a negative size.
    EXPECT_EQ(AnchorLayout::AnchoredGeometry(rect, Qt::LeftEdge | Qt::RightEdge, design, QSize(20, 285)).width(), 0);
}

TEST(SelectionSliderTest, DrawsTheBandBetweenItsValues)
{
    SelectionSlider slider;
    slider.setRange(0, 255);
    slider.setTickPosition(QSlider::TicksAbove);
    slider.resize(257, 25);
    slider.setValue(0);
    slider.SetSelection(130, 220);
    const QRect band = slider.SelectionRect();
    ASSERT_FALSE(band.isEmpty());
    // Centred on the values' positions along the track: 130/255 and 220/255.
    EXPECT_NEAR(band.left(), 257 * 130 / 255, 16);
    EXPECT_NEAR(band.right(), 257 * 220 / 255, 16);

    const QImage image = slider.grab().toImage();
    const QColor highlight = slider.palette().color(QPalette::Highlight);
    const int y = band.center().y();
    EXPECT_EQ(image.pixelColor(band.center().x(), y), highlight);
    EXPECT_NE(image.pixelColor(band.left() - 20, y), highlight);
    EXPECT_NE(image.pixelColor(band.right() + 12, y), highlight);

    slider.SetSelection(0, 0);
    EXPECT_TRUE(slider.SelectionRect().isEmpty());
}

TEST_F(WindowTest, MenuTreeHasEveryCaptionInOrder)
{
    TfmMainForm* form = Start();
    QStringList top;
    for (const QAction* action : form->MainMenu1->actions()) top << action->text();
    EXPECT_EQ(top, QStringList({"Urządzenia", "Opcje", "Pomoc"}));
    EXPECT_EQ(
        Captions(form->Opcje1),
        QStringList({"Gdy wykryjesz ruch", "Opóźnienie po włączeniu wykrywania...", "Obszary bez wykrywania…",
                     "Ustawienia wykrywania…", "Resetuj pamięć", "-",
                     "Uruchamiaj przy starcie systemu", "Minimalizuj do Tray'a", "-", "Pokaż dziennik",
                     "Zapamiętuj ostatnio wybrane urządzenie", "Zapamiętaj pozycję okna", "-", "Zmień rozdzielczość"}));
    EXPECT_EQ(Captions(form->Gdywykryjeszruch1),
              QStringList({"Uruchom programy...", "Zrób zdjęcie...", "Uruchom alarm", "Odtwórz plik dźwiękowy...",
                           "Wyświetl informację...", "Przełącz tryb pracy komputera...", "Dopisz do dziennika",
                           "Pokaż powiadomienie", "Nagraj film..."}));
    EXPECT_EQ(Captions(form->Pomoc1), QStringList({"Jak korzystać z programu?", "O programie"}));
    EXPECT_TRUE(form->N1->isSeparator());
    EXPECT_TRUE(form->N2->isSeparator());
    EXPECT_TRUE(form->N3->isSeparator());
    EXPECT_EQ(form->Resetujpami1->shortcut(), QKeySequence(Qt::Key_F8));

    for (QAction* mark : {form->Uruchomprogramy1, form->Zrbzdjcie1, form->Uruchomalarm1, form->Odtwrzplikdwikowy1,
                          form->Wywietlinformacj1, form->Przecztrybpracykomputera1, form->Dopiszdodziennika1,
                          form->Pokapowiadomienie1, form->Nagrajfilm1, form->Uruchamiajprzystarciesystemu1,
                          form->MinimalizujdoTraya1,
                          form->Zapamitujostatniowybraneurzdzenie1, form->Zapamitajpozycjokna1})
        EXPECT_TRUE(mark->isCheckable()) << mark->text().toStdString();
    for (QAction* command : {form->Opnieniepowczeniuwykrywania1, form->Resetujpami1, form->Pokadziennik1,
                             form->Zmierozdzielczo1, form->Jakkorzystazprogramu1, form->Oprogramie1})
        EXPECT_FALSE(command->isCheckable()) << command->text().toStdString();
}

// Each item opens its own window, once, beside a main window that stays usable.
TEST_F(WindowTest, HelpItemsOpenTheGuideAndTheAboutWindow)
{
    TfmMainForm* form = Start();
    const auto shownBox = [](const QString& title) -> QMessageBox* {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box && box->isVisible() && box->windowTitle() == title) return box;
        }
        return nullptr;
    };
    form->Jakkorzystazprogramu1->trigger();
    form->Oprogramie1->trigger();
    form->Oprogramie1->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    const QMessageBox* guide = shownBox("Jak korzystać z programu?");
    ASSERT_NE(guide, nullptr);
    for (const char* topic : {"Urządzenia", "Czułość", "Gdy wykryjesz ruch", "F8", "zasobnik"})
        EXPECT_TRUE(guide->text().contains(QString::fromUtf8(topic), Qt::CaseInsensitive)) << topic;

    const QMessageBox* about = shownBox("O programie");
    ASSERT_NE(about, nullptr);
    const QString text = about->text();
    EXPECT_TRUE(text.contains("Quisk Motion Detector"));
    EXPECT_TRUE(text.contains(QString::fromLatin1(ProgramVersion())));
    EXPECT_TRUE(text.contains("Licencja"));
    for (const char* file : {"ustawienia.ini", "Dziennik.log", "start_list.txt"})
        EXPECT_TRUE(text.contains(QString::fromStdString(AppFile(file)).toHtmlEscaped())) << file;
    int aboutWindows = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->windowTitle() == "O programie") ++aboutWindows;
    EXPECT_EQ(aboutWindows, 1);
}

TEST_F(WindowTest, OpeningOptionsShowsTheDelayInTheCaption)
{
    WriteSettings({"[Ogolne]", "Opoznienie wykrywania=40"});
    TfmMainForm* form = Start();
    EXPECT_EQ(form->Opnieniepowczeniuwykrywania1->text(), "Opóźnienie po włączeniu wykrywania...");
    form->Opcje1->popup(form->mapToGlobal(QPoint(0, 0)));
    EXPECT_EQ(form->Opnieniepowczeniuwykrywania1->text(), "Opóźnienie po włączeniu wykrywania [40]");
    form->Opcje1->hide();
    form->Detection.StartDelayFrames.store(-3);
    form->Opcje1->popup(form->mapToGlobal(QPoint(0, 0)));
    EXPECT_EQ(form->Opnieniepowczeniuwykrywania1->text(), "Opóźnienie po włączeniu wykrywania [-3]");
    form->Opcje1->hide();
}

TEST_F(WindowTest, StoredOptionsFlipAndWriteTheirFlag)
{
    TfmMainForm* form = Start();
    ASSERT_FALSE(form->MinimalizujdoTraya1->isChecked());
    form->MinimalizujdoTraya1->trigger();
    EXPECT_TRUE(form->MinimalizujdoTraya1->isChecked());
    EXPECT_NE(SettingsText().find("Minimalizuj do Traya=1\r\n"), std::string::npos);
    form->MinimalizujdoTraya1->trigger();
    EXPECT_NE(SettingsText().find("Minimalizuj do Traya=0\r\n"), std::string::npos);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isMinimized());

    ASSERT_TRUE(form->Zapamitujostatniowybraneurzdzenie1->isChecked());
    form->Zapamitujostatniowybraneurzdzenie1->trigger();
    EXPECT_NE(SettingsText().find("[Ogolne]\r\n"), std::string::npos);
    EXPECT_NE(SettingsText().find("Zapamietuj urzadzenie=0\r\n"), std::string::npos);

    ASSERT_TRUE(form->Zapamitajpozycjokna1->isChecked());
    form->Zapamitajpozycjokna1->trigger();
    EXPECT_FALSE(form->Zapamitajpozycjokna1->isChecked());
    EXPECT_NE(SettingsText().find("Zapamietaj pozycje okna=0\r\n"), std::string::npos);
}

TEST_F(WindowTest, FailedOptionWriteIsReportedAndTheMarkStays)
{
    TfmMainForm* form = Start();
    WriteSettings({"[Ruch]"});
    std::filesystem::permissions(SettingsPath(), std::filesystem::perms::owner_read);
    const auto boxes = AcceptMessageBoxes();
    form->MinimalizujdoTraya1->trigger();
    EXPECT_TRUE(form->MinimalizujdoTraya1->isChecked());
    ASSERT_EQ(boxes->Answered(), 1);
    EXPECT_EQ(boxes->Texts().value(0), QString::fromStdString("Unable to write to " + SettingsPath() + "."));
}

// A reaction item whose mark the program sets does not flip on the click:
// its command starts from the mark as it was and decides it from the answer.
TEST_F(WindowTest, ProgramSetMarksDoNotFlipOnClick)
{
    WriteSettings({"[Ruch]", "Zrob zdjecie=/tmp"});
    TfmMainForm* form = Start();
    ASSERT_TRUE(form->Zrbzdjcie1->isChecked());
    bool markDuringCommand = false;
    {
        ModalAnswerer cancel([&](QWidget* modal) {
            markDuringCommand = form->Zrbzdjcie1->isChecked();
            modal->close();
        });
        form->Zrbzdjcie1->trigger();
        EXPECT_EQ(cancel.Answered(), 1);
    }
    EXPECT_TRUE(markDuringCommand);
    // The folder prompt was cancelled: no folder, no mark.
    EXPECT_FALSE(form->Zrbzdjcie1->isChecked());
    EXPECT_NE(SettingsText().find("Zrob zdjecie=\r\n"), std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return !form->Switches.Photo.load(); }));
}

TEST_F(WindowTest, ToggledReactionItemsStoreTheirFlag)
{
    TfmMainForm* form = Start();
    form->Uruchomalarm1->trigger();
    EXPECT_FALSE(form->Uruchomalarm1->isChecked());
    EXPECT_FALSE(form->Switches.Alarm.load());
    EXPECT_NE(SettingsText().find("Alarm=0\r\n"), std::string::npos);
    form->Dopiszdodziennika1->trigger();
    EXPECT_FALSE(form->Switches.Log.load());
    EXPECT_NE(SettingsText().find("Prowadz dziennik=0\r\n"), std::string::npos);
}

TEST_F(WindowTest, ReactionMarksFollowTheirItems)
{
    TfmMainForm* form = Start();
    EXPECT_TRUE(form->Switches.Alarm.load());
    EXPECT_TRUE(form->Switches.Log.load());
    EXPECT_FALSE(form->Switches.Photo.load());
    form->Zrbzdjcie1->setChecked(true);
    form->Przecztrybpracykomputera1->setChecked(true);
    ASSERT_TRUE(WaitUntil([&] { return form->Switches.Photo.load() && form->Switches.Power.load(); }));
    form->Uruchomalarm1->setChecked(false);
    form->Dopiszdodziennika1->setChecked(false);
    EXPECT_FALSE(form->Switches.Alarm.load());
    EXPECT_FALSE(form->Switches.Log.load());
}

TEST_F(WindowTest, SliderSetsThresholdAndLabel)
{
    TfmMainForm* form = Start();
    EXPECT_EQ(form->Label1->text(), "Czułość: 150");
    EXPECT_EQ(form->Detection.Threshold.load(), 105);
    form->TrackBar1->setValue(0);
    EXPECT_EQ(form->Detection.Threshold.load(), 255);
    EXPECT_EQ(form->Label1->text(), "Czułość: 0");
    form->TrackBar1->setValue(255);
    EXPECT_EQ(form->Detection.Threshold.load(), 0);
    EXPECT_EQ(form->Label1->text(), "Czułość: 255");

    form->TrackBar1->setValue(100);
    form->TrackBar1->setFocus();
    QTest::keyClick(form->TrackBar1, Qt::Key_Right);
    EXPECT_EQ(form->TrackBar1->value(), 101);
    QTest::keyClick(form->TrackBar1, Qt::Key_PageUp);
    EXPECT_EQ(form->TrackBar1->value(), 103);
    EXPECT_EQ(form->Label1->text(), "Czułość: 103");
    EXPECT_EQ(form->Detection.Threshold.load(), 152);
}

TEST_F(WindowTest, F8ResetsTheDetectionMemory)
{
    TfmMainForm* form = Start();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    form->Detection.FrameCounter.store(26);
    form->Detection.ProgramsLaunched.store(true);
    form->Detection.InfoShown.store(true);
    form->Detection.CurrentSlot.store(1);
    QTest::keyClick(form, Qt::Key_F8);
    EXPECT_EQ(form->Detection.FrameCounter.load(), 0);
    EXPECT_FALSE(form->Detection.ProgramsLaunched.load());
    EXPECT_FALSE(form->Detection.InfoShown.load());
    EXPECT_EQ(form->Detection.CurrentSlot.load(), 1);
    EXPECT_EQ(form->Detection.StartDelayFrames.load(), 25);
}

// Answers the delay dialog: types `text` and presses OK, or cancels.
std::unique_ptr<ModalAnswerer> AnswerDelayDialog(const QString& text, bool ok, QString* caption, QString* shown)
{
    return std::make_unique<ModalAnswerer>([=](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        auto* edit = modal->findChild<QLineEdit*>();
        if (caption) *caption = modal->windowTitle();
        if (shown && edit) *shown = edit->text();
        if (ok && edit) {
            edit->setText(text);
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
}

TEST_F(WindowTest, DelayDialogStoresAValidNumber)
{
    TfmMainForm* form = Start();
    QString caption, shown;
    {
        const auto answer = AnswerDelayDialog("40", true, &caption, &shown);
        form->Opnieniepowczeniuwykrywania1->trigger();
        EXPECT_EQ(answer->Answered(), 1);
    }
    EXPECT_EQ(caption, "Wpisz liczbę");
    EXPECT_EQ(shown, "25");
    EXPECT_EQ(form->Detection.StartDelayFrames.load(), 40);
    EXPECT_NE(SettingsText().find("[Ogolne]\r\nOpoznienie wykrywania=40\r\n"), std::string::npos);

    {
        const auto answer = AnswerDelayDialog("-3", true, nullptr, &shown);
        form->Opnieniepowczeniuwykrywania1->trigger();
    }
    EXPECT_EQ(shown, "40");
    EXPECT_EQ(form->Detection.StartDelayFrames.load(), -3);
    EXPECT_NE(SettingsText().find("Opoznienie wykrywania=-3\r\n"), std::string::npos);
}

TEST_F(WindowTest, DelayDialogIgnoresTextThatIsNoNumber)
{
    TfmMainForm* form = Start();
    for (const QString& text : {QString("abc"), QString(""), QString("4 0")}) {
        const auto answer = AnswerDelayDialog(text, true, nullptr, nullptr);
        form->Opnieniepowczeniuwykrywania1->trigger();
        EXPECT_EQ(form->Detection.StartDelayFrames.load(), 25);
    }
    EXPECT_FALSE(SettingsExist());
}

TEST_F(WindowTest, DelayDialogCancelWritesTheCurrentValueAgain)
{
    TfmMainForm* form = Start();
    form->Detection.FrameCounter.store(7);
    const auto answer = AnswerDelayDialog({}, false, nullptr, nullptr);
    form->Opnieniepowczeniuwykrywania1->trigger();
    EXPECT_EQ(form->Detection.StartDelayFrames.load(), 25);
    EXPECT_NE(SettingsText().find("Opoznienie wykrywania=25\r\n"), std::string::npos);
    EXPECT_EQ(form->Detection.FrameCounter.load(), 7);
}

TEST_F(WindowTest, AutostartItemWritesAndRemovesTheEntry)
{
    TfmMainForm* form = Start();
    const std::filesystem::path entry = dir_.Path() / "config" / "autostart" / "quisk-motion-detector.desktop";
    EXPECT_FALSE(form->Uruchamiajprzystarciesystemu1->isChecked());
    form->Uruchamiajprzystarciesystemu1->trigger();
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_NE(ReadFileBytes(entry.string()).find(" -t"), std::string::npos);
    form->Uruchamiajprzystarciesystemu1->trigger();
    EXPECT_FALSE(std::filesystem::exists(entry));
}

}  // namespace
}  // namespace qmd::test
