// The desktop pieces on Qt's offscreen platform: the tray controller's
// decisions (with and without a tray host), edge snapping on a real widget,
// quit signals, and the icon.
#include "common/quisk_error.h"
#include "shell/desktop/application_icon.h"
#include "shell/desktop/edge_snap.h"
#include "shell/desktop/quit_signals.h"
#include "shell/desktop/tray_controller.h"
#include "support/error_box_catcher.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <memory>

namespace qmd {
namespace {

using test::ErrorBoxCatcher;
using test::Settle;
using test::WaitUntil;

// --- Tray ------------------------------------------------------------------

class Tray : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_.resize(315, 339);
        window_.show();
        ASSERT_TRUE(WaitUntil([&] { return window_.isVisible(); }));
    }

    std::unique_ptr<TrayController> MakeController(bool fakeHost)
    {
        TrayCallbacks callbacks;
        callbacks.playEventSound = [this](const QString& event) { sounds_.push_back(event); };
        callbacks.afterRestore = [this] {
            ++restores_;
            visibleAtRestore_ = window_.isVisible();
            if (failRestore_) throw QuiskError("Graf nie działa");
        };
        if (fakeHost) callbacks.trayAvailable = [this] { return hostRunning_.load(); };
        auto controller = std::make_unique<TrayController>(&window_, std::move(callbacks));
        controller->setParent(nullptr);  // owned by the test, not the window
        return controller;
    }

    QWidget window_;
    std::vector<QString> sounds_;
    int restores_ = 0;
    bool visibleAtRestore_ = false;
    bool failRestore_ = false;
    std::atomic<bool> hostRunning_{true};
};

TEST_F(Tray, WithoutATrayHostMinimisingNeverHidesTheWindow)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    auto tray = MakeController(false);

    window_.setWindowState(Qt::WindowMinimized);  // the title-bar button
    Settle();
    EXPECT_TRUE(window_.isVisible());
    EXPECT_TRUE(window_.isMinimized());
    EXPECT_FALSE(tray->IsInTray());
    EXPECT_FALSE(tray->Icon()->isVisible());

    window_.setWindowState(Qt::WindowNoState);
    tray->MinimiseToTray();  // start-up with "-t"
    EXPECT_EQ(sounds_, (std::vector<QString>{"window-minimized"}));
    EXPECT_TRUE(window_.isVisible());
    EXPECT_TRUE(window_.isMinimized());
    EXPECT_FALSE(tray->IsInTray());
}

TEST_F(Tray, MinimiseHidesBehindTheIconAndOnlyALeftPressBringsItBack)
{
    auto tray = MakeController(true);
    tray->MinimiseToTray();
    EXPECT_EQ(sounds_, (std::vector<QString>{"window-minimized"}));
    EXPECT_TRUE(tray->IsInTray());
    EXPECT_FALSE(window_.isVisible());
    EXPECT_TRUE(tray->Icon()->isVisible());
    EXPECT_EQ(tray->Icon()->toolTip(), QString::fromUtf8("Quisk Motion Detector - program wykrywający ruch"));
    EXPECT_FALSE(tray->Icon()->icon().isNull());

    for (auto reason : {QSystemTrayIcon::Context, QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick,
                        QSystemTrayIcon::Unknown})
        emit tray->Icon()->activated(reason);
    Settle();
    EXPECT_TRUE(tray->IsInTray());
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(sounds_.size(), 1u);
    EXPECT_EQ(restores_, 0);

    emit tray->Icon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(sounds_, (std::vector<QString>{"window-minimized", "window-unminimized"}));
    EXPECT_FALSE(tray->IsInTray());
    EXPECT_FALSE(tray->Icon()->isVisible());
    EXPECT_TRUE(window_.isVisible());
    EXPECT_FALSE(window_.isMinimized());
    EXPECT_EQ(restores_, 1);
    EXPECT_TRUE(visibleAtRestore_);

    // The icon is gone: a late press (the second of a double click) does nothing.
    emit tray->Icon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(restores_, 1);
}

