#include "capture/elements/libav_video_decoder.h"

#include <gst/video/gstvideodecoder.h>
#include <gst/video/video.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "capture/elements/libav_library.h"
#include "common/application_title.h"

namespace qmd {
namespace {

// GST_DEBUG=qmdlibavdec:5 traces the decoder's negotiation.
GST_DEBUG_CATEGORY_STATIC(qmd_libav_dec_debug);
#define GST_CAT_DEFAULT qmd_libav_dec_debug

// A picture libavcodec has not given back this many pictures after a later
// one is no longer coming (H.264 and H.265 hold at most 16 for reordering).
constexpr guint32 kMaxPicturesHeld = 16;

// The largest picture decoded on one thread: full HD.
constexpr std::int64_t kLargestOneThreadPicture = 1920 * 1080;

struct CodecOfCaps {
    std::string_view MediaType;
    AVCodecID Codec;
};
constexpr std::array kCodecs{
    CodecOfCaps{"video/x-h264", AV_CODEC_ID_H264},
    CodecOfCaps{"video/x-h265", AV_CODEC_ID_HEVC},
    CodecOfCaps{"video/mpeg", AV_CODEC_ID_MPEG4},
};

struct PictureFormat {
    AVPixelFormat Pixels;
    GstVideoFormat Format;
    bool FullRange;  // the "J" formats: JPEG's full range
};
constexpr std::array kPictureFormats{
    PictureFormat{AV_PIX_FMT_YUV420P, GST_VIDEO_FORMAT_I420, false},
    PictureFormat{AV_PIX_FMT_YUVJ420P, GST_VIDEO_FORMAT_I420, true},
    PictureFormat{AV_PIX_FMT_NV12, GST_VIDEO_FORMAT_NV12, false},
    PictureFormat{AV_PIX_FMT_YUV422P, GST_VIDEO_FORMAT_Y42B, false},
    PictureFormat{AV_PIX_FMT_YUVJ422P, GST_VIDEO_FORMAT_Y42B, true},
    PictureFormat{AV_PIX_FMT_YUV444P, GST_VIDEO_FORMAT_Y444, false},
    PictureFormat{AV_PIX_FMT_YUVJ444P, GST_VIDEO_FORMAT_Y444, true},
    PictureFormat{AV_PIX_FMT_GRAY8, GST_VIDEO_FORMAT_GRAY8, true},
    PictureFormat{AV_PIX_FMT_YUV420P10LE, GST_VIDEO_FORMAT_I420_10LE, false},
    PictureFormat{AV_PIX_FMT_YUV422P10LE, GST_VIDEO_FORMAT_I422_10LE, false},
};

const PictureFormat* FindPictureFormat(int pixels)
{
    for (const PictureFormat& format : kPictureFormats)
        if (format.Pixels == pixels) return &format;
    return nullptr;
}

GstVideoColorMatrix MatrixOf(AVColorSpace space)
{
    switch (space) {
    case AVCOL_SPC_BT709: return GST_VIDEO_COLOR_MATRIX_BT709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M: return GST_VIDEO_COLOR_MATRIX_BT601;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return GST_VIDEO_COLOR_MATRIX_BT2020;
    default: return GST_VIDEO_COLOR_MATRIX_UNKNOWN;  // as the stream's caps say, or GStreamer's default
    }
}

// What the output caps are made of; a picture that differs renegotiates.
struct OutputShape {
    GstVideoFormat Format = GST_VIDEO_FORMAT_UNKNOWN;
    int Width = 0;
    int Height = 0;
    bool FullRange = false;
    GstVideoColorMatrix Matrix = GST_VIDEO_COLOR_MATRIX_UNKNOWN;
    bool operator==(const OutputShape&) const = default;
};

struct QmdLibavDec {
    GstVideoDecoder parent;
    const LibavLibrary* av;  // loaded when the element opens
    AVCodecContext* context;
    AVPacket* packet;
    AVFrame* picture;
    GstVideoCodecState* inputState;
    OutputShape shape;
    gboolean zeroCopy;  // downstream reads GstVideoMeta: pictures go out as libavcodec holds them
};
struct QmdLibavDecClass {
    GstVideoDecoderClass parent_class;
};

G_DEFINE_TYPE(QmdLibavDec, qmd_libav_dec, GST_TYPE_VIDEO_DECODER)

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-h264, alignment=(string)au, stream-format=(string){ avc, avc3, byte-stream }; "
                    "video/x-h265, alignment=(string)au, stream-format=(string){ hvc1, hev1, byte-stream }; "
                    "video/mpeg, mpegversion=(int)4, systemstream=(boolean)false, parsed=(boolean)true"));
