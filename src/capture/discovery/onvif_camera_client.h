#pragma once
// Asks one ONVIF camera, with a user and password, for its media profiles
// and their stream addresses: GetDeviceInformation (maker and model, and
// whether the camera takes the password), GetCapabilities (where its media
// service is), GetProfiles and GetStreamUri. Runs on the thread that owns it
// (the GUI thread) without waiting: every request is asynchronous, each
// answer is bounded in size and time, and the whole conversation ends
// within kLongest whatever the camera does.
#include "capture/discovery/onvif_soap.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

namespace qmd {

class OnvifCameraClient : public QObject {
    Q_OBJECT
public:
    using Failure = OnvifFailure;

    static constexpr std::chrono::milliseconds kRequestTime{5000};
    static constexpr std::chrono::milliseconds kLongest{20000};
    // Far more than any answer of these calls; a larger one is no camera's.
    static constexpr qint64 kMaxAnswerBytes = 1024 * 1024;
    // Cameras have two or three profiles; more are not asked for addresses.
    static constexpr std::size_t kMaxProfiles = 8;

    explicit OnvifCameraClient(QObject* parent = nullptr);
    ~OnvifCameraClient() override;

    // Starts asking; a conversation in progress is abandoned.
    void Ask(const QUrl& deviceAddress, const OnvifCredentials& credentials);
    void Cancel();
    bool IsAsking() const { return Guard.isActive(); }

signals:
    // The profiles in the camera's order (the first is its main stream),
    // each with its stream address.
    void Answered(const qmd::DeviceInformation& device, const std::vector<qmd::MediaProfile>& profiles);
    void Failed(qmd::OnvifFailure failure);

private:
    struct Answer {
        int Status = 0;
        QByteArray Body;
        bool Reached = false;  // the camera answered something over HTTP
        bool TooLarge = false;
    };
    using Handler = void (OnvifCameraClient::*)(const Answer&);

    void Post(const QUrl& address, const QByteArray& body, bool signedIn, Handler handler);
    void Finish(const Answer& answer, QNetworkReply* reply, Handler handler);
    void Fail(Failure failure);
    // The failure an answer that is not the one asked for means.
    Failure FailureOf(const Answer& answer) const;
    bool IsRefusal(const Answer& answer) const;

    void AskDeviceInformation();
    void OnDeviceInformation(const Answer& answer);
    void OnClock(const Answer& answer);
    void OnCapabilities(const Answer& answer);
    void OnProfiles(const Answer& answer);
    void AskNextStreamUri();
    void OnStreamUri(const Answer& answer);

    QNetworkAccessManager* Network;
    QPointer<QNetworkReply> Pending;
    QTimer Guard;
    QUrl DeviceAddress;
    QUrl MediaAddress;
    OnvifCredentials Credentials;
    qint64 ClockOffsetMs = 0;
    bool ClockAsked = false;
    DeviceInformation Device;
    std::vector<MediaProfile> Profiles;
    std::vector<MediaProfile> Streams;
    std::size_t NextProfile = 0;
};

}  // namespace qmd