TEST_F(Tray, TitleBarMinimiseGoesToTheTrayAndComesBackInNormalState)
{
    auto tray = MakeController(true);
    window_.setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(WaitUntil([&] { return tray->IsInTray(); }));
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(sounds_, (std::vector<QString>{"window-minimized"}));

    emit tray->Icon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_FALSE(window_.isMinimized());
    Settle();
    EXPECT_FALSE(tray->IsInTray());  // showing again is no new minimise
}

TEST_F(Tray, FailuresOfTheSoundOrTheGraphDoNotStrandTheWindow)
{
    ErrorBoxCatcher catcher;
    TrayCallbacks callbacks;
    callbacks.playEventSound = [](const QString&) { throw QuiskError("brak dźwięku"); };
    callbacks.afterRestore = [] { throw QuiskError("Graf nie działa"); };
    callbacks.trayAvailable = [] { return true; };
    TrayController tray(&window_, std::move(callbacks));

    tray.MinimiseToTray();
    EXPECT_TRUE(tray.IsInTray());
    emit tray.Icon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window_.isVisible());
    ASSERT_EQ(catcher.Shown().size(), 1u);
    EXPECT_EQ(catcher.Shown()[0].text, QString::fromUtf8("Graf nie działa."));
}

TEST_F(Tray, TrayHostGoneForGoodBringsTheWindowBackMinimised)
{
    auto tray = MakeController(true);
    tray->SetWatchInterval(5);
    tray->MinimiseToTray();
    hostRunning_ = false;
    ASSERT_TRUE(WaitUntil([&] { return !tray->IsInTray(); }));
    EXPECT_TRUE(window_.isVisible());
    EXPECT_TRUE(window_.isMinimized());
    EXPECT_FALSE(tray->Icon()->isVisible());
}

TEST_F(Tray, TrayHostThatComesBackKeepsTheWindowInTheTray)
{
    auto tray = MakeController(true);
    tray->SetWatchInterval(5);
    tray->MinimiseToTray();
    int looks = 0;
    hostRunning_ = false;
    // One look without a host, then the host is back.
    QObject::connect(tray->findChild<QTimer*>(), &QTimer::timeout, [&] {
        if (++looks == 1) hostRunning_ = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return looks >= TrayController::kLooksBeforeGivingUp + 2; }));
    EXPECT_TRUE(tray->IsInTray());
    EXPECT_FALSE(window_.isVisible());
    EXPECT_TRUE(tray->Icon()->isVisible());
}

// --- Edge snapping on a widget --------------------------------------------

TEST(EdgeSnapper, MovesNearAnEdgeLandOnItAndOthersStay)
{
    QWidget window;
    window.resize(315, 339);
    new EdgeSnapper(&window);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint middle = area.topLeft() + QPoint(100, 100);
    window.move(middle);
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return window.isVisible(); }));
    EXPECT_EQ(window.pos(), middle);

    window.move(area.left() + 14, area.top() + 100);
    ASSERT_TRUE(WaitUntil([&] { return window.pos() == QPoint(area.left(), area.top() + 100); }));
    window.move(area.left() + 15, area.top() + 100);
    Settle();
    EXPECT_EQ(window.pos(), QPoint(area.left() + 15, area.top() + 100));

    const QSize frame = window.frameGeometry().size();
    const QPoint corner(area.x() + area.width() - frame.width(), area.y() + area.height() - frame.height());
    window.move(corner + QPoint(-10, -3));
    ASSERT_TRUE(WaitUntil([&] { return window.pos() == corner; }));
}

// Keeps the window's left edge on screen, as some window managers do.
class ClampingWindowSystem : public QObject {
public:
    explicit ClampingWindowSystem(QWidget* window) : window_(window) { window->installEventFilter(this); }
    int moves = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Move) return false;
        ++moves;
        if (window_->pos().x() < 0) QTimer::singleShot(0, window_, [w = window_] { w->move(0, w->pos().y()); });
        return false;
    }

private:
    QWidget* window_;
};

