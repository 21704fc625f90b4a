#include "onvif_camera_client.h"

#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>

#include <array>
#include <cstdlib>
#include <memory>

namespace qmd {

namespace {

// A clock closer than this to the camera's is not what refused the token:
// the camera tells its time to the second, and the way there takes some.
constexpr qint64 kClockSlackMs = 2000;

QByteArray NewNonce()
{
    std::array<quint32, 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.data()), sizeof(words));
}

}  // namespace

OnvifCameraClient::OnvifCameraClient(QObject* parent) : QObject(parent), Network(new QNetworkAccessManager(this))
{
    // Cameras are on the local network: no proxy, and no proxy resolver.
    Network->setProxy(QNetworkProxy::NoProxy);
    connect(Network, &QNetworkAccessManager::authenticationRequired, this,
            [this](QNetworkReply* reply, QAuthenticator* authenticator) {
                // Some cameras ask HTTP Digest instead of, or besides, the
                // token. Answered once: a second question is a refusal.
                if (reply->property("qmdAnswered").toBool() || Credentials.User.isEmpty()) return;
                reply->setProperty("qmdAnswered", true);
                authenticator->setUser(Credentials.User);
                authenticator->setPassword(Credentials.Password);
            });
    Guard.setSingleShot(true);
    connect(&Guard, &QTimer::timeout, this, [this] { Fail(Failure::NoAnswer); });
}

OnvifCameraClient::~OnvifCameraClient()
{
    Cancel();
}

void OnvifCameraClient::Ask(const QUrl& deviceAddress, const OnvifCredentials& credentials)
{
    Cancel();
    DeviceAddress = deviceAddress;
    MediaAddress = deviceAddress;
    Credentials = credentials;
    ClockOffsetMs = 0;
    ClockAsked = false;
    Device = {};
    Profiles.clear();
    Streams.clear();
    NextProfile = 0;
    Guard.start(kLongest);
    AskDeviceInformation();
}

void OnvifCameraClient::Cancel()
{
    Guard.stop();
    if (Pending) {
        QNetworkReply* reply = Pending;
        Pending = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void OnvifCameraClient::Post(const QUrl& address, const QByteArray& body, bool signedIn, Handler handler)
{
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/soap+xml; charset=utf-8"));
    request.setTransferTimeout(static_cast<int>(kRequestTime.count()));
    // A redirect is no answer of an ONVIF service.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    const OnvifCredentials credentials = signedIn ? Credentials : OnvifCredentials{};
    const QDateTime created = QDateTime::currentDateTimeUtc().addMSecs(ClockOffsetMs);
    QNetworkReply* reply = Network->post(request, OnvifEnvelope(body, credentials, created, NewNonce()));
    Pending = reply;
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::downloadProgress, this, [reply, tooLarge](qint64 received, qint64 total) {
        if (received > kMaxAnswerBytes || total > kMaxAnswerBytes) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, tooLarge, handler] {
        Answer answer;
        answer.TooLarge = *tooLarge;
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        answer.Reached = status.isValid() || answer.TooLarge;
        answer.Status = status.toInt();
        if (!answer.TooLarge && reply->isOpen()) answer.Body = reply->read(kMaxAnswerBytes);
        Finish(answer, reply, handler);
    });
}

void OnvifCameraClient::Finish(const Answer& answer, QNetworkReply* reply, Handler handler)
{
    reply->deleteLater();
    if (reply != Pending) return;
    Pending = nullptr;
    (this->*handler)(answer);
}

void OnvifCameraClient::Fail(Failure failure)
{
    Cancel();
    emit Failed(failure);
}

bool OnvifCameraClient::IsRefusal(const Answer& answer) const
{
    if (answer.Status == 401 || answer.Status == 403) return true;
    const auto fault = FaultOf(answer.Body);
    return fault && fault->IsRefusal();
}

OnvifCameraClient::Failure OnvifCameraClient::FailureOf(const Answer& answer) const
{
    if (!answer.Reached) return Failure::NoAnswer;
    if (IsRefusal(answer)) return Failure::Refused;
    return Failure::NotOnvif;
}

void OnvifCameraClient::AskDeviceInformation()
{
    Post(DeviceAddress, GetDeviceInformationBody(), true, &OnvifCameraClient::OnDeviceInformation);
}

void OnvifCameraClient::OnDeviceInformation(const Answer& answer)
{
    if (const auto device = ParseDeviceInformation(answer.Body)) {
        Device = *device;
    } else if (IsRefusal(answer) && !ClockAsked && !Credentials.User.isEmpty()) {
        // The token is dated: a camera whose clock is far from ours refuses
        // the right password. It tells its time to anyone.
        ClockAsked = true;
        Post(DeviceAddress, GetSystemDateAndTimeBody(), false, &OnvifCameraClient::OnClock);
        return;
    } else if (!answer.Reached || IsRefusal(answer) || !FaultOf(answer.Body)) {
        Fail(FailureOf(answer));
        return;
    }
    // A fault that is no refusal: the camera does not tell its maker, which
    // the rest does not need.
    Post(DeviceAddress, GetMediaCapabilitiesBody(), true, &OnvifCameraClient::OnCapabilities);
}

void OnvifCameraClient::OnClock(const Answer& answer)
{
    const auto cameraTime = ParseSystemDateAndTime(answer.Body);
    if (!cameraTime) {
        Fail(answer.Reached ? Failure::Refused : Failure::NoAnswer);
        return;
    }
    const qint64 offset = QDateTime::currentDateTimeUtc().msecsTo(*cameraTime);
    if (std::abs(offset) < kClockSlackMs) {
        Fail(Failure::Refused);
        return;
    }
    ClockOffsetMs = offset;
    AskDeviceInformation();
}

void OnvifCameraClient::OnCapabilities(const Answer& answer)
{
    if (const auto media = ParseMediaAddress(answer.Body)) {
        MediaAddress = *media;
    } else if (IsRefusal(answer) || !answer.Reached) {
        Fail(FailureOf(answer));
        return;
    }
    // Otherwise the media service is asked where the device service is, as
    // on most cameras.
    Post(MediaAddress, GetProfilesBody(), true, &OnvifCameraClient::OnProfiles);
}

void OnvifCameraClient::OnProfiles(const Answer& answer)
{
    Profiles = ParseProfiles(answer.Body);
    if (Profiles.empty()) {
        Fail(answer.Reached && !IsRefusal(answer) && FaultOf(answer.Body) ? Failure::NoStream : FailureOf(answer));
        return;
    }
    if (Profiles.size() > kMaxProfiles) Profiles.resize(kMaxProfiles);
    AskNextStreamUri();
}

void OnvifCameraClient::AskNextStreamUri()
{
    if (NextProfile < Profiles.size()) {
        Post(MediaAddress, GetStreamUriBody(Profiles[NextProfile].Token), true, &OnvifCameraClient::OnStreamUri);
        return;
    }
    Guard.stop();
    if (Streams.empty()) {
        emit Failed(Failure::NoStream);
        return;
    }
    emit Answered(Device, Streams);
}

void OnvifCameraClient::OnStreamUri(const Answer& answer)
{
    MediaProfile profile = Profiles[NextProfile++];
    if (const auto uri = ParseStreamUri(answer.Body)) {
        profile.StreamAddress = *uri;
        Streams.push_back(std::move(profile));
    } else if (IsRefusal(answer)) {
        Fail(Failure::Refused);
        return;
    }
    // A profile without a stream (audio only, a snapshot profile) is left out.
    AskNextStreamUri();
}

}  // namespace qmd
