// "Szukaj w sieci" against the tests' own ONVIF camera, as a user works it:
// the button lists the camera, Enter on its row asks it with the user and
// password of the window's fields, and the main stream's address comes out
// for "Adres" (another profile on choosing it); a wrong password is said in
// the camera's row.
#include "capture/camera_search_panel.h"
#include "support/onvif_test_camera.h"
#include "support/wait_until.h"

#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace qmd {
namespace {

TEST(CameraSearchPanel, ListsTheCameraAndGivesItsStreamsOrItsRefusal)
{
    test::OnvifTestCameraOptions options;
    options.MainStream = QStringLiteral("rtsp://127.0.0.1:8554/glowny");
    options.SubStream = QStringLiteral("rtsp://127.0.0.1:8554/podrzedny");
    test::OnvifTestCamera camera(options);
    ASSERT_TRUE(camera.Listen());
    ASSERT_TRUE(camera.AnswerProbes(QHostAddress::LocalHost, 0));

    OnvifCredentials fields{QStringLiteral("admin"), QStringLiteral("zle")};
    CameraSearchPanel panel([&fields] { return fields; });
    panel.SetDestination({QHostAddress::LocalHost, camera.ProbePort()});
    QString address;
    QObject::connect(&panel, &CameraSearchPanel::StreamChosen, [&address](const QString& chosen) { address = chosen; });
    panel.show();

    QTest::mouseClick(panel.SearchButton, Qt::LeftButton);
    ASSERT_TRUE(test::WaitUntil([&] { return panel.Cameras->topLevelItemCount() == 1; }));
    QTreeWidgetItem* row = panel.Cameras->topLevelItem(0);
    EXPECT_EQ(row->text(0), QStringLiteral("Quisk"));
    EXPECT_EQ(row->text(1), QStringLiteral("Testowa ONVIF"));
    EXPECT_EQ(row->text(2), QStringLiteral("127.0.0.1"));

    panel.Cameras->setFocus();
    QTest::keyClick(panel.Cameras, Qt::Key_Return);
    const QString refused = OnvifCameraClient::Describe(OnvifCameraClient::Failure::Refused);
    ASSERT_TRUE(test::WaitUntil([&] { return row->text(3) == refused; })) << row->text(3).toStdString();
    EXPECT_TRUE(address.isEmpty());

    fields.Password = QStringLiteral("secret");
    QTest::keyClick(panel.Cameras, Qt::Key_Return);
    ASSERT_TRUE(test::WaitUntil([&] { return !address.isEmpty(); }));
    EXPECT_EQ(address, QStringLiteral("rtsp://127.0.0.1:8554/glowny"));
    ASSERT_EQ(panel.Streams->count(), 2);
    EXPECT_NE(row->text(3), refused);

    panel.Streams->setFocus();
    QTest::keyClick(panel.Streams, Qt::Key_Down);
    EXPECT_EQ(address, QStringLiteral("rtsp://127.0.0.1:8554/podrzedny"));
}

}  // namespace
}  // namespace qmd
