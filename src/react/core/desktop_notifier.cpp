#include "react/core/desktop_notifier.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <algorithm>

#include "common/application_title.h"
#include "react/core/react_log.h"

namespace qmd {
namespace {

const QString kNotificationService = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kNotificationSummary = QStringLiteral("Wykryto ruch");
// Shown until the user or the desktop closes it: the next one replaces it.
constexpr int kExpireAsTheDesktopChooses = -1;

QDBusArgument ImageData(const NotificationPicture& picture)
{
    QDBusArgument data;
    data.beginStructure();
    data << picture.Width << picture.Height << picture.Width * 3 << false << 8 << 3
         << QByteArray(reinterpret_cast<const char*>(picture.Rgb.data()), static_cast<qsizetype>(picture.Rgb.size()));
    data.endStructure();
    return data;
}

}  // namespace

NotificationPicture ShrinkForNotification(const FrameImage& frame)
{
    NotificationPicture picture;
    if (frame.Empty()) return picture;
    const int longest = std::max(frame.Width(), frame.Height());
    const int side = std::min(longest, kNotificationPictureSide);
    picture.Width = std::max(1, static_cast<int>(static_cast<long long>(frame.Width()) * side / longest));
    picture.Height = std::max(1, static_cast<int>(static_cast<long long>(frame.Height()) * side / longest));
    picture.Rgb.resize(static_cast<std::size_t>(picture.Width) * picture.Height * 3);
    std::uint8_t* out = picture.Rgb.data();
    for (int y = 0; y < picture.Height; ++y) {
        const int top = static_cast<int>(static_cast<long long>(y) * frame.Height() / picture.Height);
        const int bottom =
            std::max(top + 1, static_cast<int>(static_cast<long long>(y + 1) * frame.Height() / picture.Height));
        for (int x = 0; x < picture.Width; ++x) {
            const int left = static_cast<int>(static_cast<long long>(x) * frame.Width() / picture.Width);
            const int right =
                std::max(left + 1, static_cast<int>(static_cast<long long>(x + 1) * frame.Width() / picture.Width));
            unsigned long sum[3] = {0, 0, 0};
            for (int row = top; row < bottom; ++row) {
                const std::uint8_t* pixel = frame.Row(row) + static_cast<std::size_t>(left) * 3;
                for (int column = left; column < right; ++column, pixel += 3)
                    for (int c = 0; c < 3; ++c) sum[c] += pixel[c];
            }
            const unsigned long count = static_cast<unsigned long>(bottom - top) * (right - left);
            // Blue, green, red in the frame; red, green, blue out.
            *out++ = static_cast<std::uint8_t>(sum[2] / count);
            *out++ = static_cast<std::uint8_t>(sum[1] / count);
            *out++ = static_cast<std::uint8_t>(sum[0] / count);
        }
    }
    return picture;
}

DesktopNotifier::DesktopNotifier() : context_(std::make_unique<QObject>()) {}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::Notify(const std::string& text, const FrameImage& frame)
{
    // The picture is made here, on the caller's thread; the sending thread
    // only sends.
    QMetaObject::invokeMethod(
        context_.get(),
        [this, message = QString::fromStdString(text), picture = ShrinkForNotification(frame)] {
            Send(message, picture);
        },
        Qt::QueuedConnection);
}

void DesktopNotifier::Send(const QString& text, const NotificationPicture& picture)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (!missingReported_)
            qCWarning(lcReact, "no desktop notification: no session bus (%s)", qPrintable(bus.lastError().message()));
        missingReported_ = true;
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kNotificationService, kNotificationPath, kNotificationService,
                                                       QStringLiteral("Notify"));
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("quisk-motion-detector")}};
    if (!picture.Rgb.empty()) hints.insert(QStringLiteral("image-data"), QVariant::fromValue(ImageData(picture)));
    call << QString::fromUtf8(kApplicationTitle) << static_cast<uint>(lastId_)
         << QStringLiteral("quisk-motion-detector") << kNotificationSummary << text << QStringList() << hints
         << kExpireAsTheDesktopChooses;
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(call), context_.get());
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, context_.get(), [this, answer] {
        answer->deleteLater();
        const QDBusPendingReply<uint> reply = *answer;
        if (reply.isError()) {
            if (!missingReported_)
                qCWarning(lcReact, "no desktop notification: %s", qPrintable(reply.error().message()));
            missingReported_ = true;
            return;
        }
        lastId_ = reply.value();
        missingReported_ = false;
    });
}

}  // namespace qmd
