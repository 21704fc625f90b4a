#pragma once
// The device filter member: a bin holding the chosen source and a
// capsfilter that holds the chosen format, with one ghost "src" pad.
#include <cstdint>
#include <vector>

#include "capture/graph/graph_member.h"
#include "gst/handles.h"

namespace qmd {

class Moniker;

class TBaseFilter {
public:
    // Keeps the moniker's bytes; nullptr empties the block.
    void StoreMoniker(const Moniker* moniker);
    // A new source element for the stored moniker; null when the block is
    // empty or names no source that exists now.
    gst::ElementHandle BindDeviceFilter() const;
    bool Empty() const { return bytes_.empty(); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

class TFilter : public IGraphMember {
public:
    TFilter() = default;
    ~TFilter() override;

    TBaseFilter& BaseFilter() { return baseFilter_; }
    const TBaseFilter& BaseFilter() const { return baseFilter_; }

    GstElement* MemberFilter() const override { return bin_.get(); }
    std::string MemberName() const override { return "Filter"; }
    void NotifyMember(TMemberNotify code) override;

    // The source element inside the bin; null when the graph is inactive or
    // no device was bound.
    GstElement* DeviceElement() const { return source_.get(); }

    // The media types the source offers, one structure each, in the source's
    // order (empty caps when there is no device element or it cannot tell).
    gst::CapsHandle OfferedCaps() const;
    // Applies one of them; it takes effect when the stream next negotiates
    // (the format command stops the graph and renders again).
    void SetFormat(const GstCaps* fixedCaps);

private:
    void BuildBin();
    void ReleaseBin();

    TBaseFilter baseFilter_;
    gst::ElementHandle bin_;
    gst::ElementHandle source_;
    gst::ElementHandle formatFilter_;
};

}  // namespace qmd
