// The preview widget: black without video, the live picture stretched to
// its bounds, following resizes, black again when the graph goes.
#include <QCoreApplication>
#include <QImage>

#include "capture/capture_test_support.h"
#include "capture/graph_fixture.h"
#include "capture/video_window.h"

namespace qmd::test {
namespace {

class Preview : public GraphFixture {
protected:
    void SetUp() override
    {
        // The widget's renderer is the graph's third member here.
        renderer.SetFilterGraph(nullptr);
        filter.SetFilterGraph(&graph);
        grabber.SetFilterGraph(&graph);
        window.SetFilterGraph(&graph);
        window.resize(160, 120);
    }
    void StartPreview()
    {
        StoreTestSource();
        graph.SetActive(true);
        graph.RenderStream(&filter, &grabber, &window.Renderer());
        graph.RunGraph();
    }
    TVideoWindow window;
};

TEST_F(Preview, BlackWithoutVideo)
{
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.size(), QSize(160, 120));
    EXPECT_TRUE(AllBlack(shot));
    graph.SetActive(true);
    EXPECT_TRUE(AllBlack(window.grab().toImage()));
}

TEST_F(Preview, ShowsTheStretchedPictureAndFollowsResizes)
{
    window.show();
    StartPreview();
    ASSERT_TRUE(WaitUntil([&] { return window.PaintedFrames() >= 2; }));
    // The test source's background (R 0x30, G 0x38, B 0x40) fills the corners.
    QImage shot = window.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(1, 1)), QColor(0x30, 0x38, 0x40));
    EXPECT_EQ(QColor(shot.pixel(158, 118)), QColor(0x30, 0x38, 0x40));

    window.resize(320, 50);
    shot = window.grab().toImage();
    EXPECT_EQ(shot.size(), QSize(320, 50));
    EXPECT_EQ(QColor(shot.pixel(318, 48)), QColor(0x30, 0x38, 0x40));

    graph.StripGraph();
    graph.SetActive(false);
    EXPECT_TRUE(AllBlack(window.grab().toImage()));
}

TEST_F(Preview, RepaintsAtMostOncePerFrame)
{
    window.show();
    StartPreview();
    ASSERT_TRUE(WaitUntil([&] { return window.Renderer().RenderedFrames() >= 10; }));
    graph.StopGraph();
    QCoreApplication::sendPostedEvents();
    EXPECT_LE(window.PaintedFrames(), window.Renderer().RenderedFrames());
    EXPECT_GE(window.PaintedFrames(), 1u);
}

TEST_F(Preview, WidgetGoesWhileFramesArrive)
{
    auto transient = std::make_unique<TVideoWindow>();
    transient->SetFilterGraph(&graph);
    window.SetFilterGraph(nullptr);
    StoreTestSource();
    graph.SetActive(true);
    graph.RenderStream(&filter, &grabber, &transient->Renderer());
    graph.RunGraph();
    ASSERT_TRUE(WaitUntil([&] { return transient->Renderer().RenderedFrames() >= 3; }));
    transient.reset();  // leaves the running graph; queued notices die with it
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(graph.Active());
}

}  // namespace
}  // namespace qmd::test
