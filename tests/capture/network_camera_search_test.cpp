// "Szukaj w sieci" in the window "Kamera sieciowa" against the tests' own
// ONVIF camera, as a user works it: the button lists the camera, Enter on
// its row asks it with the window's "Użytkownik" and "Hasło", and the main
// stream's address fills "Adres" (another profile's on choosing it in
// "Strumień"); a wrong password is said in the camera's row, and Enter in
// the list never presses OK.
#include "capture/discovery/camera_finder_module.h"
#include "capture/discovery/onvif_camera_finder.h"
#include "capture/network_camera_window/camera_search_panel.h"
#include "capture/network_camera_window/network_camera_window.h"
#include "support/onvif_test_camera.h"
#include "support/wait_until.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace qmd {
namespace {

TEST(NetworkCameraSearch, ListsTheCameraAndFillsTheAddressOrSaysItRefuses)
{
    test::OnvifTestCameraOptions options;
    options.MainStream = QStringLiteral("rtsp://127.0.0.1:8554/glowny");
    options.SubStream = QStringLiteral("rtsp://127.0.0.1:8554/podrzedny");
    test::OnvifTestCamera camera(options);
    ASSERT_TRUE(camera.Listen());
    ASSERT_TRUE(camera.AnswerProbes(QHostAddress::LocalHost, 0));

    NetworkCameraWindow window;
    CameraSearchPanel& search = *window.SzukajWSieci;
    search.SetFinderMaker(&MakeOnvifCameraFinder);
    search.SetDestination({QStringLiteral("127.0.0.1"), camera.ProbePort()});
    window.show();
    QTest::keyClicks(window.Uzytkownik, QStringLiteral("admin"));
    QTest::keyClicks(window.Haslo, QStringLiteral("zle"));

    QTest::mouseClick(search.SearchButton, Qt::LeftButton);
    ASSERT_TRUE(test::WaitUntil([&] { return search.Cameras->topLevelItemCount() == 1; }));
    QTreeWidgetItem* row = search.Cameras->topLevelItem(0);
    EXPECT_EQ(row->text(0), QStringLiteral("Quisk"));
    EXPECT_EQ(row->text(1), QStringLiteral("Testowa ONVIF"));
    EXPECT_EQ(row->text(2), QStringLiteral("127.0.0.1"));

    search.Cameras->setFocus();
    QTest::keyClick(search.Cameras, Qt::Key_Return);
    const QString refused = Describe(OnvifFailure::Refused);
    ASSERT_TRUE(test::WaitUntil([&] { return row->text(3) == refused; })) << row->text(3).toStdString();
    EXPECT_TRUE(window.Adres->text().isEmpty());
    EXPECT_TRUE(window.isVisible()) << "Enter in the list pressed OK";

    window.Haslo->setText(QStringLiteral("secret"));
    QTest::keyClick(search.Cameras, Qt::Key_Return);
    ASSERT_TRUE(test::WaitUntil([&] { return !window.Adres->text().isEmpty(); }));
    EXPECT_EQ(window.Adres->text(), QStringLiteral("rtsp://127.0.0.1:8554/glowny"));
    ASSERT_EQ(search.Streams->count(), 2);
    EXPECT_NE(row->text(3), refused);

    search.Streams->setFocus();
    QTest::keyClick(search.Streams, Qt::Key_Down);
    EXPECT_EQ(window.Adres->text(), QStringLiteral("rtsp://127.0.0.1:8554/podrzedny"));
}

// The program's module is not beside the test: the search says it cannot
// look, and why, and the button stays for another try.
TEST(NetworkCameraSearch, WithoutTheFindersModuleSaysSoAndStaysUsable)
{
    ASSERT_FALSE(QFileInfo::exists(CameraFinderModulePath()));
    CameraSearchPanel search({});
    search.show();
    const QString missing = QStringLiteral("Nie można szukać kamer: brak modułu %1.")
                                .arg(QFileInfo(CameraFinderModulePath()).fileName());
    const auto said = [&] {
        for (const QLabel* label : search.findChildren<QLabel*>()) {
            if (label->text() == missing) return true;
        }
        return false;
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        QTest::mouseClick(search.SearchButton, Qt::LeftButton);
        EXPECT_TRUE(said());
        EXPECT_TRUE(search.SearchButton->isEnabled());
    }
}

}  // namespace
}  // namespace qmd
