#include "capture/graph_fixture.h"

#include "capture/sources/graph_elements.h"

namespace qmd::test {

std::set<std::string> GraphFixture::ElementNames() const
{
    std::set<std::string> names;
    for (const auto& element : gst::Children(GST_BIN(graph.Pipeline()))) {
        gst::CharsHandle name{gst_element_get_name(element.get())};
        names.insert(name.get());
    }
    return names;
}

bool GraphFixture::AnyPadLinked() const
{
    for (const auto& element : gst::Children(GST_BIN(graph.Pipeline())))
        for (const auto& pad : gst::Pads(element.get()))
            if (gst_pad_is_linked(pad.get())) return true;
    return false;
}

TSampleGrabber::TOnBuffer ReceivedFrames::Handler()
{
    return [this](TSampleGrabber* sender, double sampleTime, const std::uint8_t* buffer, int length) {
        std::lock_guard lock(mutex);
        frames.push_back({{buffer, buffer + length}, sender->ConnectedMediaType(), sampleTime});
    };
}

std::size_t ReceivedFrames::Count()
{
    std::lock_guard lock(mutex);
    return frames.size();
}

bool HasElementFrom(GstElement* pipeline, const char* factoryName)
{
    gst::IteratorHandle elements{gst_bin_iterate_recurse(GST_BIN(pipeline))};
    GValue item = G_VALUE_INIT;
    bool found = false;
    while (!found && gst_iterator_next(elements.get(), &item) == GST_ITERATOR_OK) {
        GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(g_value_get_object(&item)));
        found = factory && g_strcmp0(GST_OBJECT_NAME(factory), factoryName) == 0;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    return found;
}

}  // namespace qmd::test
