#include "onvif_soap.h"

#include "capture/discovery/xml_elements.h"

#include <QCryptographicHash>

namespace qmd {

namespace {

// The local part of a qualified name ("ter:NotAuthorized").
QString LocalPart(const QString& name)
{
    const qsizetype colon = name.lastIndexOf(u':');
    return colon < 0 ? name : name.mid(colon + 1);
}

int ToCount(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? value : 0;
}

}  // namespace

QByteArray UsernameTokenDigest(QByteArrayView nonce, QByteArrayView created, const QString& password)
{
    QCryptographicHash sha1(QCryptographicHash::Sha1);
    sha1.addData(nonce);
    sha1.addData(created);
    sha1.addData(password.toUtf8());
    return sha1.result().toBase64();
}

QByteArray OnvifEnvelope(const QByteArray& body, const OnvifCredentials& credentials, const QDateTime& created,
                         QByteArrayView nonce)
{
    QByteArray envelope = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                            "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\">");
    if (!credentials.User.isEmpty()) {
        const QByteArray createdText = created.toUTC().toString(Qt::ISODateWithMs).toLatin1();
        envelope += QByteArrayLiteral(
                        "<s:Header><wsse:Security s:mustUnderstand=\"1\" xmlns:wsse=\"http://docs.oasis-open.org/wss/"
                        "2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd\" xmlns:wsu=\"http://docs.oasis-open.org/"
                        "wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd\"><wsse:UsernameToken>"
                        "<wsse:Username>") +
                    credentials.User.toHtmlEscaped().toUtf8() +
                    QByteArrayLiteral("</wsse:Username><wsse:Password Type=\"http://docs.oasis-open.org/wss/2004/01/"
                                      "oasis-200401-wss-username-token-profile-1.0#PasswordDigest\">") +
                    UsernameTokenDigest(nonce, createdText, credentials.Password) +
                    QByteArrayLiteral("</wsse:Password><wsse:Nonce EncodingType=\"http://docs.oasis-open.org/wss/"
                                      "2004/01/oasis-200401-wss-soap-message-security-1.0#Base64Binary\">") +
                    nonce.toByteArray().toBase64() + QByteArrayLiteral("</wsse:Nonce><wsu:Created>") + createdText +
                    QByteArrayLiteral("</wsu:Created></wsse:UsernameToken></wsse:Security></s:Header>");
    }
    envelope += QByteArrayLiteral("<s:Body>") + body + QByteArrayLiteral("</s:Body></s:Envelope>");
    return envelope;
}

QByteArray GetSystemDateAndTimeBody()
{
    return QByteArrayLiteral("<GetSystemDateAndTime xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/>");
}

QByteArray GetDeviceInformationBody()
{
    return QByteArrayLiteral("<GetDeviceInformation xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/>");
}

QByteArray GetMediaCapabilitiesBody()
{
    return QByteArrayLiteral("<GetCapabilities xmlns=\"http://www.onvif.org/ver10/device/wsdl\">"
                             "<Category>Media</Category></GetCapabilities>");
}

QByteArray GetProfilesBody()
{
    return QByteArrayLiteral("<GetProfiles xmlns=\"http://www.onvif.org/ver10/media/wsdl\"/>");
}

QByteArray GetStreamUriBody(const QString& profileToken)
{
    return QByteArrayLiteral("<GetStreamUri xmlns=\"http://www.onvif.org/ver10/media/wsdl\">"
                             "<StreamSetup><Stream xmlns=\"http://www.onvif.org/ver10/schema\">RTP-Unicast</Stream>"
                             "<Transport xmlns=\"http://www.onvif.org/ver10/schema\"><Protocol>RTSP</Protocol>"
                             "</Transport></StreamSetup><ProfileToken>") +
           profileToken.toHtmlEscaped().toUtf8() + QByteArrayLiteral("</ProfileToken></GetStreamUri>");
}

bool SoapFault::IsRefusal() const
{
    return Subcode == u"NotAuthorized" || Subcode == u"FailedAuthentication" || Subcode == u"InvalidSecurity" ||
           Subcode == u"InvalidSecurityToken" || Subcode == u"FailedCheck" || Code == u"NotAuthorized" ||
           Code == u"FailedAuthentication";
}

