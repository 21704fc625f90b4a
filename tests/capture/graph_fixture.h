#pragma once
// A graph with its three members, as the main window holds them.
#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "capture/devices/sys_dev_enum.h"
#include "capture/grabber/sample_grabber.h"
#include "capture/graph/filter.h"
#include "capture/graph/filter_graph.h"
#include "capture/graph/video_renderer.h"
#include "capture/sources/moniker.h"

namespace qmd::test {

// One frame as the handler saw it.
struct ReceivedFrame {
    std::vector<std::uint8_t> Pixels;
    std::optional<GrabberMediaType> Type;
    double SampleTime = 0;
};

// Every frame a grabber hands to its handler, in order.
struct ReceivedFrames {
    std::mutex mutex;
    std::vector<ReceivedFrame> frames;

    TSampleGrabber::TOnBuffer Handler();
    std::size_t Count();
};

// Whether an element made by that factory is anywhere inside the pipeline.
bool HasElementFrom(GstElement* pipeline, const char* factoryName);

class GraphFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        filter.SetFilterGraph(&graph);
        grabber.SetFilterGraph(&graph);
        renderer.SetFilterGraph(&graph);
    }
    void TearDown() override
    {
        grabber.SetOnBuffer(nullptr);
        graph.SetActive(false);
        // A handler call already under way may still use the derived
        // fixture's members; they go before the grabber does.
        grabber.Shutdown();
    }

    void Store(const VideoSource& fields)
    {
        const Moniker moniker = Moniker::FromFields(fields);
        filter.BaseFilter().StoreMoniker(&moniker);
    }
    void StoreTestSource()
    {
        Store({SourceKind::TestSource, kTestSourceName, "", "Video/Source", "", "", CredentialsKept::None});
    }
    // The device switch's order of calls.
    void Start()
    {
        graph.StripGraph();
        graph.SetActive(false);
        graph.SetActive(true);
        graph.RenderStream(&filter, &grabber, &renderer);
        graph.RunGraph();
    }
    std::set<std::string> ElementNames() const;
    bool AnyPadLinked() const;

    // Declared first, so that it goes last, as on the main window.
    TFilterGraph graph;
    TFilter filter;
    TSampleGrabber grabber;
    TVideoRenderer renderer;
};

}  // namespace qmd::test
