#include "capture/formats/offered_caps.h"

#include <array>

namespace qmd {
namespace {

// The fields whose lists are the device's choices, outermost first.
constexpr std::array<const char*, 4> kChoiceFields = {"format", "width", "height", "framerate"};

// What a range fixes to when the device names no single value.
constexpr int kPreferredWidth = 640;
constexpr int kPreferredHeight = 480;
constexpr int kPreferredRate = 30;

void FixNearestInt(GstStructure* structure, const char* field, int target)
{
    if (gst_structure_has_field(structure, field)) gst_structure_fixate_field_nearest_int(structure, field, target);
}

void FixNearestFraction(GstStructure* structure, const char* field, int numerator, int denominator)
{
    if (gst_structure_has_field(structure, field))
        gst_structure_fixate_field_nearest_fraction(structure, field, numerator, denominator);
}

gst::CapsHandle FixedEntry(GstStructure* structure, const GstCapsFeatures* features)
{
    FixNearestInt(structure, "width", kPreferredWidth);
    FixNearestInt(structure, "height", kPreferredHeight);
    FixNearestFraction(structure, "framerate", kPreferredRate, 1);
    FixNearestFraction(structure, "pixel-aspect-ratio", 1, 1);
    gst_structure_fixate(structure);

    gst::CapsHandle caps(gst_caps_new_empty());
    gst_caps_append_structure_full(caps.get(), gst_structure_copy(structure),
                                   features ? gst_caps_features_copy(features) : nullptr);
    return caps;
}

void Expand(GstStructure* structure, const GstCapsFeatures* features, std::size_t field,
            std::vector<gst::CapsHandle>& entries)
{
    if (field == kChoiceFields.size()) {
        entries.push_back(FixedEntry(structure, features));
        return;
    }
    const char* name = kChoiceFields[field];
    const GValue* value = gst_structure_get_value(structure, name);
    if (!value || !GST_VALUE_HOLDS_LIST(value)) {
        Expand(structure, features, field + 1, entries);
        return;
    }
    const guint count = gst_value_list_get_size(value);
    for (guint i = 0; i < count; ++i) {
        gst::StructureHandle choice(gst_structure_copy(structure));
        gst_structure_set_value(choice.get(), name, gst_value_list_get_value(value, i));
        Expand(choice.get(), features, field + 1, entries);
    }
}

}  // namespace

std::vector<gst::CapsHandle> SplitOfferedCaps(const GstCaps* offered)
{
    std::vector<gst::CapsHandle> entries;
    if (!offered || gst_caps_is_any(offered)) return entries;
    const guint structures = gst_caps_get_size(offered);
    for (guint i = 0; i < structures; ++i) {
        gst::StructureHandle structure(gst_structure_copy(gst_caps_get_structure(offered, i)));
        Expand(structure.get(), gst_caps_get_features(offered, i), 0, entries);
    }
    return entries;
}

}  // namespace qmd
