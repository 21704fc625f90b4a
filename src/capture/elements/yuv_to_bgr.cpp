#include "capture/elements/yuv_to_bgr.h"

#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>
#include <libyuv/convert_argb.h>

#include <initializer_list>

#include "capture/elements/yuv_frame_to_bgr.h"
#include "common/application_title.h"

namespace qmd {
namespace {

// GST_DEBUG=qmdyuvtobgr:5 traces the converter's negotiation.
GST_DEBUG_CATEGORY_STATIC(qmd_yuv_to_bgr_debug);
#define GST_CAT_DEFAULT qmd_yuv_to_bgr_debug

struct QmdYuvToBgr {
    GstVideoFilter parent;
    const libyuv::YuvConstants* matrix;
};
struct QmdYuvToBgrClass {
    GstVideoFilterClass parent_class;
};

G_DEFINE_TYPE(QmdYuvToBgr, qmd_yuv_to_bgr, GST_TYPE_VIDEO_FILTER)

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE(GST_VIDEO_FORMATS_ALL)));
GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                                                           GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE(GST_VIDEO_FORMATS_ALL)));

QmdYuvToBgr* Self(GstVideoFilter* filter) { return reinterpret_cast<QmdYuvToBgr*>(filter); }

// Whether a structure's "format" (absent: any, a string, or a list) may be `name`.
bool MayBe(const GstStructure* structure, const char* name)
{
    const GValue* formats = gst_structure_get_value(structure, "format");
    if (!formats) return true;
    if (G_VALUE_HOLDS_STRING(formats)) return g_str_equal(g_value_get_string(formats), name);
    if (!GST_VALUE_HOLDS_LIST(formats)) return false;
    for (guint i = 0; i < gst_value_list_get_size(formats); ++i) {
        const GValue* one = gst_value_list_get_value(formats, i);
        if (G_VALUE_HOLDS_STRING(one) && g_str_equal(g_value_get_string(one), name)) return true;
    }
    return false;
}

// The structure in another format: what a colour conversion leaves of it.
GstStructure* Converted(const GstStructure* structure, const GValue* formats)
{
    GstStructure* converted = gst_structure_copy(structure);
    gst_structure_set_value(converted, "format", formats);
    gst_structure_remove_fields(converted, "colorimetry", "chroma-site", nullptr);
    return converted;
}

// I420 and NV12 become BGR, offered before passing through as they are;
// from BGR back, I420 or NV12 come after BGR itself; any other format only
// passes through.
GstCaps* TransformCaps(GstBaseTransform*, GstPadDirection direction, GstCaps* caps, GstCaps* filter)
{
    GValue bgr = G_VALUE_INIT;
    g_value_init(&bgr, G_TYPE_STRING);
    g_value_set_static_string(&bgr, "BGR");
    GValue yuv = G_VALUE_INIT;
    g_value_init(&yuv, GST_TYPE_LIST);
    for (const char* name : {"I420", "NV12"}) {
        GValue one = G_VALUE_INIT;
        g_value_init(&one, G_TYPE_STRING);
        g_value_set_static_string(&one, name);
        gst_value_list_append_and_take_value(&yuv, &one);
    }
    GstCaps* result = gst_caps_new_empty();
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* structure = gst_caps_get_structure(caps, i);
        GstCapsFeatures* features = gst_caps_get_features(caps, i);
        const bool systemMemory =
            !features || gst_caps_features_is_equal(features, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY);
        if (direction == GST_PAD_SINK && systemMemory && (MayBe(structure, "I420") || MayBe(structure, "NV12")))
            result = gst_caps_merge_structure(result, Converted(structure, &bgr));
        result = gst_caps_merge_structure_full(result, gst_structure_copy(structure),
                                               features ? gst_caps_features_copy(features) : nullptr);
        if (direction == GST_PAD_SRC && systemMemory && MayBe(structure, "BGR"))
            result = gst_caps_merge_structure(result, Converted(structure, &yuv));
    }
    g_value_unset(&bgr);
    g_value_unset(&yuv);
    if (filter) {
        GstCaps* filtered = gst_caps_intersect_full(filter, result, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(result);
        result = filtered;
    }
    GST_DEBUG("%" GST_PTR_FORMAT " becomes %" GST_PTR_FORMAT, caps, result);
    return result;
}

