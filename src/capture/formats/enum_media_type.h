#pragma once
// TEnumMediaType: the media types a capture device offers, in its order.
#include <gst/gst.h>

#include <string>
#include <vector>

#include "capture/formats/media_type.h"

namespace qmd {

class TEnumMediaType {
public:
    TEnumMediaType() = default;  // an empty list

    // Replaces the list with the media types of the device's offered caps
    // (one per pixel format × frame size × frame rate, SplitOfferedCaps).
    // Null caps (no source to ask) throw "IPin not assigned" and leave the
    // list empty.
    void FormatList(const GstCaps* offeredCaps);

    int Count() const noexcept { return int(items_.size()); }

    // Throws "List index out of bounds (%d)" outside the list.
    const TMediaType& Items(int index) const;

    // MediaTypeDescription of the entry, or an empty text outside the list.
    std::string MediaDescription(int index) const;

private:
    std::vector<TMediaType> items_;
};

}  // namespace qmd
