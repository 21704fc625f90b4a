#include "capture/elements/libav_library.h"

#include <dlfcn.h>
#include <gst/gst.h>

#include <optional>
#include <string>

namespace qmd {
namespace {

GST_DEBUG_CATEGORY_STATIC(qmd_libav_library_debug);
#define GST_CAT_DEFAULT qmd_libav_library_debug

// The sonames of the versions whose headers the program was built with.
std::string Soname(const char* library, int major) { return "lib" + std::string(library) + ".so." + std::to_string(major); }

void* Open(const std::string& soname)
{
    void* handle = dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) GST_WARNING("cannot load %s: %s", soname.c_str(), dlerror());
    return handle;
}

template <typename Function>
bool Resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    if (!function) GST_WARNING("no %s in libavcodec or libavutil", name);
    return function != nullptr;
}

std::optional<LibavLibrary> Load()
{
    GST_DEBUG_CATEGORY_INIT(qmd_libav_library_debug, "qmdlibav", 0, "libavcodec loaded on demand");
    // Neither is ever unloaded: pictures it allocated may outlive any decoder.
    void* avutil = Open(Soname("avutil", LIBAVUTIL_VERSION_MAJOR));
    void* avcodec = avutil ? Open(Soname("avcodec", LIBAVCODEC_VERSION_MAJOR)) : nullptr;
    if (!avcodec) return std::nullopt;
    LibavLibrary f{};
    const bool resolved =
        Resolve(avcodec, "avcodec_find_decoder", f.FindDecoder) &&
        Resolve(avcodec, "avcodec_alloc_context3", f.AllocContext) &&
        Resolve(avcodec, "avcodec_free_context", f.FreeContext) && Resolve(avcodec, "avcodec_open2", f.Open) &&
        Resolve(avcodec, "avcodec_send_packet", f.SendPacket) &&
        Resolve(avcodec, "avcodec_receive_frame", f.ReceiveFrame) &&
        Resolve(avcodec, "avcodec_flush_buffers", f.FlushBuffers) &&
        Resolve(avcodec, "av_packet_alloc", f.PacketAlloc) && Resolve(avcodec, "av_packet_free", f.PacketFree) &&
        Resolve(avcodec, "av_packet_unref", f.PacketUnref) && Resolve(avutil, "av_frame_alloc", f.FrameAlloc) &&
        Resolve(avutil, "av_frame_free", f.FrameFree) && Resolve(avutil, "av_frame_clone", f.FrameClone) &&
        Resolve(avutil, "av_frame_unref", f.FrameUnref) && Resolve(avutil, "av_mallocz", f.Mallocz) &&
        Resolve(avutil, "av_get_pix_fmt_name", f.PixelFormatName);
    if (!resolved) return std::nullopt;
    return f;
}

}  // namespace

const LibavLibrary* LoadLibav()
{
    static const std::optional<LibavLibrary> library = Load();
    return library ? &*library : nullptr;
}

}  // namespace qmd
