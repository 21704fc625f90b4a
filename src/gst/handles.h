#pragma once
// Owning handles for GStreamer and GLib references.
//
// A handle owns exactly one reference and drops it when it goes away. Adopt a
// reference that was handed to you ("transfer full") with the constructor;
// take a new reference to a borrowed pointer ("transfer none") with Ref().
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cstddef>
#include <type_traits>
#include <utility>

namespace qmd::gst {

template <typename T, auto Unref, auto RefFn = nullptr>
class Handle {
    // Decided on the type, not by comparing the function with nullptr, which
    // is no constant expression under UndefinedBehaviorSanitizer.
    static constexpr bool kCanRef = !std::is_same_v<decltype(RefFn), std::nullptr_t>;

public:
    Handle() = default;
    explicit Handle(T* adopted) noexcept : ptr_(adopted) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept
    {
        if (this != &other) reset(std::exchange(other.ptr_, nullptr));
        return *this;
    }
    ~Handle() { reset(); }

    // A new reference to a borrowed pointer.
    static Handle Ref(T* borrowed) noexcept requires(kCanRef)
    {
        if (borrowed) RefFn(borrowed);
        return Handle(borrowed);
    }
    Handle Copy() const noexcept requires(kCanRef) { return Ref(ptr_); }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    T* release() noexcept { return std::exchange(ptr_, nullptr); }
    void reset(T* adopted = nullptr) noexcept
    {
        if (T* old = std::exchange(ptr_, adopted)) Unref(old);
    }
    // For out-parameters of the C API: drops what is held and gives the slot.
    T** out() noexcept
    {
        reset();
        return &ptr_;
    }

private:
    T* ptr_ = nullptr;
};

namespace detail {
template <typename T>
void UnrefObject(T* p)
{
    gst_object_unref(p);
}
template <typename T>
void RefObject(T* p)
{
    gst_object_ref(p);
}
template <typename T>
void UnrefGObject(T* p)
{
    g_object_unref(p);
}
template <typename T>
void RefGObject(T* p)
{
    g_object_ref(p);
}
inline void UnrefCaps(GstCaps* c) { gst_caps_unref(c); }
inline void RefCaps(GstCaps* c) { gst_caps_ref(c); }
inline void UnrefSample(GstSample* s) { gst_sample_unref(s); }
inline void RefSample(GstSample* s) { gst_sample_ref(s); }
inline void UnrefBuffer(GstBuffer* b) { gst_buffer_unref(b); }
inline void RefBuffer(GstBuffer* b) { gst_buffer_ref(b); }
inline void UnrefMessage(GstMessage* m) { gst_message_unref(m); }
inline void RefMessage(GstMessage* m) { gst_message_ref(m); }
inline void FreeError(GError* e) { g_error_free(e); }
inline void FreeChars(gchar* s) { g_free(s); }
inline void FreeStructure(GstStructure* s) { gst_structure_free(s); }
inline void FreeIterator(GstIterator* i) { gst_iterator_free(i); }
inline void FreeList(GList* l) { g_list_free_full(l, gst_object_unref); }
inline void UnrefUri(GUri* u) { g_uri_unref(u); }
}  // namespace detail

// Named functions rather than lambdas: a lambda would make the type differ
// between translation units.
template <typename T>
using ObjectHandle = Handle<T, detail::UnrefObject<T>, detail::RefObject<T>>;
template <typename T>
using GObjectHandle = Handle<T, detail::UnrefGObject<T>, detail::RefGObject<T>>;

using ElementHandle = ObjectHandle<GstElement>;
using PadHandle = ObjectHandle<GstPad>;
using BusHandle = ObjectHandle<GstBus>;
using DeviceHandle = ObjectHandle<GstDevice>;
using DeviceMonitorHandle = ObjectHandle<GstDeviceMonitor>;
using ClockHandle = ObjectHandle<GstClock>;
using CapsHandle = Handle<GstCaps, detail::UnrefCaps, detail::RefCaps>;
using SampleHandle = Handle<GstSample, detail::UnrefSample, detail::RefSample>;
using BufferHandle = Handle<GstBuffer, detail::UnrefBuffer, detail::RefBuffer>;
using MessageHandle = Handle<GstMessage, detail::UnrefMessage, detail::RefMessage>;
using ErrorHandle = Handle<GError, detail::FreeError>;
using UriHandle = Handle<GUri, detail::UnrefUri>;
using CharsHandle = Handle<gchar, detail::FreeChars>;
using StructureHandle = Handle<GstStructure, detail::FreeStructure>;
using IteratorHandle = Handle<GstIterator, detail::FreeIterator>;
// A GList of GstObject references (gst_device_monitor_get_devices and the like).
using ObjectListHandle = Handle<GList, detail::FreeList>;

// A new reference to a borrowed pointer, adopted by a handle of the right
// kind. The template serves every GstObject type; the overloads the
// reference-counted mini objects.
template <typename T>
ObjectHandle<T> NewRef(T* borrowed) noexcept
{
    return ObjectHandle<T>::Ref(borrowed);
}
inline CapsHandle NewRef(GstCaps* borrowed) noexcept { return CapsHandle::Ref(borrowed); }
inline SampleHandle NewRef(GstSample* borrowed) noexcept { return SampleHandle::Ref(borrowed); }
inline BufferHandle NewRef(GstBuffer* borrowed) noexcept { return BufferHandle::Ref(borrowed); }
inline MessageHandle NewRef(GstMessage* borrowed) noexcept { return MessageHandle::Ref(borrowed); }

// Adopts a new object whose one reference may be floating (gst_bin_new,
// gst_element_factory_make, gst_parse_launch, gst_device_monitor_new): sinks
// it, so that the handle owns a plain reference and a bin the object is
// added to takes one of its own. Null stays null.
template <typename T>
ObjectHandle<T> Sink(T* fresh) noexcept
{
    return ObjectHandle<T>(fresh ? static_cast<T*>(gst_object_ref_sink(fresh)) : nullptr);
}
// The typed constructors of the containers we build.
inline ElementHandle NewBin(const char* name = nullptr) noexcept { return Sink(gst_bin_new(name)); }
inline ElementHandle NewPipeline(const char* name = nullptr) noexcept { return Sink(gst_pipeline_new(name)); }
inline DeviceMonitorHandle NewDeviceMonitor() noexcept { return Sink(gst_device_monitor_new()); }

// A mapped buffer, unmapped when it goes away.
class MappedBuffer {
public:
    MappedBuffer(GstBuffer* buffer, GstMapFlags flags) noexcept
    {
        // The mapping keeps its buffer alive: a decoder that hands its frame
        // on (and with it the last reference to the input) while the input
        // is still mapped must not leave the unmap to a freed buffer. Taken
        // after the map, so that a writable map of a sole owner still works.
        if (buffer && gst_buffer_map(buffer, &info_, flags)) owner_ = NewRef(buffer);
    }
    ~MappedBuffer()
    {
        if (owner_) gst_buffer_unmap(owner_.get(), &info_);
    }
    MappedBuffer(const MappedBuffer&) = delete;
    MappedBuffer& operator=(const MappedBuffer&) = delete;

    explicit operator bool() const noexcept { return static_cast<bool>(owner_); }
    const guint8* data() const noexcept { return info_.data; }
    guint8* writable_data() const noexcept { return info_.data; }
    gsize size() const noexcept { return info_.size; }

private:
    BufferHandle owner_;
    GstMapInfo info_{};
};

}  // namespace qmd::gst