std::optional<SoapFault> FaultOf(QByteArrayView reply)
{
    const auto xml = XmlElements::Read(reply);
    if (!xml) return std::nullopt;
    const int fault = xml->Find(u"Fault");
    if (fault < 0) return std::nullopt;
    SoapFault result;
    const int code = xml->Find(u"Code", fault);
    if (code >= 0) {
        result.Code = LocalPart(xml->TextOf(u"Value", code));
        // Subcodes nest; the innermost is the most precise.
        for (int subcode = xml->Find(u"Subcode", code); subcode >= 0; subcode = xml->Find(u"Subcode", subcode)) {
            result.Subcode = LocalPart(xml->TextOf(u"Value", subcode));
        }
        result.Reason = xml->TextOf(u"Text", fault);
    } else {
        result.Code = LocalPart(xml->TextOf(u"faultcode", fault));
        result.Reason = xml->TextOf(u"faultstring", fault);
    }
    return result;
}

std::optional<DeviceInformation> ParseDeviceInformation(QByteArrayView reply)
{
    const auto xml = XmlElements::Read(reply);
    if (!xml) return std::nullopt;
    const int answer = xml->Find(u"GetDeviceInformationResponse");
    if (answer < 0) return std::nullopt;
    return DeviceInformation{xml->TextOf(u"Manufacturer", answer), xml->TextOf(u"Model", answer)};
}

std::optional<QDateTime> ParseSystemDateAndTime(QByteArrayView reply)
{
    const auto xml = XmlElements::Read(reply);
    if (!xml) return std::nullopt;
    const int utc = xml->Find(u"UTCDateTime");
    if (utc < 0) return std::nullopt;
    const int date = xml->Find(u"Date", utc);
    const int time = xml->Find(u"Time", utc);
    if (date < 0 || time < 0) return std::nullopt;
    const QDate day(xml->TextOf(u"Year", date).toInt(), xml->TextOf(u"Month", date).toInt(),
                    xml->TextOf(u"Day", date).toInt());
    const QTime clock(xml->TextOf(u"Hour", time).toInt(), xml->TextOf(u"Minute", time).toInt(),
                      xml->TextOf(u"Second", time).toInt());
    if (!day.isValid() || !clock.isValid()) return std::nullopt;
    return QDateTime(day, clock, Qt::UTC);
}

std::optional<QUrl> ParseMediaAddress(QByteArrayView reply)
{
    const auto xml = XmlElements::Read(reply);
    if (!xml) return std::nullopt;
    const int media = xml->Find(u"Media", xml->Find(u"Capabilities"));
    if (media < 0) return std::nullopt;
    const QUrl address(xml->TextOf(u"XAddr", media), QUrl::StrictMode);
    if (!address.isValid() || (address.scheme() != u"http" && address.scheme() != u"https")) return std::nullopt;
    return address;
}

std::vector<MediaProfile> ParseProfiles(QByteArrayView reply)
{
    std::vector<MediaProfile> profiles;
    const auto xml = XmlElements::Read(reply);
    if (!xml) return profiles;
    const int answer = xml->Find(u"GetProfilesResponse");
    if (answer < 0) return profiles;
    for (int index : xml->FindAll(u"Profiles", answer)) {
        if ((*xml)[index].Parent != answer || (*xml)[index].Token.isEmpty()) continue;
        MediaProfile profile;
        profile.Token = (*xml)[index].Token;
        profile.Name = xml->TextOf(u"Name", index);
        const int encoder = xml->Find(u"VideoEncoderConfiguration", index);
        if (encoder >= 0) {
            profile.Encoding = xml->TextOf(u"Encoding", encoder);
            const int resolution = xml->Find(u"Resolution", encoder);
            if (resolution >= 0) {
                profile.Width = ToCount(xml->TextOf(u"Width", resolution));
                profile.Height = ToCount(xml->TextOf(u"Height", resolution));
            }
        }
        profiles.push_back(std::move(profile));
    }
    return profiles;
}

std::optional<QString> ParseStreamUri(QByteArrayView reply)
{
    const auto xml = XmlElements::Read(reply);
    if (!xml) return std::nullopt;
    const int answer = xml->Find(u"GetStreamUriResponse");
    if (answer < 0) return std::nullopt;
    const QString uri = xml->TextOf(u"Uri", answer);
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return std::nullopt;
    return uri;
}

}  // namespace qmd
