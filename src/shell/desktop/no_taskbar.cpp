#include "shell/desktop/no_taskbar.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QSystemTrayIcon>
#include <QWidget>

#ifdef QMD_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#endif

namespace qmd {

namespace {

#ifdef QMD_HAVE_XCB

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

xcb_connection_t* X11Connection()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// EWMH: the client itself writes _NET_WM_STATE while its window is
// unmapped (Qt merges what it finds there when it maps the window); once the
// window is mapped the window manager owns the property and is asked instead.
void SetSkipStates(QWidget* window, bool skip)
{
    xcb_connection_t* connection = X11Connection();
    if (!connection) return;
    const auto windowId = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = InternAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t skipTaskbar = InternAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    const xcb_atom_t skipPager = InternAtom(connection, "_NET_WM_STATE_SKIP_PAGER");
    if (state == XCB_ATOM_NONE || skipTaskbar == XCB_ATOM_NONE || skipPager == XCB_ATOM_NONE) return;

    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, windowId), nullptr));
    const bool mapped = attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED;

    if (!mapped) {
        std::vector<xcb_atom_t> states;
        const auto cookie = xcb_get_property(connection, 0, windowId, state, XCB_ATOM_ATOM, 0, 1024);
        XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
        if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto* existing = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
            states.assign(existing, existing + xcb_get_property_value_length(reply.get()) / sizeof(xcb_atom_t));
        }
        bool changed = false;
        for (xcb_atom_t wanted : {skipTaskbar, skipPager}) {
            const auto found = std::find(states.begin(), states.end(), wanted);
            if (skip && found == states.end()) {
                states.push_back(wanted);
                changed = true;
            } else if (!skip && found != states.end()) {
                states.erase(found);
                changed = true;
            }
        }
        // Every change of the property makes Qt read the window's state
        // again; an unneeded one can bring back a stale minimised state.
        if (!changed) return;
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, windowId, state, XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(states.size()), states.data());
    } else {
        XcbReply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(connection, xcb_get_geometry(connection, windowId), nullptr));
        if (!geometry) return;
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = windowId;
        message.type = state;
        message.data.data32[0] = skip ? 1 : 0;  // _NET_WM_STATE_ADD or _NET_WM_STATE_REMOVE
        message.data.data32[1] = skipTaskbar;
        message.data.data32[2] = skipPager;
        message.data.data32[3] = 1;  // from a normal application
        xcb_send_event(connection, 0, geometry->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    }
    xcb_flush(connection);
}

#endif

bool IsX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// A window manager forgets the states of a withdrawn window, and the tray
// withdraws the main window each time it hides it: set them on every show.
// Without a tray host the task-bar button is the only way back to a
// minimised window, so the window then keeps it.
class NoTaskbarKeeper : public QObject {
public:
    static constexpr const char* kName = "qmd-no-taskbar";

    explicit NoTaskbarKeeper(QWidget* window) : QObject(window), window_(window)
    {
        setObjectName(QLatin1String(kName));
        window_->installEventFilter(this);
    }

    void Apply()
    {
#ifdef QMD_HAVE_XCB
        if (window_->isWindow()) SetSkipStates(window_, QSystemTrayIcon::isSystemTrayAvailable());
#endif
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && event->type() == QEvent::Show) Apply();
        return false;
    }

private:
    QWidget* window_;
};

}  // namespace

void ApplyNoTaskbarHints(QWidget* window)
{
    if (!window || !IsX11()) return;
    if (window->findChild<QObject*>(QLatin1String(NoTaskbarKeeper::kName), Qt::FindDirectChildrenOnly)) return;
    auto* keeper = new NoTaskbarKeeper(window);
    if (window->isVisible()) keeper->Apply();
}

}  // namespace qmd
