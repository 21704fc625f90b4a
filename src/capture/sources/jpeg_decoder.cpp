#include "capture/sources/jpeg_decoder.h"

#include "capture/sources/graph_elements.h"
#include "capture/elements/register_elements.h"
#include "capture/elements/turbo_jpeg_decoder.h"

namespace qmd {

bool PreferTurboJpegDecoder() { return RegisterOwnElements(); }

JpegDecoder MakeJpegDecoder()
{
    if (PreferTurboJpegDecoder()) {
        if (gst::ElementHandle ours = gst::MakeElement(kTurboJpegDecoderName)) return {std::move(ours), true};
    }
    return {gst::MakeElement("jpegdec"), false};
}

}  // namespace qmd
