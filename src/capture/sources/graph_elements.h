#pragma once
// Small helpers over GstBin and GstElement used by the graph.
#include <vector>

#include "gst/handles.h"

namespace qmd::gst {

// The bin's direct children, each with a reference of its own.
std::vector<ElementHandle> Children(GstBin* bin);
// The element's pads, each with a reference of its own.
std::vector<PadHandle> Pads(GstElement* element);
// A new element from a factory; null when the factory is missing.
ElementHandle MakeElement(const char* factory, const char* name = nullptr);
// Caps from their text form.
CapsHandle CapsFromString(const char* text);

}  // namespace qmd::gst
