#include "camera_search.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUuid>

namespace qmd {

namespace {

// UDP is lost now and then; WS-Discovery sends a probe more than once.
constexpr std::chrono::milliseconds kRepeatAfter{500};

}  // namespace

CameraSearch::CameraSearch(QObject* parent) : QObject(parent)
{
    Deadline.setSingleShot(true);
    connect(&Deadline, &QTimer::timeout, this, [this] { Finish({}); });
    Repeat.setSingleShot(true);
    connect(&Repeat, &QTimer::timeout, this, [this] { SendProbe(); });
}

void CameraSearch::Start(const SearchDestination& destination)
{
    Deadline.stop();
    Repeat.stop();
    Known.clear();
    // A fresh socket per look: answers to an earlier probe are not this one's.
    delete Socket;
    Socket = new QUdpSocket(this);
    connect(Socket, &QUdpSocket::readyRead, this, &CameraSearch::ReadAnswers);
    Target = QHostAddress(destination.Address);
    TargetPort = destination.Port;
    MessageId = QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!Socket->bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        Finish(tr("Nie można wysłać zapytania do sieci: %1").arg(Socket->errorString()));
        return;
    }
    Deadline.start(kLookTime);
    if (!SendProbe()) {
        Finish(tr("Nie można wysłać zapytania do sieci: %1").arg(Socket->errorString()));
        return;
    }
    Repeat.start(kRepeatAfter);
}

bool CameraSearch::SendProbe()
{
    if (Socket == nullptr) return false;
    const QByteArray probe = ProbeMessage(MessageId);
    // Through the interface the routing table chooses, and, for a multicast
    // group, through every other interface that carries multicast: a
    // computer on two networks (wired and wireless, a VPN) finds the cameras
    // on each.
    Socket->setMulticastInterface(QNetworkInterface());
    bool sent = Socket->writeDatagram(probe, Target, TargetPort) == probe.size();
    if (Target.isMulticast()) {
        for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
            const auto flags = interface.flags();
            if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning) ||
                !flags.testFlag(QNetworkInterface::CanMulticast) || flags.testFlag(QNetworkInterface::IsLoopBack)) {
                continue;
            }
            Socket->setMulticastInterface(interface);
            sent = Socket->writeDatagram(probe, Target, TargetPort) == probe.size() || sent;
        }
    }
    return sent;
}

void CameraSearch::ReadAnswers()
{
    // Each datagram is at most 64 KiB, read whole and parsed with bounds.
    while (Socket != nullptr && Socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = Socket->receiveDatagram();
        if (!Deadline.isActive()) continue;
        for (const ProbeMatch& match : ParseProbeMatches(datagram.data())) {
            const FoundCamera camera = CameraOfMatch(match, datagram.senderAddress());
            if (camera.DeviceAddress.isEmpty() || Known.size() >= kMaxCameras) continue;
            // One camera answers each probe, and may answer through more
            // than one interface.
            const QString key = camera.Endpoint.isEmpty() ? camera.DeviceAddress.toString() : camera.Endpoint;
            if (Known.contains(key)) continue;
            Known.insert(key);
            emit Found(camera);
        }
    }
}

void CameraSearch::Finish(const QString& failure)
{
    Deadline.stop();
    Repeat.stop();
    if (Socket != nullptr) {
        Socket->deleteLater();
        Socket = nullptr;
    }
    emit Finished(failure);
}

}  // namespace qmd