TEST(EdgeSnapper, DoesNotFightAWindowSystemThatPlacesTheWindowElsewhere)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.resize(area.width() + 100, 200);  // wider than the work area: snapped to a negative x
    new EdgeSnapper(&window);
    ClampingWindowSystem windowSystem(&window);  // filters before the snapper
    window.move(area.left() + 40, area.top() + 100);
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return window.isVisible(); }));
    for (int i = 0; i < 20; ++i) Settle();
    EXPECT_LT(windowSystem.moves, 10);
}

// A window snapped to an edge and nudged into the zone again, as a drag that
// ends there does: it lands on the edge each time.
TEST(EdgeSnapper, EachMoveIntoTheZoneSnapsWhateverCameBefore)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.resize(315, 339);
    new EdgeSnapper(&window);
    window.move(area.left() + 100, area.top() + 100);
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return window.isVisible(); }));
    const QPoint onEdge(area.left(), area.top() + 100);
    for (const int nudge : {5, 10, 14, 8}) {
        window.move(area.left() + nudge, area.top() + 100);
        EXPECT_TRUE(WaitUntil([&] { return window.pos() == onEdge; })) << nudge;
    }
}

// --- Quit signals ----------------------------------------------------------

std::atomic<int> previousHandlerCalls{0};
void PreviousHandler(int) { previousHandlerCalls.fetch_add(1); }

TEST(QuitSignals, TermHupAndIntAreRequestsFromTheEventLoop)
{
    struct sigaction previous {};
    struct sigaction mine {};
    mine.sa_handler = PreviousHandler;
    sigemptyset(&mine.sa_mask);
    sigaction(SIGTERM, &mine, &previous);
    {
        QuitSignals quitSignals;
        std::make_unique<QuitSignals>().reset();  // a second one neither answers nor tears down
        std::vector<int> requested;
        QObject::connect(&quitSignals, &QuitSignals::quitRequested, [&](int number) { requested.push_back(number); });
        for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
            raise(number);
            ASSERT_TRUE(WaitUntil([&] { return !requested.empty() && requested.back() == number; }));
        }
        EXPECT_EQ(requested, (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
        EXPECT_EQ(previousHandlerCalls.load(), 0);
    }
    // Gone with the object: the earlier disposition is back.
    raise(SIGTERM);
    EXPECT_EQ(previousHandlerCalls.load(), 1);

    // Once the program's end was under way, a further signal (a second
    // SIGTERM while the libraries tear down) changes nothing: before, the
    // earlier disposition came back, and the default one killed the process
    // with status 143.
    {
        QuitSignals quitSignals;
        quitSignals.IgnoreOnceGone();
    }
    raise(SIGTERM);
    EXPECT_EQ(previousHandlerCalls.load(), 1);
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
    sigaction(SIGTERM, &previous, nullptr);
}

// While start-up runs, a quit signal ends the program even where the GUI
// thread never comes back to take it (blocked for good in a call to the X
// server): before, it hung on, holding the single-instance lock.
TEST(QuitSignalsDeathTest, DuringStartUpASignalEndsTheProgramWhereTheGuiThreadIsBlocked)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QuitSignals quitSignals;
            QuitDuringStartup startup;
            raise(SIGTERM);
            for (;;) pause();
        },
        ::testing::ExitedWithCode(0), "start-up did not end after a quit signal");
}

// --- Icon and desktop entry -------------------------------------------------

TEST(ApplicationIcon, TheInstalledIconFilesAreTheDrawingThatTheProgramShows)
{
    const QIcon icon = ApplicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const QString file =
            QStringLiteral(QMD_DATA_DIR "/icons/hicolor/%1x%1/apps/quisk-motion-detector.png").arg(size);
        QImage installed(file);
        ASSERT_FALSE(installed.isNull()) << file.toStdString();
        installed = installed.convertToFormat(QImage::Format_ARGB32);
        const QImage drawn = RenderApplicationIcon(size).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(installed.size(), drawn.size());
        int worst = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const QRgb a = installed.pixel(x, y), b = drawn.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
            }
        EXPECT_LE(worst, 2) << "regenerate with qmd_render_icon data/icons/hicolor";
    }
    EXPECT_TRUE(QFile::exists(QStringLiteral(QMD_DATA_DIR "/icons/hicolor/scalable/apps/quisk-motion-detector.svg")));
}

}  // namespace
}  // namespace qmd
