#include "capture/elements/turbo_jpeg_decoder.h"

#include <gst/video/gstvideodecoder.h>
#include <gst/video/video.h>
#include <turbojpeg.h>

#include <mutex>
#include <string>

#include "capture/elements/jpeg_picture_size.h"
#include "common/application_title.h"
#include "gst/handles.h"

namespace qmd {
namespace {

// GST_DEBUG=qmdturbojpegdec:5 traces the decoder's negotiation.
GST_DEBUG_CATEGORY_STATIC(qmd_turbo_jpeg_dec_debug);
#define GST_CAT_DEFAULT qmd_turbo_jpeg_dec_debug

struct QmdTurboJpegDec {
    GstVideoDecoder parent;
    tjhandle decompressor;
    GstVideoCodecState* inputState;
    int width;
    int height;
};
struct QmdTurboJpegDecClass {
    GstVideoDecoderClass parent_class;
};

G_DEFINE_TYPE(QmdTurboJpegDec, qmd_turbo_jpeg_dec, GST_TYPE_VIDEO_DECODER)

GstStaticPadTemplate sinkTemplate =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("image/jpeg"));
GstStaticPadTemplate srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("BGR")));

QmdTurboJpegDec* Self(GstVideoDecoder* decoder) { return reinterpret_cast<QmdTurboJpegDec*>(decoder); }

// An image that is not shown and not compared: one libjpeg-turbo refused,
// wholly or in part (half a picture would look like motion), or one that
// declares a picture larger than a camera sends. Each is a warning on the
// bus; the application that runs the pipeline counts them and reports them
// as it sees fit.
GstFlowReturn SkipImage(QmdTurboJpegDec* self, GstVideoCodecFrame* frame, const std::string& reason)
{
    GST_ELEMENT_WARNING(self, STREAM, DECODE, ("%s", reason.c_str()), (nullptr));
    return gst_video_decoder_drop_frame(GST_VIDEO_DECODER(self), frame);
}

// A refused header leaves the decompressor unable to read any later image,
// so it is made anew.
GstFlowReturn SkipUndecodable(QmdTurboJpegDec* self, GstVideoCodecFrame* frame)
{
    const std::string reason = tjGetErrorStr2(self->decompressor);
    tjDestroy(self->decompressor);
    self->decompressor = tjInitDecompress();
    const GstFlowReturn dropped = SkipImage(self, frame, reason);
    return self->decompressor ? dropped : GST_FLOW_ERROR;
}

// libjpeg-turbo writes CMYK pictures only as CMYK, and converting them needs
// a colour profile a camera does not send: they are skipped, and standard
// error hears of it once, since a camera that sends one sends nothing else.
GstFlowReturn SkipCmyk(QmdTurboJpegDec* self, GstVideoCodecFrame* frame)
{
    static std::once_flag reported;
    std::call_once(reported, [self] {
        GST_ELEMENT_WARNING(self, STREAM, FORMAT,
                            ("The camera sends images in an unsupported JPEG colour space (CMYK): they are skipped"),
                            (nullptr));
    });
    return gst_video_decoder_drop_frame(GST_VIDEO_DECODER(self), frame);
}

// Makes the output state the picture's size. False when GStreamer cannot
// describe a picture that large, or downstream refuses it: the old state,
// sized for other pictures, must then never receive this one.
bool SetOutputSize(QmdTurboJpegDec* self, int width, int height)
{
    GstVideoDecoder* decoder = GST_VIDEO_DECODER(self);
    GST_DEBUG_OBJECT(self, "images of %dx%d", width, height);
    self->width = self->height = 0;
    GstVideoCodecState* output =
        gst_video_decoder_set_output_state(decoder, GST_VIDEO_FORMAT_BGR, width, height, self->inputState);
    if (!output) return false;
    gst_video_codec_state_unref(output);
    if (!gst_video_decoder_negotiate(decoder)) return false;
    self->width = width;
    self->height = height;
    return true;
}

gboolean Start(GstVideoDecoder* decoder)
{
    QmdTurboJpegDec* self = Self(decoder);
    self->decompressor = tjInitDecompress();
    self->width = self->height = 0;
    return self->decompressor != nullptr;
}

gboolean Stop(GstVideoDecoder* decoder)
{
    QmdTurboJpegDec* self = Self(decoder);
    if (self->decompressor) tjDestroy(self->decompressor);
    self->decompressor = nullptr;
    if (self->inputState) gst_video_codec_state_unref(self->inputState);
    self->inputState = nullptr;
    return TRUE;
}

