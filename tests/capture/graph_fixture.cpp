#include "capture/graph_fixture.h"

#include "capture/core/graph_elements.h"

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

}  // namespace qmd::test
