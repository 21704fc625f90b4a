#include "capture/graph/filter.h"

#include "capture/graph/filter_graph.h"
#include "capture/sources/graph_elements.h"
#include "capture/sources/moniker.h"
#include "capture/sources/source_caps.h"
#include "capture/sources/source_factory.h"

namespace qmd {

void TBaseFilter::StoreMoniker(const Moniker* moniker)
{
    if (moniker)
        bytes_ = moniker->Bytes();
    else
        bytes_.clear();
}

gst::ElementHandle TBaseFilter::BindDeviceFilter() const
{
    if (bytes_.empty()) return {};
    const auto fields = Moniker::FromBytes(bytes_).Fields();
    if (!fields) return {};
    return CreateSourceElement(*fields);
}

TFilter::~TFilter() { DetachFromGraph(); }

void TFilter::NotifyMember(TMemberNotify code)
{
    switch (code) {
    case TMemberNotify::Adding: BuildBin(); return;
    case TMemberNotify::Added: return;
    case TMemberNotify::Removing:
        if (bin_) gst_element_set_state(bin_.get(), GST_STATE_NULL);
        return;
    case TMemberNotify::Removed: ReleaseBin(); return;
    case TMemberNotify::Refresh: {
        TFilterGraph* graph = FilterGraph();
        SetFilterGraph(nullptr);
        SetFilterGraph(graph);
        return;
    }
    }
}

void TFilter::BuildBin()
{
    ReleaseBin();
    gst::ElementHandle source = baseFilter_.BindDeviceFilter();
    if (!source) return;
    gst::ElementHandle format = gst::MakeElement("capsfilter", "format");
    if (!format) return;
    if (const GstCaps* defaultFormat = DefaultFormatOf(source.get()))
        g_object_set(format.get(), "caps", defaultFormat, nullptr);

    gst::ElementHandle bin = gst::NewBin(MemberName().c_str());
    gst_bin_add_many(GST_BIN(bin.get()), source.get(), format.get(), nullptr);
    gst::PadHandle sourcePad{gst_element_get_static_pad(source.get(), "src")};
    gst::PadHandle formatSink{gst_element_get_static_pad(format.get(), "sink")};
    if (sourcePad && formatSink) gst_pad_link(sourcePad.get(), formatSink.get());
    gst::PadHandle formatSrc{gst_element_get_static_pad(format.get(), "src")};
    gst_element_add_pad(bin.get(), gst_ghost_pad_new("src", formatSrc.get()));

    bin_ = std::move(bin);
    source_ = std::move(source);
    formatFilter_ = std::move(format);
}

void TFilter::ReleaseBin()
{
    if (bin_) gst_element_set_state(bin_.get(), GST_STATE_NULL);
    formatFilter_.reset();
    source_.reset();
    bin_.reset();
}

gst::CapsHandle TFilter::OfferedCaps() const
{
    if (!source_) return gst::CapsHandle{gst_caps_new_empty()};
    if (const GstCaps* offered = OfferedCapsOf(source_.get())) return gst::CapsHandle{gst_caps_copy(offered)};
    // A source that did not say: what its pad can do once it is open.
    gst::PadHandle pad{gst_element_get_static_pad(source_.get(), "src")};
    GstState state = GST_STATE_NULL;
    gst_element_get_state(source_.get(), &state, nullptr, 0);
    if (!pad || state < GST_STATE_READY) return gst::CapsHandle{gst_caps_new_empty()};
    gst::CapsHandle caps{gst_pad_query_caps(pad.get(), nullptr)};
    if (!caps || gst_caps_is_any(caps.get())) return gst::CapsHandle{gst_caps_new_empty()};
    return caps;
}

void TFilter::SetFormat(const GstCaps* fixedCaps)
{
    if (!formatFilter_ || !fixedCaps) return;
    g_object_set(formatFilter_.get(), "caps", fixedCaps, nullptr);
}

}  // namespace qmd