gboolean SetFormat(GstVideoDecoder* decoder, GstVideoCodecState* state)
{
    QmdTurboJpegDec* self = Self(decoder);
    if (self->inputState) gst_video_codec_state_unref(self->inputState);
    self->inputState = gst_video_codec_state_ref(state);
    self->width = self->height = 0;  // negotiate again with the next frame
    return TRUE;
}

GstFlowReturn HandleFrame(GstVideoDecoder* decoder, GstVideoCodecFrame* frame)
{
    QmdTurboJpegDec* self = Self(decoder);
    gst::MappedBuffer input(frame->input_buffer, GST_MAP_READ);
    if (!input) return gst_video_decoder_drop_frame(decoder, frame);
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(self->decompressor, input.data(), static_cast<unsigned long>(input.size()), &width, &height,
                            &subsampling, &colourspace) != 0 ||
        width <= 0 || height <= 0)
        return SkipUndecodable(self, frame);
    if (!IsAcceptedJpegSize(width, height))
        return SkipImage(self, frame, OversizedJpegReason(width, height));
    if (colourspace == TJCS_CMYK || colourspace == TJCS_YCCK) return SkipCmyk(self, frame);
    if ((width != self->width || height != self->height) && !SetOutputSize(self, width, height))
        return SkipImage(self, frame, "no output for a picture of its size");
    const GstFlowReturn allocated = gst_video_decoder_allocate_output_frame(decoder, frame);
    if (allocated != GST_FLOW_OK) {
        gst_video_decoder_drop_frame(decoder, frame);
        return allocated;
    }
    GstVideoCodecState* output = gst_video_decoder_get_output_state(decoder);
    if (!output) return SkipImage(self, frame, "no output state");
    GstVideoFrame picture;
    const bool mapped = gst_video_frame_map(&picture, &output->info, frame->output_buffer, GST_MAP_WRITE);
    gst_video_codec_state_unref(output);
    if (!mapped) return gst_video_decoder_drop_frame(decoder, frame);
    // The picture is written only into a frame of its own size.
    if (GST_VIDEO_FRAME_WIDTH(&picture) != width || GST_VIDEO_FRAME_HEIGHT(&picture) != height) {
        gst_video_frame_unmap(&picture);
        return SkipImage(self, frame, "no output for a picture of its size");
    }
    const int failed =
        tjDecompress2(self->decompressor, input.data(), static_cast<unsigned long>(input.size()),
                      static_cast<unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(&picture, 0)), width,
                      GST_VIDEO_FRAME_PLANE_STRIDE(&picture, 0), height, TJPF_BGR, TurboJpegDecodeFlags());
    gst_video_frame_unmap(&picture);
    if (failed) return SkipUndecodable(self, frame);
    return gst_video_decoder_finish_frame(decoder, frame);
}

void qmd_turbo_jpeg_dec_class_init(QmdTurboJpegDecClass* klass)
{
    GST_DEBUG_CATEGORY_INIT(qmd_turbo_jpeg_dec_debug, kTurboJpegDecoderName, 0, "libjpeg-turbo JPEG to BGR decoder");
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    gst_element_class_add_static_pad_template(element, &srcTemplate);
    gst_element_class_set_static_metadata(element, "JPEG to BGR decoder", "Codec/Decoder/Image",
                                          "Decodes JPEG images straight to 24-bit BGR with libjpeg-turbo",
                                          kApplicationTitle);
    GstVideoDecoderClass* decoder = GST_VIDEO_DECODER_CLASS(klass);
    decoder->start = Start;
    decoder->stop = Stop;
    decoder->set_format = SetFormat;
    decoder->handle_frame = HandleFrame;
}

void qmd_turbo_jpeg_dec_init(QmdTurboJpegDec* self)
{
    self->decompressor = nullptr;
    self->inputState = nullptr;
    self->width = self->height = 0;
    // Every buffer a camera, a demuxer or a multipart stream gives is one whole image.
    gst_video_decoder_set_packetized(GST_VIDEO_DECODER(self), TRUE);
}

}  // namespace

int TurboJpegDecodeFlags()
{
    // Measured on camera-like footage (bench/capture/bench_jpeg_decode):
    // - chroma doubled by repeating samples rather than interpolating saves
    //   8-11 % of a frame's decoding; where colour changes sharply (edges,
    //   chroma noise) a colour may land far off the smooth decode (up to ~100
    //   levels, 4-6 % of colours more than 8 off, PSNR 28-32 dB), but both
    //   frames of a comparison are decoded alike and the preview shrinks it;
    // - the fast integer inverse DCT saves another 2-6 %, at most 7 levels
    //   off (PSNR 45 dB).
    return TJFLAG_FASTUPSAMPLE | TJFLAG_FASTDCT;
}

GType TurboJpegDecoderType() { return qmd_turbo_jpeg_dec_get_type(); }

}  // namespace qmd
