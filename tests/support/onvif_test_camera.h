#pragma once
// An ONVIF camera of the tests' own, on the loopback interface: answers the
// WS-Discovery probe, and GetSystemDateAndTime, GetDeviceInformation,
// GetCapabilities, GetProfiles and GetStreamUri over HTTP, the last four only
// to a WS-Security UsernameToken whose digest, user and date it checks as a
// camera does. Its two profiles ("main", "sub") give the stream addresses it
// is told, such as the suite's loopback RTSP camera. Runs on the thread that
// owns it, from that thread's event loop.
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUdpSocket>
#include <QUrl>

#include <functional>

namespace qmd::test {

struct OnvifTestCameraOptions {
    QString User = QStringLiteral("admin");
    QString Password = QStringLiteral("secret");
    QString MainStream = QStringLiteral("rtsp://127.0.0.1:554/main");
    QString SubStream = QStringLiteral("rtsp://127.0.0.1:554/sub");
    // The camera's clock runs this far from the computer's; it takes tokens
    // dated within 5 s of its own time, as cameras do.
    qint64 ClockSkewSeconds = 0;
    QString Maker = QStringLiteral("Quisk");
    QString Model = QStringLiteral("Testowa ONVIF");
    // Answers no call (the connection stays open), or answers GetProfiles
    // with a body far larger than any camera sends.
    bool Silent = false;
    bool HugeProfiles = false;
};

class OnvifTestCamera : public QObject {
public:
    explicit OnvifTestCamera(OnvifTestCameraOptions options, QObject* parent = nullptr);

    // Listens for the calls on 127.0.0.1 at a port the kernel chooses.
    bool Listen();
    // Answers probes sent to `group` (a multicast group it joins, or
    // 127.0.0.1) at `port` (0: a port the kernel chooses).
    bool AnswerProbes(const QHostAddress& group, quint16 port);
    quint16 ProbePort() const { return Probes.localPort(); }
    QUrl DeviceAddress() const;
    // How many calls the camera refused for their token.
    int Refusals() const { return RefusalCount; }
    // Told the name of each call answered ("GetStreamUri", …; "refused").
    std::function<void(const QString& call)> Answered;

private:
    void Accept();
    void ReadProbes();
    // The answer to one call, as a whole HTTP response; empty for none.
    QByteArray Answer(const QByteArray& request);
    QByteArray AnswerCall(const QByteArray& request);
    bool TokenIsValid(const QByteArray& request) const;

    OnvifTestCameraOptions Options;
    QTcpServer Server;
    QUdpSocket Probes;
    int RefusalCount = 0;
};

}  // namespace qmd::test
