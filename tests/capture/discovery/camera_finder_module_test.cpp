// The module the program loads on the first search for cameras, as built:
// its finder, reached through the one symbol it exports, finds the tests'
// own camera and asks it for its streams.
#include "capture/discovery/camera_finder_module.h"
#include "support/onvif_test_camera.h"
#include "support/wait_until.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace qmd {
namespace {

TEST(CameraFinderModule, TheBuiltModuleFindsAndAsksACamera)
{
    test::OnvifTestCamera camera({});
    ASSERT_TRUE(camera.Listen());
    ASSERT_TRUE(camera.AnswerProbes(QHostAddress::LocalHost, 0));
    const CameraFinderModule module = LoadCameraFinderModule(QStringLiteral(QMD_TEST_CAMERA_FINDER_MODULE));
    ASSERT_TRUE(module.Make) << module.Detail.toStdString();

    std::vector<FoundCamera> found;
    std::optional<std::vector<MediaProfile>> profiles;
    CameraFinderHandlers handlers;
    handlers.Found = [&](const FoundCamera& camera) { found.push_back(camera); };
    handlers.Answered = [&](const DeviceInformation&, const std::vector<MediaProfile>& answer) { profiles = answer; };
    const std::unique_ptr<CameraFinder> finder = module.Make(std::move(handlers));
    finder->Search({QStringLiteral("127.0.0.1"), camera.ProbePort()});
    ASSERT_TRUE(test::WaitUntil([&] { return !found.empty(); }));
    finder->Ask(found.front().DeviceAddress, {QStringLiteral("admin"), QStringLiteral("secret")});
    ASSERT_TRUE(test::WaitUntil([&] { return profiles.has_value(); }));
    ASSERT_FALSE(profiles->empty());
    EXPECT_EQ(profiles->front().StreamAddress, QStringLiteral("rtsp://127.0.0.1:554/main"));
}

}  // namespace
}  // namespace qmd
