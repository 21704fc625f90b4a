#pragma once
// Puts the preview on an X11 window through shared memory, over a display
// connection of its own.
//
// Qt's backing store makes a round trip to the X server before each paint
// into the area it flushed last time, which for video is every frame: the
// server, Qt's event reader thread and the GUI thread all wake for it. Here
// the server's completion events, which say when a buffer may be drawn into
// again, wait on our own connection until the next frame reads them, so a
// frame costs one request and wakes no one but the server.
//
// GUI thread only.
#include <QImage>
#include <QSize>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

struct xcb_connection_t;

namespace qmd {

class XcbPreviewSurface {
public:
    // Null when the display cannot be reached or offers no shared memory.
    static std::unique_ptr<XcbPreviewSurface> Open(const char* displayName);
    ~XcbPreviewSurface();
    XcbPreviewSurface(const XcbPreviewSurface&) = delete;
    XcbPreviewSurface& operator=(const XcbPreviewSurface&) = delete;

    enum class Outcome {
        Shown,   // the picture is on its way to the server
        Busy,    // the server still reads both buffers: try again once the connection is readable
        Failed,  // this window or display cannot take our pictures: paint them another way
    };
    // Lets `draw` fill a 32-bit RGB picture of `size` device pixels, then puts
    // it on `window`.
    Outcome Present(std::uint32_t window, QSize size, const std::function<void(QImage&)>& draw);
    // The window was made again (perhaps under the same id): look at it afresh.
    void ForgetWindow() { boundWindow_ = 0; }
    // Readable when the server has sent something; Present reads it.
    int FileDescriptor() const;

private:
    struct SharedImage {
        std::uint32_t segment = 0;  // 0: nothing attached
        std::uint8_t* pixels = nullptr;
        QSize size;
        bool serverReading = false;  // put, and no completion or error seen yet
        std::uint32_t putSequence = 0;
    };

    explicit XcbPreviewSurface(xcb_connection_t* connection);
    bool BindWindow(std::uint32_t window);
    bool Allocate(SharedImage& image, QSize size);
    void Release(SharedImage& image);
    void ReadEvents();

    xcb_connection_t* connection_;
    std::uint8_t shmFirstEvent_ = 0;
    std::uint8_t shmMajorOpcode_ = 0;
    std::uint32_t boundWindow_ = 0;
    std::uint8_t depth_ = 0;
    std::uint32_t gc_ = 0;
    std::array<SharedImage, 2> images_;
    std::size_t next_ = 0;
};

}  // namespace qmd
