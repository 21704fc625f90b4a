#pragma once
// A second start of the program shows the running one: it connects to a
// socket that the first instance listens on beside its single-instance lock
// ($XDG_RUNTIME_DIR/ApplicationTestMap.socket), sends one line and ends. The
// first instance brings its main window forward: out of the tray, restored
// when minimised, raised and activated. Nothing stored changes.
//
// Usage:
//
//     if (!instanceLock) return qmd::AskRunningInstanceToShow(), 0;   // second start
//     ...
//     qmd::ShowRequestListener listener(&application, [form] { ... });   // first, once the window exists
#include <QObject>

#include <functional>
#include <string>

class QSocketNotifier;
class QWidget;

namespace qmd {

class TrayController;

// Where the running instance listens, derived from the lock's place.
std::string ShowRequestSocketPath();

// Sends the request. A first instance that is still starting (its lock held,
// its socket not yet there) is given a few seconds; false when nobody took
// the request. Never throws.
bool AskRunningInstanceToShow();

// Listens for requests and calls `show` on the GUI thread for each. A socket
// that cannot be made is reported on standard error: the program runs on,
// and a second start then only ends.
class ShowRequestListener : public QObject {
    Q_OBJECT
public:
    ShowRequestListener(QObject* parent, std::function<void()> show);
    ~ShowRequestListener() override;

private:
    // Null when listening, else the step that failed (errno tells why).
    const char* Listen();
    void TakeConnections();

    int listening_ = -1;
    std::string path_;
    QSocketNotifier* notifier_ = nullptr;
    std::function<void()> show_;
};

// What a request does to the main window: out of the tray when it is there,
// otherwise restored from minimised or hidden, then raised and activated.
void BringWindowForward(QWidget* window, TrayController* tray);

}  // namespace qmd
