#include "shell/desktop/quit_signals.h"

#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace qmd {

namespace {

constexpr std::array kQuitSignals = {SIGTERM, SIGINT, SIGHUP};

// The write end is read by the signal handler: a lock-free atomic keeps that
// async-signal-safe.
std::atomic<int> signalWriteFd{-1};
int signalReadFd = -1;
std::array<struct sigaction, kQuitSignals.size()> previousActions{};

void OnQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = signalWriteFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a pending request; dropping this one loses nothing.
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    }
    errno = savedErrno;
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    static_assert(std::atomic<int>::is_always_lock_free);
    if (signalReadFd >= 0) return;  // another QuitSignals already answers the signals
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    signalReadFd = fds[0];
    signalWriteFd.store(fds[1]);

    notifier_ = new QSocketNotifier(signalReadFd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::ReadSignals);

    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kQuitSignals.size(); ++i) sigaction(kQuitSignals[i], &action, &previousActions[i]);
}

QuitSignals::~QuitSignals()
{
    if (!notifier_) return;
    for (size_t i = 0; i < kQuitSignals.size(); ++i) sigaction(kQuitSignals[i], &previousActions[i], nullptr);
    delete notifier_;
    const int writeFd = signalWriteFd.exchange(-1);
    close(writeFd);
    close(signalReadFd);
    signalReadFd = -1;
}

void QuitSignals::ReadSignals()
{
    unsigned char bytes[16];
    ssize_t count;
    int lastSignal = 0;
    while ((count = read(signalReadFd, bytes, sizeof bytes)) > 0) lastSignal = bytes[count - 1];
    if (lastSignal == 0) return;
    emit quitRequested(lastSignal);
}

}  // namespace qmd
