#pragma once
// The tray: minimising the main window hides it behind a QSystemTrayIcon, and
// a left press on the icon brings it back. Capture goes on while hidden.
//
// Usage in the main window:
//
//     tray_ = new qmd::TrayController(this, {
//         .playEventSound = [](const QString& event) { audio.PlayEventSound(event); },
//         .afterRestore = [this] { FilterGraph->PauseGraph(); FilterGraph->RunGraph(); },
//     });
//     // start-up with "-t" or the "Minimalizuj do Tray'a" mark:
//     tray_->MinimiseToTray();
//     // FormCloseQuery:
//     tray_->RemoveIcon();
//
// The controller filters the window's events itself: the title-bar minimise
// (a WindowStateChange to minimised) goes to the tray. Where no tray host is
// running (QSystemTrayIcon::isSystemTrayAvailable() is false), the window is
// never hidden: it minimises normally, so it always stays reachable. When the
// tray host restarts, Qt puts the icon into the new one; while the window is
// in the tray the controller also watches the host, and when it is gone for
// good the window comes back minimised instead of staying hidden with no way
// back. A StatusNotifier tray is followed by its signals, so it is asked only
// when they say something changed; other trays are asked at the interval.
//
// Callbacks run on the GUI thread. A sound that fails is ignored (the window
// still moves); an exception from afterRestore leaves RestoreFromTray, and
// when the icon's press started it, it is shown by the application's error
// report.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace qmd {

inline constexpr char kTrayToolTip[] = "Quisk Motion Detector - program wykrywający ruch";
inline constexpr char kMinimizeSoundEvent[] = "window-minimized";
inline constexpr char kMaximizeSoundEvent[] = "window-unminimized";

struct TrayCallbacks {
    // Plays a desktop sound theme event without waiting ("window-minimized",
    // "window-unminimized").
    std::function<void(const QString& themeEvent)> playEventSound;
    // After the window is shown again from the tray (PauseGraph, RunGraph).
    std::function<void()> afterRestore;
    // Whether a tray host is running; QSystemTrayIcon::isSystemTrayAvailable
    // when empty (tests replace it).
    std::function<bool()> trayAvailable;
};

class StatusNotifierHostWatch;

class TrayController : public QObject {
    Q_OBJECT
public:
    TrayController(QWidget* window, TrayCallbacks callbacks);
    ~TrayController() override;

    // "Minimize" sound, icon with the tip added, window hidden. Without a
    // tray host: the sound, and the window minimised normally.
    void MinimiseToTray();
    // "Maximize" sound, icon removed, window shown, then afterRestore.
    void RestoreFromTray();
    // Removes the icon, if any (closing).
    void RemoveIcon();

    bool IsInTray() const { return inTray_; }
    QSystemTrayIcon* Icon() const { return icon_; }

    // How often the tray host is looked at while the window is in the tray,
    // and how many looks without a host bring the window back.
    void SetWatchInterval(int milliseconds);
    static constexpr int kDefaultWatchIntervalMs = 2000;
    static constexpr int kLooksBeforeGivingUp = 3;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool TrayAvailable() const;
    // The tray's own signals will tell of a host that leaves.
    bool HostFollowed() const;
    void WatchTrayHost();
    void BringBackWithoutTray();

    QWidget* window_;
    TrayCallbacks callbacks_;
    QSystemTrayIcon* icon_;
    QTimer* watch_;
    StatusNotifierHostWatch* hostWatch_ = nullptr;
    bool inTray_ = false;
    int looksWithoutHost_ = 0;
};

}  // namespace qmd
