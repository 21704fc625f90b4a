#include "shell/desktop/quit_signals.h"

#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <semaphore.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace qmd {

namespace {

constexpr std::array kQuitSignals = {SIGTERM, SIGINT, SIGHUP};

// The write end is read by the signal handler: a lock-free atomic keeps that
// async-signal-safe.
std::atomic<int> signalWriteFd{-1};
int signalReadFd = -1;
std::array<struct sigaction, kQuitSignals.size()> previousActions{};

// Posted by the signal handler (sem_post is async-signal-safe) while start-up
// is watched, and by the end of start-up.
sem_t startupEvents;
std::atomic<bool> startupWatched{false};
std::atomic<bool> startupOver{false};

void OnQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = signalWriteFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a pending request; dropping this one loses nothing.
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    }
    if (startupWatched.load()) sem_post(&startupEvents);
    errno = savedErrno;
}

// Waits for a quit signal or the end of start-up; after a signal, start-up
// has the grace to end before the process is ended here.
void WatchStartup()
{
    while (sem_wait(&startupEvents) != 0 && errno == EINTR) {
    }
    if (startupOver.load()) return;
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += QuitDuringStartup::kGraceMs / 1000;
    for (;;) {
        if (sem_timedwait(&startupEvents, &deadline) == 0) {
            if (startupOver.load()) return;
            continue;  // another signal
        }
        if (errno == EINTR) continue;
        break;  // the grace is over
    }
    if (startupOver.load()) return;
    static constexpr char kMessage[] = "qmd.shell: start-up did not end after a quit signal; ending at once\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    _exit(0);
}

std::thread startupWatch;

}  // namespace

QuitDuringStartup::QuitDuringStartup()
{
    // Made once and never destroyed: a handler may still be posting to it.
    static const bool made = sem_init(&startupEvents, 0, 0) == 0;
    if (!made || startupWatch.joinable()) return;
    startupOver.store(false);
    startupWatch = std::thread(WatchStartup);
    startupWatched.store(true);
}

QuitDuringStartup::~QuitDuringStartup()
{
    if (!startupWatch.joinable()) return;
    startupWatched.store(false);
    startupOver.store(true);
    sem_post(&startupEvents);
    startupWatch.join();
    // Whatever signals were counted belong to this start-up.
    while (sem_trywait(&startupEvents) == 0) {
    }
}

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
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (size_t i = 0; i < kQuitSignals.size(); ++i)
        sigaction(kQuitSignals[i], ignoreOnceGone_ ? &ignore : &previousActions[i], nullptr);
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
