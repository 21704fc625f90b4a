#include "capture/watch/camera_watch.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>

#include "capture/elements/mjpeg_http_source.h"
#include "capture/graph/capture_log.h"
#include "capture/sources/extra_sources.h"
#include "capture/sources/moniker.h"

namespace qmd {

namespace {

// How often the watch looks while a source is being reopened or is paused
// on purpose. A source that sends frames is looked at only when its silence
// would reach the bound, and at least every 5 s: each look wakes the GUI
// thread, and a camera in the tray for days needs no look per 200 ms.
constexpr int kCheckPeriodMs = 200;
constexpr std::int64_t kLongestCheckPeriodMs = 5'000;

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QByteArray LocalTime() { return QDateTime::currentDateTime().toString(u"d.M.yyyy H:mm:ss").toUtf8(); }

}  // namespace

Comeback ComebackOfSource(const std::vector<std::uint8_t>& monikerBytes)
{
    const auto fields = Moniker::FromBytes(monikerBytes).Fields();
    if (!fields) return Comeback::Never;
    if (fields->Kind == SourceKind::ExtraSource && ExtraSourceUri(fields->Identity).rfind("file:", 0) == 0)
        return Comeback::Never;
    return Comeback::Retry;
}

CameraWatch::CameraWatch(FrameTimes frames, QObject* parent) : QObject(parent), frames_(std::move(frames))
{
    // Each look is started with its own delay (QTimer::start(ms) keeps it as
    // the interval).
    checkTimer_.setSingleShot(true);
    connect(&checkTimer_, &QTimer::timeout, this, [this] {
        Check();
        if (state_ == State::Watching || state_ == State::Reopening) ScheduleCheck();
    });
    reopenTimer_.setSingleShot(true);
    connect(&reopenTimer_, &QTimer::timeout, this, [this] { ReopenNow(); });
}

void CameraWatch::ReopenNow()
{
    if (state_ != State::Away) return;
    reopenTimer_.stop();
    state_ = State::Reopening;
    watchedSinceNs_ = NowNs();
    emit ReopenDue();
}

void CameraWatch::Watch(Comeback comeback)
{
    reopenTimer_.stop();
    comeback_ = comeback;
    state_ = State::Watching;
    watchedSinceNs_ = NowNs();
    failedAttempts_ = 0;
    // A file ends without coming back; its silence after the end is no loss.
    if (comeback_ == Comeback::Never)
        checkTimer_.stop();
    else
        checkTimer_.start(kCheckPeriodMs);
}

void CameraWatch::Reopened()
{
    if (state_ != State::Reopening) return;
    watchedSinceNs_ = NowNs();
    checkTimer_.start(kCheckPeriodMs);
}

void CameraWatch::ReopenFailed(const QString& reason)
{
    if (state_ != State::Reopening) return;
    qCDebug(lcCapture, "%s: the camera is not back yet: %s", LocalTime().constData(), qUtf8Printable(reason));
    ScheduleReopen(reason);
}

void CameraWatch::Forget()
{
    checkTimer_.stop();
    reopenTimer_.stop();
    state_ = State::Idle;
}

void CameraWatch::ResumeOutage()
{
    failedAttempts_ = 0;
    ScheduleReopen(QString());
}

bool CameraWatch::OnGraphError(const QString& message)
{
    // A camera that sent a frame before this error was back, however
    // shortly: this is a new loss, not a failed attempt.
    NoticeReturn();
    switch (state_) {
    case State::Idle: return false;
    case State::Watching: LoseCamera(message); return true;
    case State::Reopening: ReopenFailed(message); return true;
    case State::Away:
    case State::Gone: return true;  // the same outage, from the graph being released
    }
    return true;
}

std::int64_t CameraWatch::SilenceBoundNs() const { return std::max(kSilenceNs, 10 * frames_.ArrivalIntervalNs()); }

void CameraWatch::Check()
{
    const std::int64_t now = NowNs();
    if ((state_ == State::Watching || state_ == State::Reopening) && frames_.MeantToRun && !frames_.MeantToRun()) {
        // The silence is counted from the moment it runs again.
        watchedSinceNs_ = now;
        return;
    }
    if (state_ == State::Reopening && !NoticeReturn()) {
        if (now - watchedSinceNs_ > SilenceBoundNs()) ReopenFailed(QStringLiteral("no frame"));
        return;
    }
    if (state_ != State::Watching) return;
    const std::int64_t lastArrival = frames_.LastArrivalNs();
    const std::int64_t silentSince = std::max(lastArrival, watchedSinceNs_);
    const std::int64_t silence = now - silentSince;
    if (silence > SilenceBoundNs())
        LoseCamera(QStringLiteral("No frame from the camera for %1 s").arg(silence / 1'000'000'000));
}

void CameraWatch::ScheduleCheck()
{
    const bool paused = frames_.MeantToRun && !frames_.MeantToRun();
    if (state_ != State::Watching || paused) {
        checkTimer_.start(kCheckPeriodMs);
        return;
    }
    const std::int64_t silentSince = std::max(frames_.LastArrivalNs(), watchedSinceNs_);
    const std::int64_t dueInMs = (silentSince + SilenceBoundNs() - NowNs()) / 1'000'000 + 1;
    checkTimer_.start(static_cast<int>(std::clamp<std::int64_t>(dueInMs, kCheckPeriodMs, kLongestCheckPeriodMs)));
}

bool CameraWatch::NoticeReturn()
{
    if (state_ != State::Reopening || frames_.LastArrivalNs() <= watchedSinceNs_) return false;
    state_ = State::Watching;
    failedAttempts_ = 0;
    qCInfo(lcCapture, "%s: the camera is back after %.1f s", LocalTime().constData(),
           static_cast<double>(NowNs() - lostAtNs_) / 1e9);
    emit Returned();
    return true;
}

void CameraWatch::LoseCamera(const QString& message)
{
    lostAtNs_ = NowNs();
    failedAttempts_ = 0;
    qCWarning(lcCapture, "%s: the camera is lost: %s", LocalTime().constData(), qUtf8Printable(message));
    if (comeback_ == Comeback::Never) {
        state_ = State::Gone;
        checkTimer_.stop();
    } else {
        ScheduleReopen(message);
    }
    emit Lost(message);
}

void CameraWatch::ScheduleReopen(const QString& reason)
{
    state_ = State::Away;
    checkTimer_.stop();
    // 1, 2, 4, 8, then 10 s: a camera that reboots is back within seconds,
    // one that stays away is not knocked on more than every 10 s.
    int delayMs = std::min(1000 << std::min(failedAttempts_, 4), kLongestRetryMs);
    ++failedAttempts_;
    if (reason.contains(QLatin1String(kRefusedCredentialsMessage))) {
        delayMs = kRefusedCredentialsRetryMs;
        qCWarning(lcCapture, "%s: the camera refused the user name or password: it is asked again only every %d min, "
                  "lest it lock the account", LocalTime().constData(), kRefusedCredentialsRetryMs / 60'000);
    }
    reopenTimer_.start(delayMs);
}

}  // namespace qmd
