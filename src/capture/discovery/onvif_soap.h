#pragma once
// The few ONVIF calls that find a camera's stream addresses, as SOAP 1.2
// messages, and what their answers say. Requests carry a WS-Security
// UsernameToken with a password digest: the password itself never leaves the
// computer. Knows nothing of sockets, so any answer can be tried on it.
#include "capture/discovery/onvif_device.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

namespace qmd {

// The UsernameToken's digest: Base64(SHA-1(nonce + created + password)), the
// nonce in raw bytes, created as written in the token.
QByteArray UsernameTokenDigest(QByteArrayView nonce, QByteArrayView created, const QString& password);

// A SOAP 1.2 envelope around `body`; with a UsernameToken when the user is
// not empty, dated `created` (the camera's clock) and using `nonce`.
QByteArray OnvifEnvelope(const QByteArray& body, const OnvifCredentials& credentials, const QDateTime& created,
                         QByteArrayView nonce);

// The bodies of the calls.
QByteArray GetSystemDateAndTimeBody();
QByteArray GetDeviceInformationBody();
QByteArray GetMediaCapabilitiesBody();
QByteArray GetProfilesBody();
QByteArray GetStreamUriBody(const QString& profileToken);

// A SOAP fault (1.2, or 1.1 from older cameras).
struct SoapFault {
    QString Code;     // Code/Value or faultcode, local part
    QString Subcode;  // the innermost Subcode/Value, local part
    QString Reason;   // Reason/Text or faultstring
    // Whether the camera refused the user or password (ONVIF's
    // NotAuthorized, WS-Security's failed authentication).
    bool IsRefusal() const;
};

// The fault a reply carries; none when it carries none.
std::optional<SoapFault> FaultOf(QByteArrayView reply);

std::optional<DeviceInformation> ParseDeviceInformation(QByteArrayView reply);

// The camera's clock in UTC.
std::optional<QDateTime> ParseSystemDateAndTime(QByteArrayView reply);

// The media service's address (GetCapabilities, category Media).
std::optional<QUrl> ParseMediaAddress(QByteArrayView reply);

// The profiles in the camera's order; none when the answer holds none.
std::vector<MediaProfile> ParseProfiles(QByteArrayView reply);

// The stream address; none when the answer holds none, or one longer than
// 1024 characters.
std::optional<QString> ParseStreamUri(QByteArrayView reply);

}  // namespace qmd
