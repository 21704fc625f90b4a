#include "capture/elements/libav_library.h"

#include "common/executable_path.h"

#include <dlfcn.h>
#include <gst/gst.h>

#include <optional>
#include <string>
#include <vector>

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

}  // namespace

void* OpenLibavcodec(const std::string& standInDir)
{
    // Each stand-in takes the place of the library of its name for
    // libavcodec, unless that library is in the process already.
    std::vector<void*> standIns;
    if (GDir* dir = g_dir_open(standInDir.c_str(), 0, nullptr)) {
        while (const gchar* name = g_dir_read_name(dir)) {
            if (void* loaded = dlopen(name, RTLD_NOW | RTLD_NOLOAD)) {
                dlclose(loaded);
                continue;
            }
            const std::string path = standInDir + "/" + name;
            if (void* standIn = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
                standIns.push_back(standIn);
            else
                GST_WARNING("stand-in %s not loaded: %s", path.c_str(), dlerror());
        }
        g_dir_close(dir);
    }
    const std::string soname = Soname("avcodec", LIBAVCODEC_VERSION_MAJOR);
    void* avcodec = dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (avcodec || standIns.empty()) {
        if (!avcodec) GST_WARNING("cannot load %s: %s", soname.c_str(), dlerror());
        GST_DEBUG("%s loaded with %zu stand-ins", soname.c_str(), standIns.size());
        return avcodec;
    }
    // A stand-in made for another build of a library lacks something
    // libavcodec now asks for: without them, it loads as it is.
    GST_WARNING("cannot load %s with the stand-ins of %s: %s", soname.c_str(), standInDir.c_str(), dlerror());
    for (void* standIn : standIns) dlclose(standIn);
    return Open(soname);
}

namespace {

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
    void* avcodec = avutil ? OpenLibavcodec(BesideExecutable(QMD_LAZY_LIBRARY_DIR)) : nullptr;
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
