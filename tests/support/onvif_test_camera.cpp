#include "support/onvif_test_camera.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTcpSocket>

#include <cstdlib>

namespace qmd::test {

namespace {

// The text of the first element of that local name, whatever its prefix.
QByteArray ElementText(const QByteArray& xml, const char* name)
{
    const QRegularExpression pattern(QStringLiteral("<(?:[\\w.-]+:)?%1(?:\\s[^>]*)?>([^<]*)</").arg(QLatin1String(name)));
    const auto match = pattern.match(QString::fromUtf8(xml));
    return match.hasMatch() ? match.captured(1).trimmed().toUtf8() : QByteArray();
}

bool Calls(const QByteArray& xml, const char* operation)
{
    return QRegularExpression(QStringLiteral("<(?:[\\w.-]+:)?%1[\\s/>]").arg(QLatin1String(operation)))
        .match(QString::fromUtf8(xml))
        .hasMatch();
}

QByteArray Envelope(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\""
           " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\""
           " xmlns:tt=\"http://www.onvif.org/ver10/schema\" xmlns:ter=\"http://www.onvif.org/ver10/error\">"
           "<env:Body>" +
           body + "</env:Body></env:Envelope>";
}

QByteArray Response(int status, const QByteArray& body)
{
    const QByteArray reason = status == 200 ? "OK" : status == 400 ? "Bad Request" : "Error";
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
           "\r\nContent-Type: application/soap+xml; charset=utf-8\r\nConnection: close\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray Refusal()
{
    return Response(400, Envelope("<env:Fault><env:Code><env:Value>env:Sender</env:Value><env:Subcode>"
                                  "<env:Value>ter:NotAuthorized</env:Value></env:Subcode></env:Code>"
                                  "<env:Reason><env:Text xml:lang=\"en\">Sender not authorized</env:Text>"
                                  "</env:Reason></env:Fault>"));
}

QByteArray Profile(const char* token, const char* name, int width, int height)
{
    return QByteArray("<trt:Profiles token=\"") + token + "\" fixed=\"true\"><tt:Name>" + name +
           "</tt:Name><tt:VideoEncoderConfiguration token=\"enc_" + token +
           "\"><tt:Name>enc</tt:Name><tt:Encoding>H264</tt:Encoding><tt:Resolution><tt:Width>" +
           QByteArray::number(width) + "</tt:Width><tt:Height>" + QByteArray::number(height) +
           "</tt:Height></tt:Resolution></tt:VideoEncoderConfiguration></trt:Profiles>";
}

}  // namespace

OnvifTestCamera::OnvifTestCamera(OnvifTestCameraOptions options, QObject* parent)
    : QObject(parent), Options(std::move(options))
{
    connect(&Server, &QTcpServer::newConnection, this, &OnvifTestCamera::Accept);
    connect(&Probes, &QUdpSocket::readyRead, this, &OnvifTestCamera::ReadProbes);
}

bool OnvifTestCamera::Listen()
{
    return Server.listen(QHostAddress::LocalHost, 0);
}

bool OnvifTestCamera::AnswerProbes(const QHostAddress& group, quint16 port)
{
    if (!Probes.bind(QHostAddress(QHostAddress::AnyIPv4), port,
                     QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        return false;
    }
    return !group.isMulticast() || Probes.joinMulticastGroup(group);
}

QUrl OnvifTestCamera::DeviceAddress() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/onvif/device_service").arg(Server.serverPort()));
}

void OnvifTestCamera::ReadProbes()
{
    while (Probes.hasPendingDatagrams()) {
        const QNetworkDatagram probe = Probes.receiveDatagram();
        if (!Calls(probe.data(), "Probe")) continue;
        const QByteArray answer =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\""
            " xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
            " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
            " xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\"><SOAP-ENV:Header>"
            "<wsa:MessageID>urn:uuid:1b2c3d4e-0000-4000-8000-00000000cafe</wsa:MessageID><wsa:RelatesTo>" +
            ElementText(probe.data(), "MessageID") +
            "</wsa:RelatesTo><wsa:To>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</wsa:To>"
            "<wsa:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</wsa:Action>"
            "</SOAP-ENV:Header><SOAP-ENV:Body><d:ProbeMatches><d:ProbeMatch><wsa:EndpointReference><wsa:Address>"
            "urn:uuid:5f0e1d2c-0000-4000-8000-0000000c0ffe</wsa:Address></wsa:EndpointReference>"
            "<d:Types>dn:NetworkVideoTransmitter</d:Types><d:Scopes>onvif://www.onvif.org/type/video_encoder "
            "onvif://www.onvif.org/mfr/" +
            QUrl::toPercentEncoding(Options.Maker) + " onvif://www.onvif.org/hardware/" +
            QUrl::toPercentEncoding(Options.Model) + " onvif://www.onvif.org/name/" +
            QUrl::toPercentEncoding(Options.Model) + "</d:Scopes><d:XAddrs>" + DeviceAddress().toEncoded() +
            " http://[fe80::1]:8899/onvif/device_service</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion>"
            "</d:ProbeMatch></d:ProbeMatches></SOAP-ENV:Body></SOAP-ENV:Envelope>";
        Probes.writeDatagram(answer, probe.senderAddress(), static_cast<quint16>(probe.senderPort()));
    }
}

void OnvifTestCamera::Accept()
{
    while (QTcpSocket* socket = Server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // The request collects in a property of its socket until it is whole.
        socket->setProperty("request", QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            QByteArray request = socket->property("request").toByteArray() + socket->readAll();
            socket->setProperty("request", request);
            const qsizetype headerEnd = request.indexOf("\r\n\r\n");
            if (headerEnd < 0) return;
            const QRegularExpression lengthPattern(QStringLiteral("(?i)\\r\\nContent-Length:\\s*(\\d+)"));
            const auto length = lengthPattern.match(QString::fromLatin1(request.left(headerEnd)));
            const qsizetype bodyLength = length.hasMatch() ? length.captured(1).toLongLong() : 0;
            if (request.size() < headerEnd + 4 + bodyLength) return;
            const QByteArray answer = Answer(request.mid(headerEnd + 4, bodyLength));
            if (answer.isEmpty()) return;
            socket->write(answer);
            socket->disconnectFromHost();
        });
    }
}

bool OnvifTestCamera::TokenIsValid(const QByteArray& request) const
{
    const QByteArray user = ElementText(request, "Username");
    const QByteArray digest = ElementText(request, "Password");
    const QByteArray nonce = QByteArray::fromBase64(ElementText(request, "Nonce"));
    const QByteArray created = ElementText(request, "Created");
    const QDateTime date = QDateTime::fromString(QString::fromLatin1(created), Qt::ISODateWithMs);
    const QDateTime cameraNow = QDateTime::currentDateTimeUtc().addSecs(Options.ClockSkewSeconds);
    if (user != Options.User.toUtf8() || !date.isValid() || std::llabs(date.secsTo(cameraNow)) > 5) return false;
    const QByteArray expected =
        QCryptographicHash::hash(nonce + created + Options.Password.toUtf8(), QCryptographicHash::Sha1).toBase64();
    return digest == expected;
}

QByteArray OnvifTestCamera::Answer(const QByteArray& request)
{
    const int refusals = RefusalCount;
    QByteArray answer = AnswerCall(request);
    if (Answered && !answer.isEmpty()) {
        static const char* const calls[] = {"GetSystemDateAndTime", "GetDeviceInformation", "GetCapabilities",
                                            "GetProfiles", "GetStreamUri"};
        QString call = QStringLiteral("refused");
        for (const char* name : calls) {
            if (RefusalCount == refusals && Calls(request, name)) call = QLatin1String(name);
        }
        Answered(call);
    }
    return answer;
}

QByteArray OnvifTestCamera::AnswerCall(const QByteArray& request)
{
    if (Options.Silent) return {};
    if (Calls(request, "GetSystemDateAndTime")) {
        const QDateTime now = QDateTime::currentDateTimeUtc().addSecs(Options.ClockSkewSeconds);
        return Response(200, Envelope("<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime>"
                                      "<tt:DateTimeType>Manual</tt:DateTimeType><tt:UTCDateTime><tt:Time><tt:Hour>" +
                                      QByteArray::number(now.time().hour()) + "</tt:Hour><tt:Minute>" +
                                      QByteArray::number(now.time().minute()) + "</tt:Minute><tt:Second>" +
                                      QByteArray::number(now.time().second()) + "</tt:Second></tt:Time><tt:Date>"
                                      "<tt:Year>" + QByteArray::number(now.date().year()) + "</tt:Year><tt:Month>" +
                                      QByteArray::number(now.date().month()) + "</tt:Month><tt:Day>" +
                                      QByteArray::number(now.date().day()) + "</tt:Day></tt:Date></tt:UTCDateTime>"
                                      "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>"));
    }
    if (!TokenIsValid(request)) {
        ++RefusalCount;
        return Refusal();
    }
    if (Calls(request, "GetDeviceInformation")) {
        return Response(200, Envelope("<tds:GetDeviceInformationResponse><tds:Manufacturer>" +
                                      Options.Maker.toHtmlEscaped().toUtf8() + "</tds:Manufacturer><tds:Model>" +
                                      Options.Model.toHtmlEscaped().toUtf8() +
                                      "</tds:Model><tds:FirmwareVersion>1.0</tds:FirmwareVersion><tds:SerialNumber>"
                                      "0001</tds:SerialNumber><tds:HardwareId>1</tds:HardwareId>"
                                      "</tds:GetDeviceInformationResponse>"));
    }
    if (Calls(request, "GetCapabilities")) {
        // The media service at an address of its own, as on many cameras.
        return Response(200, Envelope("<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Media><tt:XAddr>http://"
                                      "127.0.0.1:" +
                                      QByteArray::number(Server.serverPort()) +
                                      "/onvif/media_service</tt:XAddr></tt:Media></tds:Capabilities>"
                                      "</tds:GetCapabilitiesResponse>"));
    }
    if (Calls(request, "GetProfiles")) {
        if (Options.HugeProfiles) return Response(200, QByteArray(8 * 1024 * 1024, ' '));
        return Response(200, Envelope("<trt:GetProfilesResponse>" + Profile("main", "MainStream", 640, 480) +
                                      Profile("sub", "SubStream", 320, 240) + "</trt:GetProfilesResponse>"));
    }
    if (Calls(request, "GetStreamUri")) {
        const QByteArray token = ElementText(request, "ProfileToken");
        const QString uri = token == "sub" ? Options.SubStream : Options.MainStream;
        return Response(200, Envelope("<trt:GetStreamUriResponse><trt:MediaUri><tt:Uri>" +
                                      uri.toHtmlEscaped().toUtf8() +
                                      "</tt:Uri><tt:InvalidAfterConnect>false</tt:InvalidAfterConnect>"
                                      "<tt:InvalidAfterReboot>false</tt:InvalidAfterReboot><tt:Timeout>PT0S"
                                      "</tt:Timeout></trt:MediaUri></trt:GetStreamUriResponse>"));
    }
    return Response(400, Envelope("<env:Fault><env:Code><env:Value>env:Sender</env:Value><env:Subcode><env:Value>"
                                  "ter:ActionNotSupported</env:Value></env:Subcode></env:Code><env:Reason>"
                                  "<env:Text xml:lang=\"en\">Not supported</env:Text></env:Reason></env:Fault>"));
}

}  // namespace qmd::test
