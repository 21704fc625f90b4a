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
    const auto read = ReadAnswer(reply, u"Fault");
    if (!read) return std::nullopt;
    const XmlElements* xml = &read->Xml;
    const int fault = read->At;
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
    const auto read = ReadAnswer(reply, u"GetDeviceInformationResponse");
    if (!read) return std::nullopt;
    return DeviceInformation{read->Xml.TextOf(u"Manufacturer", read->At), read->Xml.TextOf(u"Model", read->At)};
}

std::optional<QDateTime> ParseSystemDateAndTime(QByteArrayView reply)
{
    const auto read = ReadAnswer(reply, u"UTCDateTime");
    if (!read) return std::nullopt;
    const XmlElements* xml = &read->Xml;
    const int utc = read->At;
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
    const auto read = ReadAnswer(reply, u"Capabilities");
    if (!read) return std::nullopt;
    const int media = read->Xml.Find(u"Media", read->At);
    if (media < 0) return std::nullopt;
    const QUrl address(read->Xml.TextOf(u"XAddr", media), QUrl::StrictMode);
    if (!address.isValid() || (address.scheme() != u"http" && address.scheme() != u"https")) return std::nullopt;
    return address;
}

std::vector<MediaProfile> ParseProfiles(QByteArrayView reply)
{
    std::vector<MediaProfile> profiles;
    const auto read = ReadAnswer(reply, u"GetProfilesResponse");
    if (!read) return profiles;
    const XmlElements* xml = &read->Xml;
    const int answer = read->At;
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
    const auto read = ReadAnswer(reply, u"GetStreamUriResponse");
    if (!read) return std::nullopt;
    const QString uri = read->Xml.TextOf(u"Uri", read->At);
    // Longer than any camera's; it would not fit the address field whole.
    constexpr qsizetype kMaxUri = 1024;
    const QUrl url(uri, QUrl::StrictMode);
    if (uri.size() > kMaxUri || !url.isValid() || url.host().isEmpty()) return std::nullopt;
    return uri;
}

}  // namespace qmd
