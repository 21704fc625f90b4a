#pragma once
// Follows the StatusNotifier tray (KDE's panel, GNOME's AppIndicator
// extension) on the session bus without asking it anything again and again:
// the watcher's name coming and going and its hosts registering and leaving
// arrive as signals. Asking Qt whether a tray is there costs a new bus
// connection and an introspection each time; while a watcher is followed,
// the tray controller asks only when one of these signals says something
// changed.
//
// Only a watcher with a host registered is followed: that is when Qt puts
// the icon there. Without a session bus, with a watcher but no host (the
// icon is then in an X11 tray, whose protocol has no such signals here), or
// before the first answer, nothing is followed and the controller keeps
// asking at its interval.
#include <QObject>

namespace qmd {

class StatusNotifierHostWatch : public QObject {
    Q_OBJECT
public:
    explicit StatusNotifierHostWatch(QObject* parent);
    ~StatusNotifierHostWatch() override;

    // A watcher with a host is on the session bus: its changes will be heard.
    bool Following() const { return following_; }

signals:
    // The watcher came or went, or a host registered or left.
    void Changed();

private slots:
    // What the watcher says now; Changed follows the answer.
    void AskAboutHost();

private:
    bool following_ = false;
};

}  // namespace qmd
