#pragma once
// What a source element says about its own formats: the media types it
// offers and its default format, attached by the code that made it.
#include <gst/gst.h>

#include "gst/handles.h"

namespace qmd {

void AttachOfferedCaps(GstElement* source, gst::CapsHandle offered);
void AttachDefaultFormat(GstElement* source, gst::CapsHandle format);

// What was attached: null when the element did not say.
const GstCaps* OfferedCapsOf(GstElement* source);
const GstCaps* DefaultFormatOf(GstElement* source);

}  // namespace qmd
