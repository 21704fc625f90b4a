// The "Zmień rozdzielczość" window against a real capture graph whose device
// offers several media types: what it lists, what OK applies, and what the
// failures leave.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "capture/graph/filter.h"
#include "capture/graph/filter_graph.h"
#include "capture/grabber/sample_grabber.h"
#include "capture/devices/sys_dev_enum.h"
#include "capture/graph/video_renderer.h"
#include "capture/format_window/format_window.h"
#include "capture/formats/enum_media_type.h"
#include "fake_camera.h"
#include "gst/handles.h"
#include "gst/init.h"
#include "support/wait_until.h"

namespace qmd {
namespace {

using testing_support::kFakeCameraName;

using test::WaitUntil;

std::vector<std::string> Lines(const QListWidget* list)
{
    std::vector<std::string> lines;
    for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
    return lines;
}

// The main window's capture members and the format window, wired as the
// main window wires them.
class FormatWindowTest : public testing::Test {
protected:
    FormatWindowTest()
    {
        Filter.SetFilterGraph(&FilterGraph);
        SampleGrabber.SetFilterGraph(&FilterGraph);
        VideoWindow.SetFilterGraph(&FilterGraph);
        SampleGrabber.SetOnBuffer([this](TSampleGrabber* sender, double, const std::uint8_t*, int) {
            if (const auto type = sender->ConnectedMediaType()) {
                frameWidth_.store(type->Header.Width);
                frameHeight_.store(type->Header.Height < 0 ? -type->Header.Height : type->Header.Height);
            }
            frames_.fetch_add(1);
        });
        Window.SetFilter(&Filter);
        Window.SetErrorReport([this](const std::exception& error) { errors_.push_back(error.what()); });
    }

    ~FormatWindowTest() override
    {
        FilterGraph.StripGraph();
        FilterGraph.SetActive(false);
        SampleGrabber.Shutdown();
    }

    // The device switch: the fake camera's moniker, a new graph, render, run.
    void OpenFakeCamera()
    {
        TSysDevEnum devices;
        std::optional<Moniker> moniker;
        for (int i = 0; i < devices.DeviceCount(); ++i)
            if (devices.DeviceEntryAt(i).FriendlyName == kFakeCameraName) moniker = devices.DeviceMoniker(i);
        ASSERT_TRUE(moniker.has_value()) << "the fake camera is not listed";
        FilterGraph.StripGraph();
        FilterGraph.SetActive(false);
        Filter.BaseFilter().StoreMoniker(&*moniker);
        FilterGraph.SetActive(true);
        FilterGraph.RenderStream(&Filter, &SampleGrabber, &VideoWindow);
        FilterGraph.RunGraph();
    }

    // The format command, with `choose` acting inside the modal window.
    void FormatCommand(const std::function<void()>& choose)
    {
        FilterGraph.StopGraph();
        // Only frames of the restarted graph count from here on.
        frameWidth_.store(0);
        frameHeight_.store(0);
        QTimer::singleShot(0, &Window, [&] {
            choose();
            if (Window.isVisible()) Window.reject();  // a failed check must not leave the window waiting
        });
        Window.exec();
        FilterGraph.SetActive(true);
        FilterGraph.RenderStream(&Filter, &SampleGrabber, &VideoWindow);
        FilterGraph.RunGraph();
    }

    // Frames of this size keep arriving: several in a row after the first.
    bool FramesAre(int width, int height)
    {
        if (!WaitUntil([&] { return frameWidth_.load() == width && frameHeight_.load() == height; })) return false;
        const int seen = frames_.load();
        return WaitUntil([&] { return frames_.load() >= seen + 5; }) && frameWidth_.load() == width &&
               frameHeight_.load() == height;
    }

    void Select(int row)
    {
        Window.Formaty->setCurrentRow(row);
        ASSERT_TRUE(Window.Formaty->item(row)->isSelected());
    }

