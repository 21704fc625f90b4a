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

// Counts of the signal bytes written to the pipe and read from it: a signal
// is answered once the GUI thread has read as many bytes as were written.
std::atomic<unsigned> signalsSent{0};
std::atomic<unsigned> signalsRead{0};

// Posted by the signal handler (sem_post is async-signal-safe), by each read
// of the pipe, and by the end of the watch.
sem_t watchEvents;
std::atomic<bool> watchOver{false};
// Never destroyed: where the process ends by exit() while it watches (Qt
// does so when the X server goes), a joinable std::thread destroyed with the
// statics would abort it instead.
std::thread& answerWatch = *new std::thread;

void OnQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = signalWriteFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a pending request; dropping this one loses nothing.
        if (write(fd, &byte, 1) == 1) signalsSent.fetch_add(1);
        sem_post(&watchEvents);
    }
    errno = savedErrno;
}

// Waits for a quit signal; after one, the GUI thread has the grace to read it
// before the process is ended here.
void WatchAnswers()
{
    for (;;) {
        while (sem_wait(&watchEvents) != 0 && errno == EINTR) {
        }
        if (watchOver.load()) return;
        const unsigned sent = signalsSent.load();
        if (static_cast<int>(signalsRead.load() - sent) >= 0) continue;
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_sec += QuitSignals::kGraceMs / 1000;
        while (static_cast<int>(signalsRead.load() - sent) < 0) {
            if (sem_timedwait(&watchEvents, &deadline) == 0) {
                if (watchOver.load()) return;
                continue;
            }
            if (errno == EINTR) continue;
            if (static_cast<int>(signalsRead.load() - sent) >= 0) break;
            static constexpr char kMessage[] = "qmd.shell: a quit signal was not taken within "
                                               "8 s (the GUI thread is blocked); ending at once\n";
            static_assert(QuitSignals::kGraceMs == 8'000, "the message names the grace");
            [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
            _exit(0);
        }
    }
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

    // Made once and never destroyed: a handler may still be posting to it.
    static const bool watchable = sem_init(&watchEvents, 0, 0) == 0;
    if (watchable) {
        watchOver.store(false);
        answerWatch = std::thread(WatchAnswers);
    }

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
    if (answerWatch.joinable()) {
        watchOver.store(true);
        sem_post(&watchEvents);
        answerWatch.join();
        while (sem_trywait(&watchEvents) == 0) {
        }
    }
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
    while ((count = read(signalReadFd, bytes, sizeof bytes)) > 0) {
        lastSignal = bytes[count - 1];
        signalsRead.fetch_add(static_cast<unsigned>(count));
    }
    sem_post(&watchEvents);
    if (lastSignal == 0) return;
    emit quitRequested(lastSignal);
}

}  // namespace qmd
