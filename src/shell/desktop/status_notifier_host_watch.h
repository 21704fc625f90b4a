#pragma once
// Follows the StatusNotifier tray (KDE's panel, GNOME's AppIndicator
// extension) on the session bus without asking it anything again and again:
// the watcher's name coming and going and its hosts registering and leaving
// arrive as signals. Asking Qt whether a tray is there costs a new bus
// connection and an introspection each time; while a watcher is followed,
// the tray controller asks only when one of these signals says something
// changed.
//
// Without a session bus, or before the first answer about the watcher,
// nothing is followed and the controller keeps asking at its interval (the
// X11 tray protocol has no such signals here).
#include <QObject>

namespace qmd {

class StatusNotifierHostWatch : public QObject {
    Q_OBJECT
public:
    explicit StatusNotifierHostWatch(QObject* parent);
    ~StatusNotifierHostWatch() override;

    // A watcher is on the session bus: its changes will be heard.
    bool Following() const { return following_; }

signals:
    // The watcher came or went, or a host registered or left.
    void Changed();

private:
    bool following_ = false;
};

}  // namespace qmd
