// The tray, the task-bar hints and snapping on a real X server with a real
// tray host (Xvfb and trayer, started by the test), clicked with xdotool.
#include "shell/desktop/edge_snap.h"
#include "shell/desktop/no_taskbar.h"
#include "shell/desktop/tray_controller.h"
#include "support/wait_until.h"
#include "x11_session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScreen>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace qmd {
namespace {

using test::Settle;
using test::WaitUntil;

test::X11Session* session = nullptr;

xcb_connection_t* Connection() { return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection(); }

xcb_atom_t Atom(const char* name)
{
    auto* reply = xcb_intern_atom_reply(
        Connection(), xcb_intern_atom(Connection(), 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

std::vector<xcb_atom_t> NetWmState(QWidget* window)
{
    auto* reply = xcb_get_property_reply(Connection(),
                                         xcb_get_property(Connection(), 0, static_cast<xcb_window_t>(window->winId()),
                                                          Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 1024),
                                         nullptr);
    std::vector<xcb_atom_t> states;
    if (reply && reply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        states.assign(atoms, atoms + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return states;
}

bool HasNoTaskbarStates(QWidget* window)
{
    const auto states = NetWmState(window);
    auto has = [&](const char* name) { return std::count(states.begin(), states.end(), Atom(name)) == 1; };
    return has("_NET_WM_STATE_SKIP_TASKBAR") && has("_NET_WM_STATE_SKIP_PAGER");
}

// The widget Qt shows in the tray host for a tray icon, once it is embedded
// and mapped there.
QWidget* EmbeddedTrayIcon()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() != QLatin1String("QSystemTrayIconSys") || !widget->isVisible()) continue;
        auto* tree = xcb_query_tree_reply(
            Connection(), xcb_query_tree(Connection(), static_cast<xcb_window_t>(widget->winId())), nullptr);
        auto* attributes = xcb_get_window_attributes_reply(
            Connection(), xcb_get_window_attributes(Connection(), static_cast<xcb_window_t>(widget->winId())), nullptr);
        const bool embedded =
            tree && tree->parent != tree->root && attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(tree);
        std::free(attributes);
        if (embedded) return widget;
    }
    return nullptr;
}

bool Exposed(QWidget* window) { return window->windowHandle() && window->windowHandle()->isExposed(); }

class PressCounter : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress) ++presses;
        return false;
    }
};

class X11Desktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!session || !session->Running()) GTEST_SKIP() << "no Xvfb";
        ASSERT_TRUE(WaitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));
        window_ = std::make_unique<QWidget>();
        window_->resize(315, 339);
        window_->move(300, 200);
        ApplyNoTaskbarHints(window_.get());
        TrayCallbacks callbacks;
        callbacks.playEventSound = [this](const QString& event) { sounds_.push_back(event); };
        callbacks.afterRestore = [this] { ++restores_; };
        tray_ = new TrayController(window_.get(), std::move(callbacks));
    }

    void ShowWindow()
    {
        window_->show();
        ASSERT_TRUE(WaitUntil([&] { return Exposed(window_.get()); }));
    }

    // Two presses at one place within the double-click time make a double
    // click, which the tray ignores: each click here is a single one.
    void Click(QWidget* target, const char* button)
    {
        static QElapsedTimer sinceLastClick;
        const qint64 doubleClickMs = QGuiApplication::styleHints()->mouseDoubleClickInterval() + 100;
        if (sinceLastClick.isValid() && sinceLastClick.elapsed() < doubleClickMs)
            QThread::msleep(static_cast<unsigned long>(doubleClickMs - sinceLastClick.elapsed()));
        sinceLastClick.start();
        ASSERT_TRUE(session->Run(
            "xdotool", {"mousemove", "--window", std::to_string(target->winId()), "5", "5", "click", button}));
    }

    std::unique_ptr<QWidget> window_;
    TrayController* tray_ = nullptr;
    std::vector<QString> sounds_;
    int restores_ = 0;
};

