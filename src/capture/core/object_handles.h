#pragma once
// Owning handles for GstObject-derived references that cross translation
// units (class members, function results). They are gst::Handle with named
// unref/ref functions: a handle type whose deleter is a lambda is a
// different type in every source file, which such uses cannot have.
#include "gst/handles.h"

namespace qmd::gst {

namespace linkable {
template <typename T>
void UnrefObject(T* object)
{
    gst_object_unref(object);
}
template <typename T>
using ObjectRef = Handle<T, &UnrefObject<T>>;
}  // namespace linkable

// A new reference to a borrowed pointer, adopted by a handle. (Handle::Ref
// and Copy do the same, but their constraint does not compile under the
// sanitizers' instrumentation.)
template <typename T>
linkable::ObjectRef<T> NewRef(T* borrowed)
{
    return linkable::ObjectRef<T>(borrowed ? static_cast<T*>(gst_object_ref(borrowed)) : nullptr);
}
inline BufferHandle NewRef(GstBuffer* borrowed) { return BufferHandle(borrowed ? gst_buffer_ref(borrowed) : nullptr); }
inline SampleHandle NewRef(GstSample* borrowed) { return SampleHandle(borrowed ? gst_sample_ref(borrowed) : nullptr); }
inline CapsHandle NewRef(GstCaps* borrowed) { return CapsHandle(borrowed ? gst_caps_ref(borrowed) : nullptr); }

using Element = linkable::ObjectRef<GstElement>;
using Pad = linkable::ObjectRef<GstPad>;
using Bus = linkable::ObjectRef<GstBus>;
using Device = linkable::ObjectRef<GstDevice>;
using DeviceMonitor = linkable::ObjectRef<GstDeviceMonitor>;

}  // namespace qmd::gst
