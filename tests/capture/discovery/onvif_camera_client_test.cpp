// The ONVIF client against the tests' own ONVIF camera on the loopback
// interface: the stream addresses for the right password, a refusal for a
// wrong one, a camera whose clock is far from ours, and cameras that answer
// too much or nothing.
#include "capture/discovery/onvif_camera_client.h"
#include "support/onvif_test_camera.h"
#include "support/wait_until.h"

#include <QTcpServer>

#include <gtest/gtest.h>

#include <optional>

namespace qmd {
namespace {

struct Outcome {
    std::optional<DeviceInformation> Device;
    std::vector<MediaProfile> Profiles;
    std::optional<OnvifCameraClient::Failure> Failure;
    bool Done() const { return Device || Failure; }
};

Outcome AskCamera(const QUrl& address, const OnvifCredentials& credentials)
{
    OnvifCameraClient client;
    Outcome outcome;
    QObject::connect(&client, &OnvifCameraClient::Answered,
                     [&](const DeviceInformation& device, const std::vector<MediaProfile>& profiles) {
                         outcome.Device = device;
                         outcome.Profiles = profiles;
                     });
    QObject::connect(&client, &OnvifCameraClient::Failed,
                     [&](OnvifCameraClient::Failure failure) { outcome.Failure = failure; });
    client.Ask(address, credentials);
    EXPECT_TRUE(test::WaitUntil([&] { return outcome.Done(); }, 60000));
    return outcome;
}

test::OnvifTestCameraOptions Streams()
{
    test::OnvifTestCameraOptions options;
    options.MainStream = QStringLiteral("rtsp://127.0.0.1:8554/glowny");
    options.SubStream = QStringLiteral("rtsp://127.0.0.1:8554/podrzedny");
    return options;
}

TEST(OnvifCameraClient, TheRightPasswordGivesEveryProfileItsStreamAddressMainFirst)
{
    test::OnvifTestCamera camera(Streams());
    ASSERT_TRUE(camera.Listen());
    const Outcome outcome = AskCamera(camera.DeviceAddress(), {QStringLiteral("admin"), QStringLiteral("secret")});
    ASSERT_TRUE(outcome.Device) << "failed: " << static_cast<int>(outcome.Failure.value_or(OnvifCameraClient::Failure::Refused));
    EXPECT_EQ(outcome.Device->Maker, QStringLiteral("Quisk"));
    ASSERT_EQ(outcome.Profiles.size(), 2u);
    EXPECT_EQ(outcome.Profiles[0].StreamAddress, QStringLiteral("rtsp://127.0.0.1:8554/glowny"));
    EXPECT_EQ(outcome.Profiles[0].Width, 640);
    EXPECT_EQ(outcome.Profiles[0].Encoding, QStringLiteral("H264"));
    EXPECT_EQ(outcome.Profiles[1].StreamAddress, QStringLiteral("rtsp://127.0.0.1:8554/podrzedny"));
    EXPECT_EQ(outcome.Profiles[1].Height, 240);
    EXPECT_EQ(camera.Refusals(), 0);
}

TEST(OnvifCameraClient, AWrongUserOrPasswordIsARefusalAskedAtMostTwice)
{
    test::OnvifTestCamera camera(Streams());
    ASSERT_TRUE(camera.Listen());
    for (const OnvifCredentials& wrong : {OnvifCredentials{QStringLiteral("admin"), QStringLiteral("zle")},
                                          OnvifCredentials{QStringLiteral("ktos"), QStringLiteral("secret")},
                                          OnvifCredentials{}}) {
        const int before = camera.Refusals();
        const Outcome outcome = AskCamera(camera.DeviceAddress(), wrong);
        EXPECT_EQ(outcome.Failure, OnvifCameraClient::Failure::Refused) << wrong.User.toStdString();
        // Cameras lock an account after a few failures.
        EXPECT_LE(camera.Refusals() - before, 2);
    }
}

TEST(OnvifCameraClient, ACameraClockFarFromOursIsFollowed)
{
    for (const qint64 skew : {3600LL, -86400LL}) {
        test::OnvifTestCameraOptions options = Streams();
        options.ClockSkewSeconds = skew;
        test::OnvifTestCamera camera(options);
        ASSERT_TRUE(camera.Listen());
        const Outcome right = AskCamera(camera.DeviceAddress(), {QStringLiteral("admin"), QStringLiteral("secret")});
        ASSERT_EQ(right.Profiles.size(), 2u) << skew;
        const Outcome wrong = AskCamera(camera.DeviceAddress(), {QStringLiteral("admin"), QStringLiteral("zle")});
        EXPECT_EQ(wrong.Failure, OnvifCameraClient::Failure::Refused) << skew;
    }
}

TEST(OnvifCameraClient, AHugeSilentOrMissingCameraEndsInAFailure)
{
    test::OnvifTestCameraOptions huge = Streams();
    huge.HugeProfiles = true;
    test::OnvifTestCamera hugeCamera(huge);
    ASSERT_TRUE(hugeCamera.Listen());
    EXPECT_EQ(AskCamera(hugeCamera.DeviceAddress(), {QStringLiteral("admin"), QStringLiteral("secret")}).Failure,
              OnvifCameraClient::Failure::NotOnvif);

    test::OnvifTestCameraOptions silent = Streams();
    silent.Silent = true;
    test::OnvifTestCamera silentCamera(silent);
    ASSERT_TRUE(silentCamera.Listen());
    EXPECT_EQ(AskCamera(silentCamera.DeviceAddress(), {QStringLiteral("admin"), QStringLiteral("secret")}).Failure,
              OnvifCameraClient::Failure::NoAnswer);

    // A port nobody listens on: one the kernel gave and took back.
    quint16 closedPort = 0;
    {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        closedPort = server.serverPort();
    }
    const QUrl nobody(QStringLiteral("http://127.0.0.1:%1/onvif/device_service").arg(closedPort));
    EXPECT_EQ(AskCamera(nobody, {QStringLiteral("admin"), QStringLiteral("secret")}).Failure,
              OnvifCameraClient::Failure::NoAnswer);
}

}  // namespace
}  // namespace qmd
