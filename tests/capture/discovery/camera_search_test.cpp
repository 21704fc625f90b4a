// The search for ONVIF cameras: the real multicast probe, inside a network
// namespace of the test's own whose loopback carries 239.0.0.0/8 (see
// tests/support/in_network_namespace.sh), and hostile answers sent to the
// probe's socket.
#include "capture/discovery/camera_search.h"
#include "support/onvif_test_camera.h"
#include "support/wait_until.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <vector>

namespace qmd {
namespace {

struct Look {
    std::vector<FoundCamera> Cameras;
    bool Finished = false;
    QString Failure;
};

void Watch(CameraSearch& search, Look& look)
{
    QObject::connect(&search, &CameraSearch::Found, [&look](const FoundCamera& camera) { look.Cameras.push_back(camera); });
    QObject::connect(&search, &CameraSearch::Finished, [&look](const QString& failure) {
        look.Finished = true;
        look.Failure = failure;
    });
}

TEST(CameraSearch, ACameraOnTheNetworkAnswersTheMulticastProbeAndIsListedOnce)
{
    if (qEnvironmentVariableIsEmpty("QMD_NETWORK_NAMESPACE")) GTEST_SKIP() << "not in a network namespace";
    test::OnvifTestCamera camera({});
    ASSERT_TRUE(camera.Listen());
    ASSERT_TRUE(camera.AnswerProbes(QHostAddress(QString::fromLatin1(kWsDiscoveryGroup)), kWsDiscoveryPort));

    CameraSearch search;
    Look look;
    Watch(search, look);
    search.Start();
    ASSERT_TRUE(test::WaitUntil([&] { return look.Finished; }));
    EXPECT_TRUE(look.Failure.isEmpty()) << look.Failure.toStdString();
    // The probe goes out twice; the camera is listed once, at the address
    // that answered rather than its link-local IPv6 one.
    ASSERT_EQ(look.Cameras.size(), 1u);
    EXPECT_EQ(look.Cameras[0].DeviceAddress, camera.DeviceAddress());
    EXPECT_EQ(look.Cameras[0].Maker, QStringLiteral("Quisk"));
    EXPECT_EQ(look.Cameras[0].Model, QStringLiteral("Testowa ONVIF"));
}

TEST(CameraSearch, HostileAnswersAreSkippedAndTheLookEndsInTime)
{
    test::OnvifTestCamera camera({});
    ASSERT_TRUE(camera.Listen());
    // Stands between the search and the camera: answers each probe first
    // with what no camera should send, then passes it on to the camera and
    // the camera's answer back.
    QUdpSocket hostile;
    ASSERT_TRUE(hostile.bind(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(camera.AnswerProbes(QHostAddress::LocalHost, 0));
    QHostAddress searchAddress;
    quint16 searchPort = 0;
    QObject::connect(&hostile, &QUdpSocket::readyRead, [&] {
        while (hostile.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = hostile.receiveDatagram();
            const auto answer = [&](const QByteArray& bytes) { hostile.writeDatagram(bytes, searchAddress, searchPort); };
            if (datagram.senderPort() == camera.ProbePort()) {
                answer(datagram.data());
                continue;
            }
            searchAddress = datagram.senderAddress();
            searchPort = static_cast<quint16>(datagram.senderPort());
            answer("<not xml");
            answer(QByteArray(65000, '<'));
            answer("<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;"
                   "&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><ProbeMatches><ProbeMatch>"
                   "<XAddrs>http://&c;/</XAddrs></ProbeMatch></ProbeMatches>");
            answer(QByteArray("<ProbeMatches>").repeated(4000));
            // A match whose addresses are none to open.
            answer("<ProbeMatches><ProbeMatch><XAddrs>file:///etc/passwd javascript:1</XAddrs></ProbeMatch>"
                   "</ProbeMatches>");
            hostile.writeDatagram(datagram.data(), QHostAddress::LocalHost, camera.ProbePort());
        }
    });
    CameraSearch search;
    Look look;
    Watch(search, look);
    search.Start({QStringLiteral("127.0.0.1"), hostile.localPort()});
    ASSERT_TRUE(test::WaitUntil([&] { return look.Finished; }));
    EXPECT_TRUE(look.Failure.isEmpty()) << look.Failure.toStdString();
    ASSERT_EQ(look.Cameras.size(), 1u);
    EXPECT_EQ(look.Cameras[0].DeviceAddress, camera.DeviceAddress());
}

}  // namespace
}  // namespace qmd
