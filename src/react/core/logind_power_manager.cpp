#include "react/core/logind_power_manager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QString>
#include <QVariant>

#include <cstdlib>

#include "common/quisk_error.h"

namespace qmd {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
constexpr int kReplyTimeoutMs = 5000;

void Call(const QString& path, const QString& interface, const QString& method, const QVariantList& args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(args);
    const QDBusMessage reply = QDBusConnection::systemBus().call(message, QDBus::Block, kReplyTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        throw QuiskError(("logind " + method + ": " + reply.errorMessage()).toStdString());
}

// interactive = false: no authentication dialog while nobody may be watching.
void CallManager(const QString& method) { Call(kManagerPath, kManagerInterface, method, {QVariant(false)}); }

}  // namespace

void LogindPowerManager::Suspend() { CallManager(QStringLiteral("Suspend")); }
void LogindPowerManager::Hibernate() { CallManager(QStringLiteral("Hibernate")); }
void LogindPowerManager::PowerOff() { CallManager(QStringLiteral("PowerOff")); }
void LogindPowerManager::Reboot() { CallManager(QStringLiteral("Reboot")); }

void LogindPowerManager::LogOff()
{
    const char* sessionId = std::getenv("XDG_SESSION_ID");
    if (sessionId && *sessionId) {
        Call(kManagerPath, kManagerInterface, QStringLiteral("TerminateSession"), {QString::fromUtf8(sessionId)});
    } else {
        Call(QStringLiteral("/org/freedesktop/login1/session/auto"), kSessionInterface, QStringLiteral("Terminate"),
             {});
    }
}

}  // namespace qmd