TEST_F(X11Desktop, MinimisedWindowHidesInTheTrayAndOnlyALeftPressBringsItBack)
{
    ShowWindow();
    EXPECT_TRUE(HasNoTaskbarStates(window_.get()));

    // Minimised as a start with "-t" does it: without a window manager, a
    // title-bar minimise would leave Qt believing the window iconified until
    // a window manager said otherwise (the offscreen tests cover that path).
    tray_->MinimiseToTray();
    ASSERT_TRUE(WaitUntil([&] { return tray_->IsInTray() && EmbeddedTrayIcon(); }));
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(sounds_, (std::vector<QString>{"window-minimized"}));

    QWidget* icon = EmbeddedTrayIcon();
    PressCounter presses;
    icon->installEventFilter(&presses);
    Click(icon, "3");
    ASSERT_TRUE(WaitUntil([&] { return presses.presses == 1; }));
    Click(icon, "2");
    ASSERT_TRUE(WaitUntil([&] { return presses.presses == 2; }));
    Settle();
    EXPECT_TRUE(tray_->IsInTray());
    EXPECT_FALSE(window_->isVisible());

    Click(icon, "1");
    ASSERT_TRUE(WaitUntil([&] { return !tray_->IsInTray(); }));
    ASSERT_TRUE(WaitUntil([&] { return Exposed(window_.get()) && !EmbeddedTrayIcon(); }));
    Settle();
    // Shown for good: no stale minimised state sends it back.
    EXPECT_FALSE(tray_->IsInTray());
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->isMinimized());
    EXPECT_EQ(restores_, 1);
    EXPECT_EQ(sounds_, (std::vector<QString>{"window-minimized", "window-unminimized"}));
    EXPECT_TRUE(HasNoTaskbarStates(window_.get()));
}

TEST_F(X11Desktop, IconComesBackWhenTheTrayHostRestarts)
{
    ShowWindow();
    tray_->MinimiseToTray();
    ASSERT_TRUE(WaitUntil([&] { return EmbeddedTrayIcon() != nullptr; }));

    session->StopTrayHost();
    ASSERT_TRUE(WaitUntil([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }));
    ASSERT_TRUE(session->StartTrayHost());
    ASSERT_TRUE(WaitUntil([&] { return QSystemTrayIcon::isSystemTrayAvailable() && EmbeddedTrayIcon(); }));
    EXPECT_TRUE(tray_->IsInTray());
    EXPECT_FALSE(window_->isVisible());

    // On a loaded machine a press on an icon the new host has only just
    // embedded can be lost before the host maps it; a user presses again.
    Click(EmbeddedTrayIcon(), "1");
    if (!WaitUntil([&] { return window_->isVisible(); }, 5000) && EmbeddedTrayIcon()) Click(EmbeddedTrayIcon(), "1");
    ASSERT_TRUE(WaitUntil([&] { return window_->isVisible(); }));
}

TEST_F(X11Desktop, WindowMovedNearAnEdgeSnapsToIt)
{
    new EdgeSnapper(window_.get());
    ShowWindow();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    window_->move(area.left() + 9, area.top() + 120);
    ASSERT_TRUE(WaitUntil([&] { return window_->pos() == QPoint(area.left(), area.top() + 120); }));
    window_->move(area.left() + 200, area.top() + 120);
    ASSERT_TRUE(WaitUntil([&] { return window_->pos() == QPoint(area.left() + 200, area.top() + 120); }));
}

// Kept last: it takes the tray host away and puts it back.
TEST_F(X11Desktop, WithoutATrayHostTheWindowKeepsItsTaskbarButtonAndMinimisesNormally)
{
    session->StopTrayHost();
    ASSERT_TRUE(WaitUntil([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }));
    ShowWindow();
    EXPECT_FALSE(HasNoTaskbarStates(window_.get()));

    window_->setWindowState(Qt::WindowMinimized);
    Settle();
    EXPECT_FALSE(tray_->IsInTray());
    EXPECT_TRUE(window_->isVisible());

    ASSERT_TRUE(session->StartTrayHost());
    ASSERT_TRUE(WaitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));
}

}  // namespace
}  // namespace qmd

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    qmd::test::X11Session x11;
    if (x11.Running()) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        // No session bus: Qt then uses the X11 tray protocol, and libdbus
        // does not autolaunch a bus daemon on our display that would outlive
        // the test.
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/qmd-test-no-session-bus", 1);
        x11.StartTrayHost();
        qmd::session = &x11;
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