GstStaticPadTemplate srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("{ I420, NV12, Y42B, Y444, GRAY8, I420_10LE, I422_10LE }")));

QmdLibavDec* Self(GstVideoDecoder* decoder) { return reinterpret_cast<QmdLibavDec*>(decoder); }

void CloseCodec(QmdLibavDec* self)
{
    self->av->FreeContext(&self->context);
    self->shape = {};
}

// The codec for the stream's caps, opened with the stream's own header
// (codec_data: avcC, hvcC or the MPEG-4 VOL) where it comes apart from the
// pictures.
bool OpenCodec(QmdLibavDec* self, const GstCaps* caps)
{
    CloseCodec(self);
    const GstStructure* structure = gst_caps_get_structure(caps, 0);
    const char* name = gst_structure_get_name(structure);
    auto known = std::find_if(kCodecs.begin(), kCodecs.end(), [name](const CodecOfCaps& c) { return c.MediaType == name; });
    const AVCodec* codec = known != kCodecs.end() ? self->av->FindDecoder(known->Codec) : nullptr;
    if (!codec) {
        GST_ELEMENT_ERROR(self, STREAM, CODEC_NOT_FOUND, (nullptr), ("libavcodec has no decoder for %s", name));
        return false;
    }
    self->context = self->av->AllocContext(codec);
    if (!self->context) return false;
    // Measured by total CPU on 720p camera footage: one thread and a thread
    // per slice cost the same (cameras send one slice a picture), frame
    // threads the most (and they hold back a picture each); more threads
    // cost memory. Pictures larger than full HD get slice threads, where a
    // camera that cuts its pictures into slices needs more than one core.
    int width = 0, height = 0;
    gst_structure_get_int(structure, "width", &width);
    gst_structure_get_int(structure, "height", &height);
    self->context->thread_type = FF_THREAD_SLICE;
    self->context->thread_count = std::int64_t{width} * height > kLargestOneThreadPicture ? 0 : 1;
    // No picture before the stream's first key frame: grey or smeared, it
    // would look like motion.
    self->context->flags &= ~AV_CODEC_FLAG_OUTPUT_CORRUPT;
    if (const GValue* header = gst_structure_get_value(structure, "codec_data"); header && GST_VALUE_HOLDS_BUFFER(header)) {
        GstBuffer* buffer = gst_value_get_buffer(header);
        const gsize size = gst_buffer_get_size(buffer);
        self->context->extradata = static_cast<uint8_t*>(self->av->Mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!self->context->extradata) return false;
        gst_buffer_extract(buffer, 0, self->context->extradata, size);
        self->context->extradata_size = static_cast<int>(size);
    }
    if (self->av->Open(self->context, codec, nullptr) < 0) {
        GST_ELEMENT_ERROR(self, LIBRARY, INIT, (nullptr), ("libavcodec could not open its %s decoder", codec->name));
        CloseCodec(self);
        return false;
    }
    return true;
}

// Makes the output caps the picture's. False when downstream refuses them.
bool NegotiateFor(QmdLibavDec* self, const OutputShape& shape)
{
    GstVideoDecoder* decoder = GST_VIDEO_DECODER(self);
    GST_DEBUG_OBJECT(self, "pictures of %dx%d in %s", shape.Width, shape.Height,
                     gst_video_format_to_string(shape.Format));
    self->shape = {};
    GstVideoCodecState* output =
        gst_video_decoder_set_output_state(decoder, shape.Format, shape.Width, shape.Height, self->inputState);
    if (!output) return false;
    if (shape.FullRange) output->info.colorimetry.range = GST_VIDEO_COLOR_RANGE_0_255;
    if (shape.Matrix != GST_VIDEO_COLOR_MATRIX_UNKNOWN) output->info.colorimetry.matrix = shape.Matrix;
    gst_video_codec_state_unref(output);
    if (!gst_video_decoder_negotiate(decoder)) return false;
    self->shape = shape;
    return true;
}

