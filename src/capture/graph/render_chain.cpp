#include "capture/graph/render_chain.h"

#include <vector>

#include "capture/elements/register_elements.h"
#include "capture/elements/yuv_to_bgr.h"
#include "capture/graph/stream_branch.h"
#include "capture/sources/graph_elements.h"
#include "capture/sources/jpeg_decoder.h"
#include "capture/sources/video_decoder.h"

namespace qmd {

namespace {

bool CanIntersectWith(const GstCaps* offered, const char* text)
{
    gst::CapsHandle wanted = gst::CapsFromString(text);
    return gst_caps_can_intersect(offered, wanted.get());
}

bool IsSubsetOf(const GstCaps* offered, const char* text)
{
    gst::CapsHandle wanted = gst::CapsFromString(text);
    return gst_caps_is_subset(offered, wanted.get());
}

}  // namespace

RenderChainKind ChooseRenderChain(const GstCaps* offered)
{
    if (!offered || gst_caps_is_empty(offered)) return RenderChainKind::Decode;
    if (CanIntersectWith(offered, "video/x-raw")) return RenderChainKind::Raw;
    // Only JPEG: a source that may also give other compressed video (a
    // network camera that has not said yet which) needs decodebin.
    if (IsSubsetOf(offered, "image/jpeg")) return RenderChainKind::Jpeg;
    return RenderChainKind::Decode;
}

bool LinkThroughConverters(GstBin* pipeline, GstPad* sourcePad, GstElement* grabber)
{
    gst::CapsHandle offered{gst_pad_query_caps(sourcePad, nullptr)};
    const RenderChainKind kind = ChooseRenderChain(offered.get());

    std::vector<gst::ElementHandle> chain;
    bool bgrAlready = false;
    if (kind == RenderChainKind::Jpeg) {
        JpegDecoder decoder = MakeJpegDecoder();
        // A decoder that gives nothing but BGR needs no converter to pass each frame through.
        bgrAlready = decoder.WritesBgr;
        chain.push_back(std::move(decoder.Element));
    }
    if (kind == RenderChainKind::Decode) {
        chain.push_back(MakeVideoDecoderBin());
        // The decoders' YUV 4:2:0 into BGR with SIMD kernels; whatever else
        // a decoder gives passes on to videoconvert.
        if (RegisterOwnElements()) chain.push_back(gst::MakeElement(kYuvToBgrName));
    }
    if (!bgrAlready) chain.push_back(gst::MakeElement("videoconvert"));
    for (const auto& element : chain)
        if (!element) return false;

    // The source's own stream branches before it is decoded.
    gst::PadHandle decodedBranch = InsertBranchPoint(pipeline, sourcePad);
    if (!decodedBranch) return false;
    for (const auto& element : chain) gst_bin_add(pipeline, element.get());

    bool linked = true;
    {
        gst::PadHandle firstSink{gst_element_get_static_pad(chain.front().get(), "sink")};
        linked = firstSink && gst_pad_link(decodedBranch.get(), firstSink.get()) == GST_PAD_LINK_OK;
    }
    for (std::size_t i = 0; i + 1 < chain.size(); ++i)
        linked = gst_element_link(chain[i].get(), chain[i + 1].get()) && linked;
    linked = gst_element_link(chain.back().get(), grabber) && linked;

    for (const auto& element : chain) gst_element_sync_state_with_parent(element.get());
    return linked;
}

}  // namespace qmd
