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
void RefObject(T* object)
{
    gst_object_ref(object);
}
template <typename T>
using ObjectRef = Handle<T, &UnrefObject<T>, &RefObject<T>>;
}  // namespace linkable

using Element = linkable::ObjectRef<GstElement>;
using Pad = linkable::ObjectRef<GstPad>;
using Bus = linkable::ObjectRef<GstBus>;
using Device = linkable::ObjectRef<GstDevice>;
using DeviceMonitor = linkable::ObjectRef<GstDeviceMonitor>;

}  // namespace qmd::gst