void FreeFrameReference(gpointer frame)
{
    AVFrame* held = static_cast<AVFrame*>(frame);
    LoadLibav()->FrameFree(&held);
}

// The picture as libavcodec holds it, one read-only memory per plane, each
// keeping its own reference: libavcodec may still predict from it.
GstBuffer* WrapPicture(const LibavLibrary* av, const AVFrame* picture, const GstVideoInfo* info)
{
    GstBuffer* buffer = gst_buffer_new();
    std::array<gsize, GST_VIDEO_MAX_PLANES> offsets{};
    std::array<gint, GST_VIDEO_MAX_PLANES> strides{};
    gsize offset = 0;
    for (guint plane = 0; plane < GST_VIDEO_INFO_N_PLANES(info); ++plane) {
        gint components[GST_VIDEO_MAX_COMPONENTS];
        gst_video_format_info_component(info->finfo, plane, components);
        const gsize rows = GST_VIDEO_FORMAT_INFO_SCALE_HEIGHT(info->finfo, components[0], GST_VIDEO_INFO_HEIGHT(info));
        const gsize size = static_cast<gsize>(picture->linesize[plane]) * rows;
        AVFrame* reference = av->FrameClone(picture);
        if (!reference) {
            gst_buffer_unref(buffer);
            return nullptr;
        }
        gst_buffer_append_memory(buffer, gst_memory_new_wrapped(GST_MEMORY_FLAG_READONLY, picture->data[plane], size,
                                                                0, size, reference, FreeFrameReference));
        offsets[plane] = offset;
        strides[plane] = picture->linesize[plane];
        offset += size;
    }
    gst_buffer_add_video_meta_full(buffer, GST_VIDEO_FRAME_FLAG_NONE, GST_VIDEO_INFO_FORMAT(info),
                                   GST_VIDEO_INFO_WIDTH(info), GST_VIDEO_INFO_HEIGHT(info),
                                   GST_VIDEO_INFO_N_PLANES(info), offsets.data(), strides.data());
    return buffer;
}

// The picture copied row by row into a buffer of downstream's own layout.
void CopyPicture(const AVFrame* picture, GstVideoFrame* out)
{
    for (guint plane = 0; plane < GST_VIDEO_FRAME_N_PLANES(out); ++plane) {
        gint components[GST_VIDEO_MAX_COMPONENTS];
        gst_video_format_info_component(out->info.finfo, plane, components);
        const int rows = GST_VIDEO_FRAME_COMP_HEIGHT(out, components[0]);
        const int outStride = GST_VIDEO_FRAME_PLANE_STRIDE(out, plane);
        const int bytes = std::min(outStride, picture->linesize[plane]);
        auto* to = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(out, plane));
        for (int row = 0; row < rows; ++row)
            std::memcpy(to + static_cast<gsize>(row) * outStride,
                        picture->data[plane] + static_cast<gsize>(row) * picture->linesize[plane], bytes);
    }
}

