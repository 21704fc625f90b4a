#include "shell/desktop/tray_controller.h"

#include "gui/error_report.h"
#include "shell/desktop/application_icon.h"
#include "shell/desktop/status_notifier_host_watch.h"

#include <QEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace qmd {

namespace {

// A sound that cannot be played is no reason to leave the window where it is.
void PlayQuietly(const TrayCallbacks& callbacks, const char* themeEvent) noexcept
{
    if (!callbacks.playEventSound) return;
    try {
        callbacks.playEventSound(QString::fromLatin1(themeEvent));
    } catch (...) {
    }
}

}  // namespace

TrayController::TrayController(QWidget* window, TrayCallbacks callbacks)
    : QObject(window), window_(window), callbacks_(std::move(callbacks)),
      icon_(new QSystemTrayIcon(ApplicationIcon(), this)), watch_(new QTimer(this))
{
    icon_->setToolTip(QString::fromUtf8(kTrayToolTip));
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A left press; double clicks restore on their first press already.
        if (reason != QSystemTrayIcon::Trigger || !inTray_) return;
        RunCommand(window_, [this] { RestoreFromTray(); });
    });
    watch_->setInterval(kDefaultWatchIntervalMs);
    connect(watch_, &QTimer::timeout, this, &TrayController::WatchTrayHost);
    window_->installEventFilter(this);
    // The real tray is followed by its signals where it has them; a tray
    // that a test plays is asked at the interval.
    if (!callbacks_.trayAvailable) {
        hostWatch_ = new StatusNotifierHostWatch(this);
        connect(hostWatch_, &StatusNotifierHostWatch::Changed, this, [this] {
            if (!inTray_) return;
            looksWithoutHost_ = 0;
            watch_->start();
        });
    }
}

TrayController::~TrayController() = default;

void TrayController::SetWatchInterval(int milliseconds) { watch_->setInterval(milliseconds); }

bool TrayController::TrayAvailable() const
{
    return callbacks_.trayAvailable ? callbacks_.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayController::HostFollowed() const { return hostWatch_ && hostWatch_->Following(); }

void TrayController::MinimiseToTray()
{
    PlayQuietly(callbacks_, kMinimizeSoundEvent);
    if (!TrayAvailable()) {
        // Hiding the window with nowhere to put the icon would leave no way
        // back to it.
        if (!window_->isMinimized()) window_->showMinimized();
        return;
    }
    icon_->setToolTip(QString::fromUtf8(kTrayToolTip));
    icon_->show();
    inTray_ = true;
    looksWithoutHost_ = 0;
    if (!HostFollowed()) watch_->start();
    // The minimised state stays until the window comes back: clearing it on
    // a hidden X11 window maps the window again, and a window manager that
    // had iconified it would show it as an empty frame.
    window_->hide();
}

void TrayController::RestoreFromTray()
{
    PlayQuietly(callbacks_, kMaximizeSoundEvent);
    RemoveIcon();
    // Back in its normal state, not iconified.
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
    if (callbacks_.afterRestore) callbacks_.afterRestore();
}

void TrayController::RemoveIcon()
{
    watch_->stop();
    icon_->hide();
    inTray_ = false;
}

void TrayController::WatchTrayHost()
{
    if (!inTray_) {
        watch_->stop();
        return;
    }
    // A tray host that restarts gets the icon again from Qt itself (the X11
    // tray protocol and the StatusNotifier watcher are both followed); only a
    // host that stays away needs us.
    if (TrayAvailable()) {
        looksWithoutHost_ = 0;
        // Until the followed tray says that something changed.
        if (HostFollowed()) watch_->stop();
        return;
    }
    if (++looksWithoutHost_ >= kLooksBeforeGivingUp) BringBackWithoutTray();
}

void TrayController::BringBackWithoutTray()
{
    RemoveIcon();
    window_->showMinimized();
}

bool TrayController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_ || event->type() != QEvent::WindowStateChange) return false;
    if (!window_->isMinimized() || inTray_ || !TrayAvailable()) return false;
    // Hidden from the event loop, not from inside the window system's own
    // state change.
    QTimer::singleShot(0, this, [this] {
        if (window_->isMinimized() && !inTray_) RunCommand(window_, [this] { MinimiseToTray(); });
    });
    return false;
}

}  // namespace qmd
