#include "capture/xcb_preview_surface.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <bit>
#include <cstdlib>

namespace qmd {
namespace {

template <typename T>
struct FreeReply {
    void operator()(T* reply) const { std::free(reply); }
};
// xcb hands replies, events and errors over in malloc'd memory.
template <typename T>
using Owned = std::unique_ptr<T, FreeReply<T>>;

// 32-bit pixels that read as 0x??RRGGBB in the host's byte order: what our
// scaler writes.
bool TakesRgb32(const xcb_setup_t* setup, xcb_visualid_t visualId, std::uint8_t depth)
{
    const std::uint8_t hostOrder =
        std::endian::native == std::endian::little ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != hostOrder) return false;
    bool thirtyTwoBits = false;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats))
        if (formats.data->depth == depth) thirtyTwoBits = formats.data->bits_per_pixel == 32;
    if (!thirtyTwoBits) return false;
    for (auto screens = xcb_setup_roots_iterator(setup); screens.rem; xcb_screen_next(&screens))
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem; xcb_depth_next(&depths))
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals))
                if (visuals.data->visual_id == visualId)
                    return depths.data->depth == depth && visuals.data->red_mask == 0xFF0000 &&
                           visuals.data->green_mask == 0x00FF00 && visuals.data->blue_mask == 0x0000FF &&
                           (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                            visuals.data->_class == XCB_VISUAL_CLASS_DIRECT_COLOR);
    return false;
}

}  // namespace

std::unique_ptr<XcbPreviewSurface> XcbPreviewSurface::Open(const char* displayName)
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(displayName, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    std::unique_ptr<XcbPreviewSurface> surface(new XcbPreviewSurface(connection));
    // Qt's windows take the screen's own visual: a display whose pixels are
    // not 32-bit RGB (16-bit colour, say) is Qt's to paint.
    const xcb_setup_t* setup = xcb_get_setup(connection);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    if (!screens.rem || !TakesRgb32(setup, screens.data->root_visual, screens.data->root_depth)) return nullptr;
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(connection, &xcb_shm_id);
    if (!shm || !shm->present) return nullptr;
    surface->shmFirstEvent_ = shm->first_event;
    surface->shmMajorOpcode_ = shm->major_opcode;
    // A display on another machine has the extension but cannot reach our
    // memory: one small segment tells.
    SharedImage probe;
    const bool reachable = surface->Allocate(probe, QSize(1, 1));
    surface->Release(probe);
    if (!reachable) return nullptr;
    return surface;
}

XcbPreviewSurface::XcbPreviewSurface(xcb_connection_t* connection) : connection_(connection) {}

XcbPreviewSurface::~XcbPreviewSurface()
{
    // The server lets go of the segments and the GC with the connection.
    for (SharedImage& image : images_) Release(image);
    xcb_disconnect(connection_);
}

int XcbPreviewSurface::FileDescriptor() const { return xcb_get_file_descriptor(connection_); }

XcbPreviewSurface::Outcome XcbPreviewSurface::Present(std::uint32_t window, QSize size,
                                                      const std::function<void(QImage&)>& draw)
{
    if (xcb_connection_has_error(connection_)) return Outcome::Failed;
    if (window == 0 || size.isEmpty()) return Outcome::Shown;
    // Sizes travel as 16-bit numbers; no screen is that large.
    if (size.width() > 0x7FFF || size.height() > 0x7FFF) return Outcome::Failed;
    ReadEvents();
    if (window != boundWindow_ && !BindWindow(window)) return Outcome::Failed;

    SharedImage* image = nullptr;
    for (std::size_t i = 0; i < images_.size() && !image; ++i) {
        SharedImage& candidate = images_[(next_ + i) % images_.size()];
        if (!candidate.serverReading) image = &candidate;
    }
    if (!image) return Outcome::Busy;
    if (image->size != size) {
        Release(*image);
        if (!Allocate(*image, size)) return Outcome::Failed;
    }
    QImage picture(image->pixels, size.width(), size.height(), size.width() * 4, QImage::Format_RGB32);
    draw(picture);

    const auto width = static_cast<std::uint16_t>(size.width());
    const auto height = static_cast<std::uint16_t>(size.height());
    const xcb_void_cookie_t put = xcb_shm_put_image(connection_, window, gc_, width, height, 0, 0, width, height, 0, 0,
                                                    depth_, XCB_IMAGE_FORMAT_Z_PIXMAP, 1, image->segment, 0);
    image->serverReading = true;
    image->putSequence = put.sequence;
    next_ = static_cast<std::size_t>(image - images_.data() + 1) % images_.size();
    xcb_flush(connection_);
    return Outcome::Shown;
}

bool XcbPreviewSurface::BindWindow(std::uint32_t window)
{
    const auto geometryCookie = xcb_get_geometry(connection_, window);
    const auto attributesCookie = xcb_get_window_attributes(connection_, window);
    Owned<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection_, geometryCookie, nullptr));
    Owned<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection_, attributesCookie, nullptr));
    // No such window on this display: Qt talks to another one.
    if (!geometry || !attributes) return false;
    if (!TakesRgb32(xcb_get_setup(connection_), attributes->visual, geometry->depth)) return false;

    // Root and depth suit every window the GC may serve; made anew anyway,
    // with the window at hand.
    if (gc_) xcb_free_gc(connection_, gc_);
    gc_ = xcb_generate_id(connection_);
    // Our puts need no exposure events.
    const std::uint32_t noExposures = 0;
    xcb_create_gc(connection_, gc_, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    boundWindow_ = window;
    depth_ = geometry->depth;
    return true;
}

bool XcbPreviewSurface::Allocate(SharedImage& image, QSize size)
{
    const std::size_t bytes = static_cast<std::size_t>(size.width()) * static_cast<std::size_t>(size.height()) * 4;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id == -1) return false;
    void* pixels = shmat(id, nullptr, 0);
    if (pixels == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    const std::uint32_t segment = xcb_generate_id(connection_);
    Owned<xcb_generic_error_t> error(
        xcb_request_check(connection_, xcb_shm_attach_checked(connection_, segment, id, 1)));
    // Once both sides are attached, removal waits for both to detach; nothing
    // outlives the program.
    shmctl(id, IPC_RMID, nullptr);
    if (error || xcb_connection_has_error(connection_)) {
        shmdt(pixels);
        return false;
    }
    image.segment = segment;
    image.pixels = static_cast<std::uint8_t*>(pixels);
    image.size = size;
    image.serverReading = false;
    return true;
}

void XcbPreviewSurface::Release(SharedImage& image)
{
    if (!image.segment) return;
    // The server handles requests in order: a put still pending reads the
    // segment before the detach takes it away.
    xcb_shm_detach(connection_, image.segment);
    shmdt(image.pixels);
    image = SharedImage{};
}

void XcbPreviewSurface::ReadEvents()
{
    while (Owned<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == shmFirstEvent_ + XCB_SHM_COMPLETION) {
            const auto* done = reinterpret_cast<const xcb_shm_completion_event_t*>(event.get());
            for (SharedImage& image : images_)
                if (image.segment == done->shmseg) image.serverReading = false;
        } else if (type == 0) {
            // A put that failed (the window went away just before) sends no
            // completion: its buffer is free again.
            const auto* error = reinterpret_cast<const xcb_generic_error_t*>(event.get());
            for (SharedImage& image : images_)
                if (image.serverReading && error->major_code == shmMajorOpcode_ &&
                    error->minor_code == XCB_SHM_PUT_IMAGE && image.putSequence == error->full_sequence)
                    image.serverReading = false;
        }
    }
}

}  // namespace qmd