GstFlowReturn FinishPicture(QmdLibavDec* self, GstVideoCodecFrame* frame, const AVFrame* picture)
{
    GstVideoDecoder* decoder = GST_VIDEO_DECODER(self);
    // A picture with parts missing or concealed (packets lost on the way)
    // is no picture of the scene: compared, it would look like motion.
    if ((picture->flags & AV_FRAME_FLAG_CORRUPT) || picture->decode_error_flags) {
        GST_DEBUG_OBJECT(self, "skipping a damaged picture");
        return gst_video_decoder_drop_frame(decoder, frame);
    }
    const PictureFormat* format = FindPictureFormat(picture->format);
    if (!format) {
        const char* pixels = self->av->PixelFormatName(static_cast<AVPixelFormat>(picture->format));
        GST_ELEMENT_ERROR(self, STREAM, FORMAT, (nullptr), ("pictures in %s cannot be passed on", pixels ? pixels : "?"));
        gst_video_decoder_drop_frame(decoder, frame);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    const OutputShape shape{format->Format, picture->width, picture->height,
                            format->FullRange || picture->color_range == AVCOL_RANGE_JPEG, MatrixOf(picture->colorspace)};
    if (!(shape == self->shape) && !NegotiateFor(self, shape)) {
        gst_video_decoder_drop_frame(decoder, frame);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    GstVideoCodecState* output = gst_video_decoder_get_output_state(decoder);
    if (!output) return gst_video_decoder_drop_frame(decoder, frame);
    bool made = false;
    if (self->zeroCopy) {
        frame->output_buffer = WrapPicture(self->av, picture, &output->info);
        made = frame->output_buffer != nullptr;
    } else if (gst_video_decoder_allocate_output_frame(decoder, frame) == GST_FLOW_OK) {
        GstVideoFrame out;
        if (gst_video_frame_map(&out, &output->info, frame->output_buffer, GST_MAP_WRITE)) {
            CopyPicture(picture, &out);
            gst_video_frame_unmap(&out);
            made = true;
        }
    }
    gst_video_codec_state_unref(output);
    if (!made) return gst_video_decoder_drop_frame(decoder, frame);
    return gst_video_decoder_finish_frame(decoder, frame);
}

// Pictures that libavcodec will never give back (it found nothing to show in
// their packet) are let go once later ones came out, so that they do not pile
// up in the base class.
void ReleaseAbandoned(QmdLibavDec* self, guint32 shown)
{
    if (shown < kMaxPicturesHeld) return;
    GList* frames = gst_video_decoder_get_frames(GST_VIDEO_DECODER(self));
    for (GList* item = frames; item; item = item->next) {
        auto* frame = static_cast<GstVideoCodecFrame*>(item->data);
        if (frame->system_frame_number < shown - kMaxPicturesHeld)
            gst_video_decoder_release_frame(GST_VIDEO_DECODER(self), gst_video_codec_frame_ref(frame));
    }
    g_list_free_full(frames, reinterpret_cast<GDestroyNotify>(gst_video_codec_frame_unref));
}

// Everything libavcodec has ready, each picture matched to its packet's
// frame by the number it carried through reordering.
GstFlowReturn ReceivePictures(QmdLibavDec* self)
{
    GstFlowReturn flow = GST_FLOW_OK;
    while (flow == GST_FLOW_OK) {
        const int received = self->av->ReceiveFrame(self->context, self->picture);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) break;
        if (received < 0) {
            GST_VIDEO_DECODER_ERROR(self, 1, STREAM, DECODE, (nullptr), ("libavcodec could not decode a picture"), flow);
            break;
        }
        const auto number = static_cast<guint32>(self->picture->pts);
        if (GstVideoCodecFrame* frame = gst_video_decoder_get_frame(GST_VIDEO_DECODER(self), static_cast<int>(number))) {
            flow = FinishPicture(self, frame, self->picture);
            ReleaseAbandoned(self, number);
        }
        self->av->FrameUnref(self->picture);
    }
    return flow;
}

gboolean Open(GstVideoDecoder* decoder)
{
    QmdLibavDec* self = Self(decoder);
    self->av = LoadLibav();
    if (!self->av) {
        GST_ELEMENT_ERROR(self, LIBRARY, INIT, ("libavcodec is not installed"), (nullptr));
        return FALSE;
    }
    return TRUE;
}

gboolean Start(GstVideoDecoder* decoder)
{
    QmdLibavDec* self = Self(decoder);
    self->packet = self->av->PacketAlloc();
    self->picture = self->av->FrameAlloc();
    return self->packet && self->picture;
}

gboolean Stop(GstVideoDecoder* decoder)
{
    QmdLibavDec* self = Self(decoder);
    CloseCodec(self);
    self->av->PacketFree(&self->packet);
    self->av->FrameFree(&self->picture);
    if (self->inputState) gst_video_codec_state_unref(self->inputState);
    self->inputState = nullptr;
    return TRUE;
}

gboolean SetFormat(GstVideoDecoder* decoder, GstVideoCodecState* state)
{
    QmdLibavDec* self = Self(decoder);
    if (self->inputState) gst_video_codec_state_unref(self->inputState);
    self->inputState = gst_video_codec_state_ref(state);
    return OpenCodec(self, state->caps);
}

gboolean DecideAllocation(GstVideoDecoder* decoder, GstQuery* query)
{
    QmdLibavDec* self = Self(decoder);
    self->zeroCopy = gst_query_find_allocation_meta(query, GST_VIDEO_META_API_TYPE, nullptr);
    GST_DEBUG_OBJECT(self, "pictures go out %s", self->zeroCopy ? "as they are" : "copied");
    return GST_VIDEO_DECODER_CLASS(qmd_libav_dec_parent_class)->decide_allocation(decoder, query);
}

GstFlowReturn HandleFrame(GstVideoDecoder* decoder, GstVideoCodecFrame* frame)
{
    QmdLibavDec* self = Self(decoder);
    if (!self->context) {
        gst_video_decoder_drop_frame(decoder, frame);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    GstMapInfo input;
    if (!gst_buffer_map(frame->input_buffer, &input, GST_MAP_READ)) return gst_video_decoder_drop_frame(decoder, frame);
    // Not reference-counted: libavcodec copies it into a padded buffer of its own.
    self->packet->data = input.data;
    self->packet->size = static_cast<int>(input.size);
    self->packet->pts = frame->system_frame_number;
    self->packet->flags = GST_VIDEO_CODEC_FRAME_IS_SYNC_POINT(frame) ? AV_PKT_FLAG_KEY : 0;
    int sent = self->av->SendPacket(self->context, self->packet);
    GstFlowReturn flow = GST_FLOW_OK;
    if (sent == AVERROR(EAGAIN)) {  // its pictures are to be taken first
        flow = ReceivePictures(self);
        sent = self->av->SendPacket(self->context, self->packet);
    }
    self->av->PacketUnref(self->packet);
    gst_buffer_unmap(frame->input_buffer, &input);
    if (flow != GST_FLOW_OK) {
        gst_video_decoder_drop_frame(decoder, frame);
        return flow;
    }
    if (sent < 0) {
        // Counted against the base class's "max-errors"; the frame is dropped.
        GST_VIDEO_DECODER_ERROR(self, 1, STREAM, DECODE, (nullptr), ("libavcodec refused a packet"), flow);
        gst_video_decoder_drop_frame(decoder, frame);
        return flow;
    }
    gst_video_codec_frame_unref(frame);  // the base class keeps it until its picture comes out
    return ReceivePictures(self);
}

GstFlowReturn Drain(GstVideoDecoder* decoder)
{
    QmdLibavDec* self = Self(decoder);
    if (!self->context) return GST_FLOW_OK;
    self->av->SendPacket(self->context, nullptr);
    const GstFlowReturn flow = ReceivePictures(self);
    self->av->FlushBuffers(self->context);
    return flow;
}

gboolean Flush(GstVideoDecoder* decoder)
{
    QmdLibavDec* self = Self(decoder);
    if (self->context) self->av->FlushBuffers(self->context);
    return TRUE;
}

void qmd_libav_dec_class_init(QmdLibavDecClass* klass)
{
    GST_DEBUG_CATEGORY_INIT(qmd_libav_dec_debug, kLibavDecoderName, 0, "libavcodec camera stream decoder");
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    gst_element_class_add_static_pad_template(element, &srcTemplate);
    gst_element_class_set_static_metadata(element, "Camera stream decoder", "Codec/Decoder/Video",
                                          "Decodes H.264, H.265 and MPEG-4 camera streams with libavcodec",
                                          kApplicationTitle);
    GstVideoDecoderClass* decoder = GST_VIDEO_DECODER_CLASS(klass);
    decoder->open = Open;
    decoder->start = Start;
    decoder->stop = Stop;
    decoder->set_format = SetFormat;
    decoder->decide_allocation = DecideAllocation;
    decoder->handle_frame = HandleFrame;
    decoder->drain = Drain;
    decoder->finish = Drain;
    decoder->flush = Flush;
}

void qmd_libav_dec_init(QmdLibavDec* self)
{
    self->av = nullptr;
    self->context = nullptr;
    self->packet = nullptr;
    self->picture = nullptr;
    self->inputState = nullptr;
    self->shape = {};
    self->zeroCopy = FALSE;
    // Depayloaders, parsers and demuxers give whole pictures.
    gst_video_decoder_set_packetized(GST_VIDEO_DECODER(self), TRUE);
}

}  // namespace

GType LibavDecoderType() { return qmd_libav_dec_get_type(); }

bool LibavDecoderCanOpen() { return LoadLibav() != nullptr; }

}  // namespace qmd
