#include "shell/desktop/window_platform.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QString>
#include <QtGlobal>

#ifdef QMD_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace qmd {

namespace {

Q_LOGGING_CATEGORY(lcWindowPlatform, "qmd.shell.platform", QtInfoMsg)

constexpr char kPlatformVariable[] = "QT_QPA_PLATFORM";

// A set DISPLAY may name a server that is gone (a stale variable in a
// Wayland session): only one that accepts a connection counts.
bool XDisplayAnswers()
{
#ifdef QMD_HAVE_XCB
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
#else
    return false;
#endif
}

}  // namespace

X11WhereReachable::X11WhereReachable()
{
    if (!qEnvironmentVariableIsEmpty(kPlatformVariable)) return;
    if (!XDisplayAnswers()) {
        qCDebug(lcWindowPlatform) << "no X display answers: Qt chooses the window system";
        return;
    }
    setByUs_ = qputenv(kPlatformVariable, "xcb");
    qCDebug(lcWindowPlatform) << "an X display answers: the windows go there";
}

X11WhereReachable::~X11WhereReachable() { Forget(); }

void X11WhereReachable::Forget()
{
    if (setByUs_) qunsetenv(kPlatformVariable);
    setByUs_ = false;
}

bool WindowPositionsKnown() { return !QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

}  // namespace qmd
