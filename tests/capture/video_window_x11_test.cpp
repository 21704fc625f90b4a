// The preview on an X11 display, read back from the X server: on a 24-bit
// display frames go to the widget's own window through shared memory; on a
// 16-bit one (no 32-bit pixels) Qt paints them, and the picture is the same.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

#include "capture/capture_test_support.h"
#include "capture/graph_fixture.h"
#include "capture/video_window.h"
#include "capture/xcb_preview_surface.h"
#include "detect/motion_marks.h"

namespace qmd::test {
namespace {

// The test source's background, as the display shows it.
bool ShowsBackground(QRgb pixel)
{
    // A 16-bit display keeps 5 or 6 bits of each colour.
    const QColor colour(pixel);
    return std::abs(colour.red() - 0x30) <= 8 && std::abs(colour.green() - 0x38) <= 4 &&
           std::abs(colour.blue() - 0x40) <= 8;
}

class X11Preview : public GraphFixture {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        renderer.SetFilterGraph(nullptr);
        filter.SetFilterGraph(&graph);
        grabber.SetFilterGraph(&graph);
        window = new TVideoWindow(&top);
        window->SetFilterGraph(&graph);
        window->setGeometry(10, 10, 160, 120);
        sibling = new QWidget(&top);
        sibling->setGeometry(0, 140, 200, 20);
        top.resize(200, 160);
        top.show();
    }
    void TearDown() override
    {
        window->SetFilterGraph(nullptr);
        GraphFixture::TearDown();
    }
    void StartPreview()
    {
        StoreTestSource();
        graph.SetActive(true);
        graph.RenderStream(&filter, &grabber, &window->Renderer());
        graph.RunGraph();
    }
    // What the X server has in the widget's area.
    QImage OnScreen() const
    {
        return window->screen()->grabWindow(top.winId(), 10, 10, window->width(), window->height()).toImage();
    }
    // The picture fills the widget, corner to corner.
    bool PictureFillsWidget() const
    {
        const QImage shot = OnScreen();
        return shot.size() == window->size() && ShowsBackground(shot.pixel(0, 0)) &&
               ShowsBackground(shot.pixel(shot.width() - 1, shot.height() - 1));
    }
    bool TwentyFourBits() const { return window->screen()->depth() >= 24; }

