#pragma once
// Watches the open camera from the GUI thread. The camera is lost when its
// graph reports an error, or when no frame has reached the grabber for
// max(5 s, ten frame intervals): a camera may stall without an error, or a
// network camera keep its connection and send nothing. A camera that can come
// back is asked for again (its owner reopens it) after 1 s, then after 2, 4,
// 8 and from then on every 10 s; it is back when a frame arrives after a
// reopen. A camera that refused the credentials is asked again only every
// 5 minutes: many cameras lock the account after a few failures, and
// attempts every 10 s would keep it locked. Each loss and each return goes to standard error with the local
// time. The frame times come from the grabber's atomics, so the streaming
// thread never learns of this watch.
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <vector>

namespace qmd {

// What becomes of a source once it is lost.
enum class Comeback {
    Never,  // a file: its end is the end; it is not watched for a stall either
    Retry,  // opened again and again until it delivers
};

// How a source stored as moniker bytes comes back.
Comeback ComebackOfSource(const std::vector<std::uint8_t>& monikerBytes);

class CameraWatch : public QObject {
    Q_OBJECT
public:
    struct FrameTimes {
        // Nanoseconds of std::chrono::steady_clock; 0 for none yet.
        std::function<std::int64_t()> LastArrivalNs;
        std::function<std::int64_t()> ArrivalIntervalNs;
        // Whether the graph is meant to run: a graph paused on purpose (a
        // dialog open over it) sends nothing and is not lost.
        std::function<bool()> MeantToRun;
    };
    // The shortest silence that counts as a loss, and the longest pause
    // between two attempts to reopen.
    static constexpr std::int64_t kSilenceNs = 5'000'000'000;
    static constexpr int kLongestRetryMs = 10'000;
    static constexpr int kRefusedCredentialsRetryMs = 5 * 60'000;

    explicit CameraWatch(FrameTimes frames, QObject* parent = nullptr);

    // A source was chosen and runs: it is watched from now on, as a new one.
    void Watch(Comeback comeback);
    // The owner reopened the lost source; it is back with its next frame.
    void Reopened();
    // The owner could not reopen it; another attempt follows later.
    void ReopenFailed(const QString& reason);
    // Nothing is watched any more (a switch in progress, the program closing).
    void Forget();
    // An outage that a command set aside with Forget goes on: the camera is
    // asked for again after the first pause, and no second loss is reported.
    void ResumeOutage();
    // The graph posted an error. false when nothing is watched, so the
    // owner reports it as any other error.
    bool OnGraphError(const QString& message);

    // The lost camera has just been listed again: it is opened at once,
    // whatever attempt was due.
    void ReopenNow();
    // Lost and waiting for the next attempt.
    bool Away() const { return state_ == State::Away; }
    // A source is watched: it runs, or it is lost and tried again.
    bool Watching() const { return state_ != State::Idle && state_ != State::Gone; }
    // Milliseconds until the next attempt; -1 when none is due.
    int NextAttemptInMs() const { return Away() ? reopenTimer_.remainingTime() : -1; }

signals:
    // The first loss of an outage: the owner releases the camera (the
    // preview goes black) and tells the user.
    void Lost(const QString& message);
    // Time for another attempt: the owner reopens the stored source and
    // answers with Reopened or ReopenFailed.
    void ReopenDue();
    // A frame arrived from the reopened source.
    void Returned();

private:
    enum class State { Idle, Watching, Away, Reopening, Gone };
    void Check();
    // The next look: when the silence would reach its bound while frames
    // come, every 200 ms otherwise.
    void ScheduleCheck();
    // Reopening and a frame has come since: back. Whether it is.
    bool NoticeReturn();
    void LoseCamera(const QString& message);
    // The next attempt, after `reason` made this one fail.
    void ScheduleReopen(const QString& reason);
    std::int64_t SilenceBoundNs() const;

    FrameTimes frames_;
    QTimer checkTimer_;
    QTimer reopenTimer_;
    State state_ = State::Idle;
    Comeback comeback_ = Comeback::Never;
    std::int64_t watchedSinceNs_ = 0;  // the open (or reopen) that is watched
    std::int64_t lostAtNs_ = 0;
    int failedAttempts_ = 0;
};

}  // namespace qmd
