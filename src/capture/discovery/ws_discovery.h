#pragma once
// WS-Discovery as ONVIF cameras speak it: the probe for network video
// transmitters, and what their answers (ProbeMatches) tell of them. Knows
// nothing of sockets, so any answer can be tried on it.
#include "capture/discovery/found_camera.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <vector>

namespace qmd {

// A probe for ONVIF network video transmitters, identified by `messageId`
// ("urn:uuid:…").
QByteArray ProbeMessage(const QString& messageId);

struct ProbeMatch {
    QString Endpoint;
    QStringList Addresses;  // XAddrs
    QStringList Scopes;
};

// The matches of one ProbeMatches answer; none when the datagram is no such
// answer or cannot be read.
std::vector<ProbeMatch> ParseProbeMatches(QByteArrayView datagram);

// The camera a match describes. `sender` answered the probe: many cameras
// list several addresses (one per interface, IPv6 ones, an address of a
// network the computer is not on), and the one the answer came from is the
// one known to reach it. A camera may also answer from another address than
// the one it serves on, so a listed address is kept even when none is the
// sender's. A match without a usable address yields a camera without one.
FoundCamera CameraOfMatch(const ProbeMatch& match, const QHostAddress& sender);

}  // namespace qmd
