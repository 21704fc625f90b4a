#include "shell/desktop/status_notifier_host_watch.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace qmd {

namespace {

constexpr char kWatcherService[] = "org.kde.StatusNotifierWatcher";
constexpr char kWatcherPath[] = "/StatusNotifierWatcher";
constexpr char kWatcherInterface[] = "org.kde.StatusNotifierWatcher";

}  // namespace

StatusNotifierHostWatch::StatusNotifierHostWatch(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    auto* names = new QDBusServiceWatcher(QString::fromLatin1(kWatcherService), bus,
                                          QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(names, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                // Also a new owner in place of the old one: its host is another.
                following_ = !newOwner.isEmpty();
                emit Changed();
            });
    // Matched by sender name, so they are heard from whichever process owns
    // the watcher's name now.
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus.connect(QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
                    QString::fromLatin1(kWatcherInterface), QString::fromLatin1(signal), this, SIGNAL(Changed()));

    // Asked once, without waiting: until the answer nothing is followed.
    const QDBusPendingCall asked =
        bus.interface()->asyncCall(QStringLiteral("NameHasOwner"), QString::fromLatin1(kWatcherService));
    auto* answer = new QDBusPendingCallWatcher(asked, this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<bool> reply = *call;
        if (!reply.isError() && reply.value() && !following_) {
            following_ = true;
            emit Changed();
        }
        call->deleteLater();
    });
}

StatusNotifierHostWatch::~StatusNotifierHostWatch() = default;

}  // namespace qmd