    QWidget top;
    TVideoWindow* window = nullptr;
    QWidget* sibling = nullptr;
};

TEST_F(X11Preview, ShowsTheLivePictureFollowsResizesAndGoesBlack)
{
    StartPreview();
    ASSERT_TRUE(WaitUntil([&] { return window->PaintedFrames() >= 2 && PictureFillsWidget(); }));
    EXPECT_EQ(window->PresentsNatively(), TwentyFourBits());

    // Only the preview has a window of its own; the widgets beside it stay
    // painted by Qt.
    EXPECT_EQ(window->internalWinId() != 0, TwentyFourBits());
    EXPECT_EQ(sibling->internalWinId(), 0u);

    window->resize(60, 140);
    top.resize(90, 180);
    EXPECT_TRUE(WaitUntil([&] { return PictureFillsWidget(); }));

    // grab() paints through Qt whichever way the screen is served.
    const QImage grabbed = window->grab().toImage();
    EXPECT_TRUE(ShowsBackground(grabbed.pixel(0, 0)));

    graph.StripGraph();
    graph.SetActive(false);
    EXPECT_TRUE(WaitUntil([&] { return AllBlack(OnScreen()); }));
}

TEST_F(X11Preview, ShadesTheIgnoredAreasAndFramesWhatMovedForASecond)
{
    SharedAreas areas;
    areas.Set({{0, 0, 0.25, 1}});
    MotionMarks marks;
    window->ShowDetectionMarks(&areas, &marks);
    // The widget outlives both; it lets go of them however the test ends.
    struct LetGo {
        TVideoWindow* window;
        ~LetGo() { window->ShowDetectionMarks(nullptr, nullptr); }
    } const letGo{window};
    StartPreview();
    ASSERT_TRUE(WaitUntil([&] { return window->PaintedFrames() >= 2 && marks.PreviewSeenLately(); }));
    const auto shaded = [](QRgb pixel) { return QColor(pixel).green() < 0x38 - 10; };
    const auto framed = [](QRgb pixel) { return QColor(pixel).red() > 150 && QColor(pixel).green() < 100; };
    const auto boxEdgeShown = [&](const QImage& shot) {
        for (int x = 90; x < 100; ++x)
            if (framed(shot.pixel(x, 40))) return true;
        return false;
    };
    EXPECT_TRUE(WaitUntil([&] {
        const QImage shot = OnScreen();
        return shaded(shot.pixel(1, 1)) && ShowsBackground(shot.pixel(shot.width() - 1, shot.height() - 1));
    }));
    marks.PublishBox({0.6, 0.25, 0.3, 0.3});
    EXPECT_TRUE(WaitUntil([&] { return boxEdgeShown(OnScreen()); }));
    // Gone a second later; the shading stays.
    EXPECT_TRUE(WaitUntil([&] { return !boxEdgeShown(OnScreen()); }));
    EXPECT_TRUE(shaded(OnScreen().pixel(1, 1)));
}

TEST_F(X11Preview, KeepsShowingWhenMovedToAnotherWindow)
{
    StartPreview();
    ASSERT_TRUE(WaitUntil([&] { return PictureFillsWidget(); }));

    QWidget other;
    other.resize(200, 160);
    window->setParent(&other);
    window->setGeometry(10, 10, 160, 120);
    other.show();
    window->show();
    const std::uint64_t painted = window->PaintedFrames();
    EXPECT_TRUE(WaitUntil([&] {
        if (window->PaintedFrames() < painted + 3) return false;
        const QImage shot = window->screen()->grabWindow(other.winId(), 10, 10, 160, 120).toImage();
        return ShowsBackground(shot.pixel(0, 0)) && ShowsBackground(shot.pixel(159, 119));
    }));
    EXPECT_EQ(window->PresentsNatively(), TwentyFourBits());
    window->setParent(&top);  // goes with the fixture
}

TEST_F(X11Preview, HiddenWindowPaintsNothingAndShowsThePictureAgain)
{
    StartPreview();
    ASSERT_TRUE(WaitUntil([&] { return PictureFillsWidget(); }));
    top.hide();
    QCoreApplication::processEvents();
    const std::uint64_t painted = window->PaintedFrames();
    const std::uint64_t rendered = window->Renderer().RenderedFrames();
    ASSERT_TRUE(WaitUntil([&] { return window->Renderer().RenderedFrames() >= rendered + 5; }));
    EXPECT_EQ(window->PaintedFrames(), painted);

    // Live again: frame after frame, not only the one painted on showing.
    top.show();
    EXPECT_TRUE(WaitUntil([&] { return window->PaintedFrames() >= painted + 5 && PictureFillsWidget(); }));
}

TEST_F(X11Preview, CatchesUpWhenTheServerFallsBehind)
{
    StartPreview();
    ASSERT_TRUE(WaitUntil([&] { return PictureFillsWidget(); }));
    if (!window->PresentsNatively()) GTEST_SKIP() << "Qt paints on this display";

    // While another client holds the server, it reads none of our requests:
    // both buffers stay in use, and the frames after them wait.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);
    xcb_grab_server(other);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
    std::promise<void> measured;
    // Let go in any case, should the GUI thread ever wait for the server.
    std::thread release([&other, done = measured.get_future()] {
        done.wait_for(std::chrono::seconds(5));
        xcb_ungrab_server(other);
        xcb_flush(other);
    });
    const std::uint64_t painted = window->PaintedFrames();
    const std::uint64_t rendered = window->Renderer().RenderedFrames();
    const bool framesCame = WaitUntil([&] { return window->Renderer().RenderedFrames() >= rendered + 6; });
    const std::uint64_t paintedWhileHeld = window->PaintedFrames() - painted;
    // No frame follows now: only the server's word can bring the last one.
    graph.StopGraph();
    QCoreApplication::processEvents();
    const std::uint64_t paintedBeforeRelease = window->PaintedFrames();
    measured.set_value();
    release.join();
    EXPECT_TRUE(framesCame);
    EXPECT_LE(paintedWhileHeld, 2u);

    // The server's completions wake the widget, which shows the latest frame.
    EXPECT_TRUE(WaitUntil([&] { return window->PaintedFrames() > paintedBeforeRelease; }));
    xcb_disconnect(other);
}

TEST(X11PreviewSurface, AWindowTheDisplayDoesNotKnowFails)
{
    auto surface = XcbPreviewSurface::Open(nullptr);
    if (!surface) GTEST_SKIP() << "no shared memory pictures on this display";
    int drawn = 0;
    EXPECT_EQ(surface->Present(0x7FFFFF0, QSize(8, 8), [&](QImage&) { ++drawn; }), XcbPreviewSurface::Outcome::Failed);
    EXPECT_EQ(drawn, 0);
}

}  // namespace
}  // namespace qmd::test
