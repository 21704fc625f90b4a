#pragma once
// TMediaType: one media type as a capture device offers it, in the record form
// the format descriptions read (major type, subtype, format type and its
// format block), together with the caps it was built from, so that choosing
// it applies exactly what the device offered.
#include <gst/gst.h>

#include <cstdint>
#include <vector>

#include "capture/formats/guid.h"
#include "gst/handles.h"

namespace qmd {

class TMediaType {
public:
    Guid MajorType;
    Guid SubType;
    bool FixedSizeSamples = false;
    bool TemporalCompression = false;
    std::uint32_t SampleSize = 0;
    Guid FormatType;
    // The format block; its size is the record's format block size, and an
    // empty block is the record's "no block".
    std::vector<std::uint8_t> FormatBlock;

    TMediaType() = default;
    TMediaType(const TMediaType& other);
    TMediaType& operator=(const TMediaType& other);
    TMediaType(TMediaType&&) noexcept = default;
    TMediaType& operator=(TMediaType&&) noexcept = default;

    // A record of the first structure of fixed caps, keeping the caps.
    static TMediaType FromCaps(const GstCaps* fixedCaps);

    // The caps this type was built from (null for a record made by hand).
    const GstCaps* Caps() const noexcept { return caps_.get(); }

private:
    gst::CapsHandle caps_;
};

}  // namespace qmd
