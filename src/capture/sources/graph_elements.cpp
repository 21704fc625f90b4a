#include "capture/sources/graph_elements.h"

namespace qmd::gst {

std::vector<ElementHandle> Children(GstBin* bin)
{
    std::vector<ElementHandle> children;
    GST_OBJECT_LOCK(bin);
    for (GList* item = GST_BIN_CHILDREN(bin); item; item = item->next)
        children.push_back(NewRef(GST_ELEMENT(item->data)));
    GST_OBJECT_UNLOCK(bin);
    return children;
}

std::vector<PadHandle> Pads(GstElement* element)
{
    std::vector<PadHandle> pads;
    GST_OBJECT_LOCK(element);
    for (GList* item = GST_ELEMENT_PADS(element); item; item = item->next) pads.push_back(NewRef(GST_PAD(item->data)));
    GST_OBJECT_UNLOCK(element);
    return pads;
}

ElementHandle MakeElement(const char* factory, const char* name)
{
    // Own the reference; bins take references of their own.
    return Sink(gst_element_factory_make(factory, name));
}

CapsHandle CapsFromString(const char* text) { return CapsHandle(gst_caps_from_string(text)); }

}  // namespace qmd::gst
