#include "capture/sources/video_decoder.h"

#include <algorithm>
#include <array>

#include "gst/handles.h"

namespace qmd {

namespace {

struct DecoderChoice {
    const char* Caps;
    std::array<const char*, 2> Factories;  // hardware first
};

constexpr std::array kDecoderChoices{
    DecoderChoice{"video/x-h264", {"vah264dec", "avdec_h264"}},
    DecoderChoice{"video/x-h265", {"vah265dec", "avdec_h265"}},
};

bool IsSoftwareDecoder(const char* factory)
{
    return g_str_equal(factory, "avdec_h264") || g_str_equal(factory, "avdec_h265");
}

G_GNUC_BEGIN_IGNORE_DEPRECATIONS  // decodebin's "autoplug-sort" speaks GValueArray

// Our decoders first, then what decodebin found, in its order.
GValueArray* SortFactories(GstElement*, GstPad*, GstCaps* caps, GValueArray* found, gpointer)
{
    const std::vector<std::string> ours = VideoDecodersFor(caps);
    if (ours.empty()) return nullptr;  // decodebin's own order
    GValueArray* sorted = g_value_array_new(found->n_values + ours.size());
    GValue value = G_VALUE_INIT;
    g_value_init(&value, GST_TYPE_ELEMENT_FACTORY);
    for (const std::string& name : ours) {
        GstElementFactory* factory = gst_element_factory_find(name.c_str());
        g_value_take_object(&value, factory);
        g_value_array_append(sorted, &value);
    }
    for (guint i = 0; i < found->n_values; ++i) {
        GValue* other = g_value_array_get_nth(found, i);
        const char* name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(g_value_get_object(other)));
        if (std::find(ours.begin(), ours.end(), name) == ours.end()) g_value_array_append(sorted, other);
    }
    g_value_unset(&value);
    return sorted;
}

G_GNUC_END_IGNORE_DEPRECATIONS

void ConfigureAddedElement(GstBin*, GstElement* element, gpointer) { ConfigureVideoDecoder(element); }

}  // namespace

std::vector<std::string> VideoDecodersFor(const GstCaps* caps)
{
    std::vector<std::string> decoders;
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return decoders;
    for (const DecoderChoice& choice : kDecoderChoices) {
        gst::CapsHandle kind{gst_caps_from_string(choice.Caps)};
        if (!gst_caps_is_subset(caps, kind.get())) continue;
        for (const char* name : choice.Factories) {
            gst::ObjectHandle<GstElementFactory> factory{gst_element_factory_find(name)};
            if (factory) decoders.emplace_back(name);
        }
    }
    return decoders;
}

void ChooseVideoDecoders(GstElement* decodebin)
{
    g_signal_connect(decodebin, "autoplug-sort", G_CALLBACK(SortFactories), nullptr);
    g_signal_connect(decodebin, "element-added", G_CALLBACK(ConfigureAddedElement), nullptr);
}

void ConfigureVideoDecoder(GstElement* decoder)
{
    GstElementFactory* factory = gst_element_get_factory(decoder);
    if (!factory || !IsSoftwareDecoder(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)))) return;
    g_object_set(decoder, "thread-type", 2 /* slice */, "max-threads", 0, nullptr);
}

}  // namespace qmd