// The matrix and range the decoder's caps name; what videoconvert assumes
// where they name none (BT.601 for standard definition, BT.709 above).
const libyuv::YuvConstants* MatrixOf(const GstVideoInfo* info)
{
    const bool full = info->colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
    switch (info->colorimetry.matrix) {
    case GST_VIDEO_COLOR_MATRIX_BT709: return full ? &libyuv::kYuvF709Constants : &libyuv::kYuvH709Constants;
    case GST_VIDEO_COLOR_MATRIX_BT2020: return &libyuv::kYuv2020Constants;
    default: return full ? &libyuv::kYuvJPEGConstants : &libyuv::kYuvI601Constants;
    }
}

gboolean SetInfo(GstVideoFilter* filter, GstCaps*, GstVideoInfo* in, GstCaps*, GstVideoInfo* out)
{
    Self(filter)->matrix = MatrixOf(in);
    const bool converts =
        GST_VIDEO_INFO_FORMAT(out) == GST_VIDEO_FORMAT_BGR &&
        (GST_VIDEO_INFO_FORMAT(in) == GST_VIDEO_FORMAT_I420 || GST_VIDEO_INFO_FORMAT(in) == GST_VIDEO_FORMAT_NV12);
    if (!converts && GST_VIDEO_INFO_FORMAT(in) != GST_VIDEO_INFO_FORMAT(out)) return FALSE;
    gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(filter), !converts);
    return TRUE;
}

GstFlowReturn TransformFrame(GstVideoFilter* filter, GstVideoFrame* in, GstVideoFrame* out)
{
    const libyuv::YuvConstants* matrix = Self(filter)->matrix;
    const int width = GST_VIDEO_FRAME_WIDTH(in);
    const int height = GST_VIDEO_FRAME_HEIGHT(in);
    auto plane = [in](int i) { return static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(in, i)); };
    auto stride = [in](int i) { return GST_VIDEO_FRAME_PLANE_STRIDE(in, i); };
    auto* bgr = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(out, 0));
    const int bgrStride = GST_VIDEO_FRAME_PLANE_STRIDE(out, 0);
    const bool converted =
        GST_VIDEO_FRAME_FORMAT(in) == GST_VIDEO_FORMAT_NV12
            ? Nv12ToBgr(plane(0), stride(0), plane(1), stride(1), bgr, bgrStride, matrix, width, height)
            : I420ToBgr(plane(0), stride(0), plane(1), stride(1), plane(2), stride(2), bgr, bgrStride, matrix, width,
                        height);
    if (!converted) {
        GST_ELEMENT_ERROR(filter, STREAM, FORMAT, (nullptr), ("cannot convert a %dx%d frame", width, height));
        return GST_FLOW_ERROR;
    }
    return GST_FLOW_OK;
}

void qmd_yuv_to_bgr_class_init(QmdYuvToBgrClass* klass)
{
    GST_DEBUG_CATEGORY_INIT(qmd_yuv_to_bgr_debug, kYuvToBgrName, 0, "YUV 4:2:0 to BGR converter");
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    gst_element_class_add_static_pad_template(element, &srcTemplate);
    gst_element_class_set_static_metadata(element, "YUV to BGR converter", "Filter/Converter/Video",
                                          "Converts I420 and NV12 into 24-bit BGR in libyuv's arithmetic; passes other "
                                          "formats through",
                                          kApplicationTitle);
    GstBaseTransformClass* transform = GST_BASE_TRANSFORM_CLASS(klass);
    transform->transform_caps = TransformCaps;
    transform->passthrough_on_same_caps = TRUE;
    GstVideoFilterClass* video = GST_VIDEO_FILTER_CLASS(klass);
    video->set_info = SetInfo;
    video->transform_frame = TransformFrame;
}

void qmd_yuv_to_bgr_init(QmdYuvToBgr* self) { self->matrix = &libyuv::kYuvI601Constants; }

}  // namespace

GType YuvToBgrType() { return qmd_yuv_to_bgr_get_type(); }

}  // namespace qmd
