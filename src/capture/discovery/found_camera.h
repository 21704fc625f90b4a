#pragma once
// An ONVIF camera found on the network, and where the probe that finds them
// goes. QtCore only: the window that lists cameras includes it without
// loading Qt Network.
#include <QString>
#include <QUrl>
#include <QtGlobal>

namespace qmd {

// The multicast group and port every ONVIF camera listens on.
inline constexpr char kWsDiscoveryGroup[] = "239.255.255.250";
inline constexpr quint16 kWsDiscoveryPort = 3702;

// A camera as its probe answer describes it.
struct FoundCamera {
    // Its WS-Addressing endpoint ("urn:uuid:…"), the same whichever of its
    // addresses answered; empty when it gives none.
    QString Endpoint;
    // Its device service (GetDeviceInformation, GetCapabilities).
    QUrl DeviceAddress;
    // From its scopes, where it tells them; empty otherwise.
    QString Maker;
    QString Model;
    QString Name;
};

// Where the probe goes: the cameras' multicast group, or, for a test, one
// address (IPv4 or IPv6, as text).
struct SearchDestination {
    QString Address = QString::fromLatin1(kWsDiscoveryGroup);
    quint16 Port = kWsDiscoveryPort;
};

}  // namespace qmd
