#include "ws_discovery.h"

#include "capture/discovery/xml_elements.h"

namespace qmd {

QByteArray ProbeMessage(const QString& messageId)
{
    return QByteArrayLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
               "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
               " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
               " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
               " xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\">"
               "<s:Header><a:MessageID>") +
           messageId.toHtmlEscaped().toUtf8() +
           QByteArrayLiteral("</a:MessageID>"
                             "<a:To>urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To>"
                             "<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>"
                             "</s:Header><s:Body><d:Probe><d:Types>dn:NetworkVideoTransmitter</d:Types>"
                             "</d:Probe></s:Body></s:Envelope>");
}

std::vector<ProbeMatch> ParseProbeMatches(QByteArrayView datagram)
{
    std::vector<ProbeMatch> matches;
    const auto read = ReadAnswer(datagram, u"ProbeMatches");
    if (!read) return matches;
    const XmlElements* xml = &read->Xml;
    const int answer = read->At;
    for (int match : xml->FindAll(u"ProbeMatch", answer)) {
        ProbeMatch found;
        const int reference = xml->Find(u"EndpointReference", match);
        if (reference >= 0) found.Endpoint = xml->TextOf(u"Address", reference);
        found.Addresses = xml->TextOf(u"XAddrs", match).simplified().split(u' ', Qt::SkipEmptyParts);
        found.Scopes = xml->TextOf(u"Scopes", match).simplified().split(u' ', Qt::SkipEmptyParts);
        matches.push_back(std::move(found));
    }
    return matches;
}

namespace {

// The value of an ONVIF scope "onvif://www.onvif.org/<kind>/<value>".
QString ScopeValue(const QStringList& scopes, QStringView kind)
{
    const QString prefix = QStringLiteral("onvif://www.onvif.org/") + kind.toString() + QLatin1Char('/');
    for (const QString& scope : scopes) {
        if (scope.startsWith(prefix, Qt::CaseInsensitive) && scope.size() > prefix.size()) {
            // Percent-encoded, as URIs are; some cameras write spaces as '_'.
            return QUrl::fromPercentEncoding(scope.mid(prefix.size()).toUtf8()).trimmed();
        }
    }
    return {};
}

bool IsDeviceAddress(const QUrl& url)
{
    return url.isValid() && (url.scheme() == u"http" || url.scheme() == u"https") && !url.host().isEmpty();
}

}  // namespace

FoundCamera CameraOfMatch(const ProbeMatch& match, const QHostAddress& sender)
{
    FoundCamera camera;
    camera.Endpoint = match.Endpoint;
    camera.Name = ScopeValue(match.Scopes, u"name");
    camera.Model = ScopeValue(match.Scopes, u"hardware");
    camera.Maker = ScopeValue(match.Scopes, u"mfr");
    if (camera.Maker.isEmpty()) camera.Maker = ScopeValue(match.Scopes, u"manufacturer");

    std::vector<QUrl> usable;
    for (const QString& text : match.Addresses) {
        const QUrl url(text, QUrl::StrictMode);
        if (IsDeviceAddress(url)) usable.push_back(url);
    }
    for (const QUrl& url : usable) {
        if (QHostAddress(url.host()).isEqual(sender, QHostAddress::TolerantConversion)) {
            camera.DeviceAddress = url;
            return camera;
        }
    }
    // An IPv4 address before an IPv6 one: a link-local IPv6 address needs
    // its interface, which the answer does not name.
    for (const QUrl& url : usable) {
        if (QHostAddress(url.host()).protocol() != QAbstractSocket::IPv6Protocol) {
            camera.DeviceAddress = url;
            return camera;
        }
    }
    if (!usable.empty()) camera.DeviceAddress = usable.front();
    return camera;
}

}  // namespace qmd
