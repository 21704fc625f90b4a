#pragma once
// Looks for ONVIF cameras on the local network: sends the WS-Discovery probe
// and reports each camera that answers, as it answers, for 3 s. Runs on the
// thread that owns it (the GUI thread): the socket is read as datagrams
// arrive, each a bounded UDP datagram read in one go, so nothing waits.
#include "capture/discovery/ws_discovery.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUdpSocket>

#include <chrono>

namespace qmd {

class CameraSearch : public QObject {
    Q_OBJECT
public:
    // How long answers are taken, whatever arrives.
    static constexpr std::chrono::milliseconds kLookTime{3000};
    // More cameras than a home or a small office has; the rest are ignored.
    static constexpr int kMaxCameras = 256;

    explicit CameraSearch(QObject* parent = nullptr);

    // Sends the probe to `destination` and takes answers for kLookTime. A
    // search already running starts again.
    void Start(const SearchDestination& destination = {});
    bool IsRunning() const { return Deadline.isActive(); }

signals:
    void Found(const qmd::FoundCamera& camera);
    // The look is over: after kLookTime, or at once with a reason in plain
    // words when the probe could not be sent.
    void Finished(const QString& failure);

private:
    void ReadAnswers();
    // Whether the probe went out through at least one interface.
    bool SendProbe();
    void Finish(const QString& failure);

    QUdpSocket* Socket = nullptr;
    QTimer Deadline;
    QTimer Repeat;
    QHostAddress Target;
    quint16 TargetPort = 0;
    QString MessageId;
    QSet<QString> Known;
};

}  // namespace qmd
