#pragma once
// libavcodec and libavutil, loaded when a camera stream first needs them
// rather than linked: their dependencies (codecs by the dozen, an SVG
// renderer) hold about 12 MB of resident pages in a process, which a
// program watching a USB or MJPEG camera should not pay.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
}

#include <string>

namespace qmd {

// The functions the camera stream decoder calls, from the libraries of the
// version the program was built against.
struct LibavLibrary {
    decltype(&avcodec_find_decoder) FindDecoder;
    decltype(&avcodec_alloc_context3) AllocContext;
    decltype(&avcodec_free_context) FreeContext;
    decltype(&avcodec_open2) Open;
    decltype(&avcodec_send_packet) SendPacket;
    decltype(&avcodec_receive_frame) ReceiveFrame;
    decltype(&avcodec_flush_buffers) FlushBuffers;
    decltype(&av_packet_alloc) PacketAlloc;
    decltype(&av_packet_free) PacketFree;
    decltype(&av_packet_unref) PacketUnref;
    decltype(&av_frame_alloc) FrameAlloc;
    decltype(&av_frame_free) FrameFree;
    decltype(&av_frame_clone) FrameClone;
    decltype(&av_frame_unref) FrameUnref;
    decltype(&av_mallocz) Mallocz;
    decltype(&av_get_pix_fmt_name) PixelFormatName;
};

// The libraries, loaded on the first call, once; null when they are not
// installed or lack a function (the reason then goes to GStreamer's log).
const LibavLibrary* LoadLibav();

// libavcodec, with the stand-ins in standInDir put in front of the libraries
// it is linked with: a stand-in loads its library only when one of its
// functions is first called. Null when libavcodec cannot be loaded.
void* OpenLibavcodec(const std::string& standInDir);

}  // namespace qmd
