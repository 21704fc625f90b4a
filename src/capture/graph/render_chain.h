#pragma once
// The elements between a source and the grabber: the branch point on the
// source's own stream, then whatever decodes and converts it into raw video
// that ends as 24-bit BGR.
#include <gst/gst.h>

namespace qmd {

enum class RenderChainKind { Raw, Jpeg, Decode };

// What the source pad can deliver decides the chain: raw video only needs a
// converter, JPEG alone a decoder first, anything else a decodebin (with the
// decoder capture/sources/video_decoder.h chooses).
RenderChainKind ChooseRenderChain(const GstCaps* offered);

// Adds the chain to the pipeline and links sourcePad -> tee -> chain -> grabber.
// false when some link failed (the caller does not report it).
bool LinkThroughConverters(GstBin* pipeline, GstPad* sourcePad, GstElement* grabber);

}  // namespace qmd