    TFilterGraph FilterGraph;
    TFilter Filter;
    TSampleGrabber SampleGrabber;
    TVideoRenderer VideoWindow;
    TfmZmienRozdzielczosc Window;
    std::vector<std::string> errors_;

private:
    std::atomic<int> frames_{0};
    std::atomic<int> frameWidth_{0};
    std::atomic<int> frameHeight_{0};
};

const std::vector<std::string> kFakeCameraLines = {
    "Major Type: Video - Sub Type: YUY2 Format: VideoInfo YUY2 640X480, 16 bits",
    "Major Type: Video - Sub Type: YUY2 Format: VideoInfo YUY2 320X240, 16 bits",
    "Major Type: Video - Sub Type: IYUV Format: VideoInfo IYUV 1280X720, 12 bits",
    "Major Type: Video - Sub Type: IYUV Format: VideoInfo IYUV 1280X720, 12 bits",
    "Major Type: Video - Sub Type: RGB24 Format: VideoInfo RGB 160X120, 24 bits",
};

TEST_F(FormatWindowTest, DesignedLayout)
{
    EXPECT_EQ(fmZmienRozdzielczosc, &Window);
    EXPECT_EQ(Window.windowTitle(), QStringLiteral("Zmień rozdzielczość"));
    EXPECT_EQ(Window.Formaty->geometry(), QRect(8, 8, 417, 169));
    EXPECT_EQ(Window.Button1->geometry(), QRect(158, 182, 121, 27));
    EXPECT_EQ(Window.Button1->text(), QStringLiteral("OK"));
    QWidget* next = Window.Formaty->nextInFocusChain();
    while (next && next->parentWidget() != &Window) next = next->nextInFocusChain();  // the list's own parts
    EXPECT_EQ(next, Window.Button1);                                                  // tab order: the list, then OK
    EXPECT_EQ(Window.FormatEnum(), nullptr);
}

TEST_F(FormatWindowTest, ChoosingALineAppliesExactlyThatTypeAndThePreviewRestartsInIt)
{
    OpenFakeCamera();
    ASSERT_TRUE(FramesAre(640, 480));

    std::vector<std::string> listed;
    FormatCommand([&] {
        listed = Lines(Window.Formaty);
        ASSERT_NE(Window.FormatEnum(), nullptr);
        EXPECT_EQ(Window.FormatEnum()->Count(), 5);
        Select(1);
        Window.Button1->click();
    });
    EXPECT_EQ(listed, kFakeCameraLines);
    EXPECT_FALSE(Window.isVisible());
    EXPECT_EQ(Window.FormatEnum(), nullptr);
    EXPECT_TRUE(errors_.empty());
    EXPECT_TRUE(FramesAre(320, 240));

    // Another choice from the new state: the wider of the two 1280×720 lines.
    FormatCommand([&] {
        Select(3);
        Window.Button1->click();
    });
    EXPECT_TRUE(FramesAre(1280, 720));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(FormatWindowTest, OkWithoutSelectionAndTheCloseBoxChangeNothing)
{
    OpenFakeCamera();
    FormatCommand([&] {
        Select(1);
        Window.Button1->click();
    });
    ASSERT_TRUE(FramesAre(320, 240));

    FormatCommand([&] {
        EXPECT_EQ(Lines(Window.Formaty), kFakeCameraLines);
        EXPECT_TRUE(Window.Formaty->selectedItems().isEmpty());
        Window.Button1->click();
    });
    EXPECT_FALSE(Window.isVisible());
    EXPECT_TRUE(FramesAre(320, 240));

    FormatCommand([&] {
        Window.Formaty->setCurrentRow(4);
        Window.close();  // the close box, with a line selected
    });
    EXPECT_FALSE(Window.isVisible());
    EXPECT_EQ(Window.FormatEnum(), nullptr);
    EXPECT_TRUE(FramesAre(320, 240));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(FormatWindowTest, NoDeviceOpensUnfilledAndOkReportsAndStaysOpen)
{
    // A graph without a device, as before any device switch.
    Window.show();
    EXPECT_TRUE(Window.isVisible());
    EXPECT_EQ(Window.Formaty->count(), 0);
    ASSERT_EQ(errors_, std::vector<std::string>{"Interface not supported"});

    Window.Button1->click();
    EXPECT_TRUE(Window.isVisible());
    EXPECT_EQ(errors_, (std::vector<std::string>{"Interface not supported", "Interface not supported"}));

    Window.close();
    EXPECT_FALSE(Window.isVisible());
    EXPECT_EQ(Window.FormatEnum(), nullptr);
}

TEST_F(FormatWindowTest, AShowingThatFailsLeavesNoLineOfAnotherDeviceToChoose)
{
    OpenFakeCamera();
    FormatCommand([&] { Window.close(); });
    ASSERT_EQ(Lines(Window.Formaty), kFakeCameraLines);  // the lines stay between showings

    // The device is gone (the graph released, as a failed device switch leaves it).
    FilterGraph.StripGraph();
    FilterGraph.SetActive(false);
    Window.show();
    EXPECT_EQ(Window.Formaty->count(), 0);
    EXPECT_EQ(errors_, std::vector<std::string>{"Interface not supported"});
    Window.close();
}

}  // namespace
}  // namespace qmd

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    qmd::gst::EnsureInitialized();
    qmd::testing_support::RegisterFakeCamera();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
