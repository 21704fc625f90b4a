#include "shell/desktop/status_notifier_host_watch.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

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
                if (!newOwner.isEmpty()) {
                    // A new owner in place of the old one has hosts of its own.
                    AskAboutHost();
                    return;
                }
                following_ = false;
                emit Changed();
            });
    // Matched by sender name, so they are heard from whichever process owns
    // the watcher's name now.
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus.connect(QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
                    QString::fromLatin1(kWatcherInterface), QString::fromLatin1(signal), this, SLOT(AskAboutHost()));
    AskAboutHost();
}

StatusNotifierHostWatch::~StatusNotifierHostWatch() = default;

void StatusNotifierHostWatch::AskAboutHost()
{
    QDBusMessage question =
        QDBusMessage::createMethodCall(QString::fromLatin1(kWatcherService), QString::fromLatin1(kWatcherPath),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    question << QString::fromLatin1(kWatcherInterface) << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* answer = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(question), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        // No watcher, or one without a host: then Qt shows the icon in another
        // tray (or none), which these signals do not speak for.
        following_ = !reply.isError() && reply.value().variant().toBool();
        emit Changed();
    });
}

}  // namespace qmd
