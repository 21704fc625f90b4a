#include "shell/desktop/show_request.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "gui/error_report.h"
#include "shell/desktop/single_instance.h"
#include "shell/desktop/tray_controller.h"

Q_LOGGING_CATEGORY(lcShowRequest, "qmd.shell.instance")

namespace qmd {
namespace {

// A first instance that holds the lock is at most this far from listening:
// it makes its windows and opens the remembered camera first.
constexpr auto kListenerPatience = std::chrono::seconds(10);
constexpr auto kRetryInterval = std::chrono::milliseconds(100);

bool SocketAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool Connect(const std::string& path)
{
    sockaddr_un address;
    if (!SocketAddress(path, address)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (result != 0 && errno == EINTR);
    ::close(fd);
    return result == 0;
}

}  // namespace

std::string ShowRequestSocketPath()
{
    std::string path = SingleInstanceLock::LockFilePath();
    const std::string lockSuffix = ".lock";
    if (path.ends_with(lockSuffix)) path.resize(path.size() - lockSuffix.size());
    return path + ".socket";
}

bool AskRunningInstanceToShow()
{
    const std::string path = ShowRequestSocketPath();
    const auto deadline = std::chrono::steady_clock::now() + kListenerPatience;
    while (!Connect(path)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kRetryInterval);
    }
    return true;
}

ShowRequestListener::ShowRequestListener(QObject* parent, std::function<void()> show)
    : QObject(parent), path_(ShowRequestSocketPath()), show_(std::move(show))
{
    if (const char* failedStep = Listen()) {
        qCWarning(lcShowRequest, "a second start cannot show this window: %s %s: %s", failedStep, path_.c_str(),
                  std::strerror(errno));
        if (listening_ >= 0) ::close(listening_);
        listening_ = -1;
        return;
    }
    notifier_ = new QSocketNotifier(listening_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ShowRequestListener::TakeConnections);
}

const char* ShowRequestListener::Listen()
{
    sockaddr_un address;
    if (!SocketAddress(path_, address)) {
        errno = ENAMETOOLONG;
        return "cannot listen on";
    }
    listening_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listening_ < 0) return "cannot listen on";
    // We hold the lock, so a socket left there is a dead instance's. A file
    // of someone else's in a shared /tmp stays (the sticky bit) and bind fails.
    ::unlink(path_.c_str());
    if (::bind(listening_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) return "cannot bind";
    // Only this user may connect (the umask is the whole process's, so not
    // that): the rights are taken before the socket listens.
    if (::chmod(path_.c_str(), 0600) != 0 || ::listen(listening_, 4) != 0) {
        const int failure = errno;
        ::unlink(path_.c_str());
        errno = failure;
        return "cannot listen on";
    }
    return nullptr;
}

ShowRequestListener::~ShowRequestListener()
{
    if (listening_ < 0) return;
    delete notifier_;
    ::close(listening_);
    ::unlink(path_.c_str());
}

void ShowRequestListener::TakeConnections()
{
    bool asked = false;
    for (;;) {
        const int connection = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            if (errno == EINTR) continue;
            break;  // EAGAIN: all taken
        }
        ::close(connection);
        asked = true;
    }
    if (asked && show_) show_();
}

void BringWindowForward(QWidget* window, TrayController* tray)
{
    if (tray && tray->IsInTray()) {
        RunCommand(window, [tray] { tray->RestoreFromTray(); });
        return;
    }
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace qmd
