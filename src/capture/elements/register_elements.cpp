#include "capture/elements/register_elements.h"

#include <gst/gst.h>

#include "capture/elements/libav_video_decoder.h"
#include "capture/elements/mjpeg_http_source.h"
#include "capture/elements/turbo_jpeg_decoder.h"
#include "capture/elements/yuv_to_bgr.h"
#include "gst/init.h"

namespace qmd {

bool RegisterOwnElements()
{
    static const bool registered = [] {
        gst::EnsureInitialized();
        // Ranked above jpegdec, so that decodebin picks our decoder for MJPEG
        // too; the camera source is chosen only by name.
        const bool decoder = gst_element_register(nullptr, kTurboJpegDecoderName, GST_RANK_PRIMARY + 1,
                                                  TurboJpegDecoderType()) == TRUE;
        const bool source =
            gst_element_register(nullptr, kMjpegHttpSourceName, GST_RANK_NONE, MjpegHttpSourceType()) == TRUE;
        const bool converter = gst_element_register(nullptr, kYuvToBgrName, GST_RANK_NONE, YuvToBgrType()) == TRUE;
        const bool videoDecoder =
            gst_element_register(nullptr, kLibavDecoderName, GST_RANK_NONE, LibavDecoderType()) == TRUE;
        return decoder && source && converter && videoDecoder;
    }();
    return registered;
}

bool IsOwnElementFactory(const char* factoryName)
{
    return factoryName && g_str_has_prefix(factoryName, "qmd");
}

}  // namespace qmd
