#pragma once
// The desktop notification of motion: org.freedesktop.Notifications on the
// session bus, with the time and a small picture of the frame. Each new one
// replaces the one before, so a desktop shows at most one of ours.
//
// Notify may be called on any thread and never waits: the call is handed to
// the thread that made the notifier (the GUI thread), which sends it without
// waiting for the answer; the answer (the notification's id) arrives there
// later. A session without the service (or without a session bus) is
// reported once on the error stream; the calls then go on being tried, so a
// notification daemon started later is used.
#include <QObject>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/frame_image.h"

namespace qmd {

class MotionNotifier {
public:
    virtual ~MotionNotifier() = default;
    virtual void Notify(const std::string& text, const FrameImage& frame) = 0;
};

// The picture's longest side in the notification, in pixels.
inline constexpr int kNotificationPictureSide = 128;

// A picture as the notification's image-data carries it: rows of red, green,
// blue bytes, top-down, without padding.
struct NotificationPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgb;
};

// The frame shrunk (never enlarged) to fit kNotificationPictureSide, each
// pixel the mean of the frame's pixels it covers. Empty for an empty frame.
NotificationPicture ShrinkForNotification(const FrameImage& frame);

class DesktopNotifier : public MotionNotifier {
public:
    // On the thread that is to send (it needs an event loop).
    DesktopNotifier();
    ~DesktopNotifier() override;

    void Notify(const std::string& text, const FrameImage& frame) override;

private:
    void Send(const QString& text, const NotificationPicture& picture);

    // Lives on the sending thread: the queued sends and the answers are its
    // events, and they go with it.
    std::unique_ptr<QObject> context_;
    std::uint32_t lastId_ = 0;      // sending thread only
    bool missingReported_ = false;  // sending thread only
};

}  // namespace qmd
