// "Obszary bez wykrywania…" and "Ustawienia wykrywania…" driven as the user
// drives them, and what start-up reads back.
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <sstream>

#include "shell/detection_areas_window.h"
#include "shell/detection_settings_window.h"
#include "shell_test_support.h"

using namespace qmd;
using namespace qmd::test;

namespace {

using DetectionRulesTest = MainFormTest;

// A drag from one share of the canvas to another.
void Drag(QWidget* canvas, QPointF from, QPointF to)
{
    const auto at = [canvas](QPointF share) {
        return QPoint(int(share.x() * canvas->width()), int(share.y() * canvas->height()));
    };
    QTest::mousePress(canvas, Qt::LeftButton, {}, at(from));
    QTest::mouseMove(canvas, at(to));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, at(to));
}

void Click(QWidget* window, const char* button)
{
    auto* found = window->findChild<QPushButton*>(QLatin1String(button));
    ASSERT_NE(found, nullptr) << button;
    found->click();
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

TEST_F(DetectionRulesTest, AreasAreDrawnRemovedAndStoredOnlyOnOk)
{
    TfmMainForm* form = Start();
    const std::string areasFile = dir_.File("obszary.txt");
    std::size_t drawn = 0;
    {
        ModalAnswerer answer([&drawn](QWidget* modal) {
            auto* window = qobject_cast<DetectionAreasWindow*>(modal);
            ASSERT_NE(window, nullptr);
            AreaCanvas* canvas = window->Canvas();
            Drag(canvas, {0.5, 0.5}, {0.1, 0.2});    // drawn from any corner
            Drag(canvas, {0.6, 0.6}, {0.9, 0.9});
            Drag(canvas, {0.05, 0.7}, {0.3, 0.95});
            drawn = canvas->Areas().size();
            // A right click removes the one under it; a click selects and
            // Delete removes the selected one.
            QTest::mouseClick(canvas, Qt::RightButton, {}, QPoint(int(0.75 * canvas->width()), int(0.75 * canvas->height())));
            QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(int(0.2 * canvas->width()), int(0.8 * canvas->height())));
            QTest::keyClick(canvas, Qt::Key_Delete);
            Click(window, "OK");
        });
        form->Obszarybezwykrywania1->trigger();
        ASSERT_EQ(answer.Answered(), 1);
    }
    EXPECT_EQ(drawn, 3u);
    const AreaList stored = ParseAreaText(FileText(areasFile)).Areas;
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_NEAR(stored[0].X, 0.1, 0.01);
    EXPECT_NEAR(stored[0].Y, 0.2, 0.01);
    EXPECT_NEAR(stored[0].Width, 0.4, 0.01);
    EXPECT_NEAR(stored[0].Height, 0.3, 0.01);
    EXPECT_EQ(*form->Detection.Areas.Get(), stored);

    // "Wyczyść" and then "Anuluj": nothing changes.
    const std::string before = FileText(areasFile);
    {
        ModalAnswerer answer([](QWidget* modal) {
            EXPECT_EQ(qobject_cast<DetectionAreasWindow*>(modal)->Areas().size(), 1u);
            Click(modal, "Wyczysc");
            EXPECT_TRUE(qobject_cast<DetectionAreasWindow*>(modal)->Areas().empty());
            Click(modal, "Anuluj");
        });
        form->Obszarybezwykrywania1->trigger();
    }
    EXPECT_EQ(FileText(areasFile), before);
    EXPECT_EQ(*form->Detection.Areas.Get(), stored);
}

TEST_F(DetectionRulesTest, TheSharesAreStoredInRuchAndReadAtStartUpWithTheAreas)
{
    {
        std::ofstream file(dir_.File("obszary.txt"), std::ios::binary);
        file << "0 0 0.5 0.5\nto nie jest obszar\n";
    }
    WriteSettings({"[Ruch]", "Najmniejszy obszar=25", "Zmiana oswietlenia=6000"});
    TfmMainForm* form = Start();
    EXPECT_EQ(*form->Detection.Areas.Get(), (AreaList{{0, 0, 0.5, 0.5}}));
    EXPECT_EQ(form->Detection.SmallestAreaShare.load(), 25);
    EXPECT_EQ(form->Detection.LightChangeShare.load(), 6000);
    {
        ModalAnswerer answer([](QWidget* modal) {
            auto* window = qobject_cast<DetectionSettingsWindow*>(modal);
            ASSERT_NE(window, nullptr);
            EXPECT_DOUBLE_EQ(window->SmallestAreaBox()->value(), 0.25);
            EXPECT_DOUBLE_EQ(window->LightChangeBox()->value(), 60);
            window->SmallestAreaBox()->setValue(1.5);
            window->LightChangeBox()->setValue(0);
            Click(window, "OK");
        });
        form->Ustawieniawykrywania1->trigger();
    }
    EXPECT_EQ(form->Detection.SmallestAreaShare.load(), 150);
    EXPECT_EQ(form->Detection.LightChangeShare.load(), 0);
    EXPECT_NE(SettingsText().find("Najmniejszy obszar=150\r\n"), std::string::npos);
    EXPECT_NE(SettingsText().find("Zmiana oswietlenia=0\r\n"), std::string::npos);
    // The unreadable line stays until areas are stored with OK.
    EXPECT_EQ(FileText(dir_.File("obszary.txt")), "0 0 0.5 0.5\nto nie jest obszar\n");
}
