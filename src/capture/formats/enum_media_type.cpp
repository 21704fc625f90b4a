#include "capture/formats/enum_media_type.h"

#include "capture/formats/media_type_description.h"
#include "capture/formats/offered_caps.h"
#include "common/quisk_error.h"

namespace qmd {

void TEnumMediaType::FormatList(const GstCaps* offeredCaps)
{
    items_.clear();
    if (!offeredCaps) throw QuiskError("IPin not assigned");
    for (const gst::CapsHandle& caps : SplitOfferedCaps(offeredCaps))
        items_.push_back(TMediaType::FromCaps(caps.get()));
}

const TMediaType& TEnumMediaType::Items(int index) const
{
    if (index < 0 || index >= Count()) throw QuiskError("List index out of bounds (" + std::to_string(index) + ")");
    return items_[std::size_t(index)];
}

std::string TEnumMediaType::MediaDescription(int index) const
{
    if (index < 0 || index >= Count()) return {};
    return MediaTypeDescription(items_[std::size_t(index)]);
}

}  // namespace qmd
