#include "capture/sources/source_caps.h"

#include <utility>

namespace qmd {

namespace {

const char* const kOfferedCapsKey = "qmd-offered-caps";
const char* const kDefaultFormatKey = "qmd-default-format";

void AttachCaps(GstElement* element, const char* key, gst::CapsHandle caps)
{
    g_object_set_data_full(G_OBJECT(element), key, caps.release(),
                           [](gpointer data) { gst::CapsHandle owned{static_cast<GstCaps*>(data)}; });
}

}  // namespace

void AttachOfferedCaps(GstElement* source, gst::CapsHandle offered)
{
    AttachCaps(source, kOfferedCapsKey, std::move(offered));
}

void AttachDefaultFormat(GstElement* source, gst::CapsHandle format)
{
    AttachCaps(source, kDefaultFormatKey, std::move(format));
}

const GstCaps* OfferedCapsOf(GstElement* source)
{
    return source ? static_cast<const GstCaps*>(g_object_get_data(G_OBJECT(source), kOfferedCapsKey)) : nullptr;
}

const GstCaps* DefaultFormatOf(GstElement* source)
{
    return source ? static_cast<const GstCaps*>(g_object_get_data(G_OBJECT(source), kDefaultFormatKey)) : nullptr;
}

}  // namespace qmd
