#include "capture/sources/uri_source.h"

#include "capture/sources/graph_elements.h"
#include "capture/sources/source_bin_pads.h"

namespace qmd {

namespace {

void PassCredentials(GstElement*, GstElement* source, gpointer credentials)
{
    SetCredentialProperties(G_OBJECT(source), *static_cast<const AddressCredentials*>(credentials));
}

void FreeCredentials(gpointer credentials, GClosure*) { delete static_cast<AddressCredentials*>(credentials); }

}  // namespace

gst::ElementHandle CreateUriSource(const AddressCredentials& address)
{
    const std::string& uri = address.Address;
    gst::ElementHandle decoder = gst::MakeElement("uridecodebin");
    if (!decoder) return {};
    g_object_set(decoder.get(), "uri", uri.c_str(), nullptr);
    if (!address.User.empty())
        g_signal_connect_data(decoder.get(), "source-setup", G_CALLBACK(PassCredentials),
                              new AddressCredentials(address), FreeCredentials, GConnectFlags(0));

    gst::ElementHandle bin = gst::NewBin();
    gst_bin_add(GST_BIN(bin.get()), decoder.get());
    GstPad* src = gst_ghost_pad_new_no_target("src", GST_PAD_SRC);
    gst_element_add_pad(bin.get(), src);
    g_signal_connect_object(decoder.get(), "pad-added", G_CALLBACK(ExposeVideoPad), bin.get(), GConnectFlags(0));
    g_signal_connect_object(decoder.get(), "pad-removed", G_CALLBACK(ForgetVideoPad), bin.get(), GConnectFlags(0));
    if (!g_str_has_prefix(uri.c_str(), "file:")) ReportEndOfCameraStream(src, bin.get());
    return bin;
}

}  // namespace qmd
