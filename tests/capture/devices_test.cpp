// The device list with cameras from a provider of the test's own: order,
// names, monikers bound back to the right device, and the extra sources.
#include <gtest/gtest.h>

#include "capture/capture_test_support.h"
#include "capture/graph/filter.h"
#include "capture/sources/source_caps.h"
#include "capture/sources/source_factory.h"
#include "capture/devices/sys_dev_enum.h"
#include "capture/fake_device_provider.h"

namespace qmd::test {
namespace {

std::string LongName()
{
    std::string name(254, 'x');
    for (int i = 0; i < 46; ++i) name += "\xC5\xBC";  // 300 characters, the 255th byte inside a "ż"
    return name;
}

class Devices : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallFakeCameras(
            {{"Kamera USB", "/dev/video2", 4}, {LongName(), "/dev/video3", 5}, {"Kamera USB", "/dev/video1", 6}});
    }
    ScopedEnv noExtras{"QUISK_EXTRA_SOURCES", ""};
};

int PatternOf(const gst::ElementHandle& element)
{
    int pattern = -1;
    g_object_get(element.get(), "pattern", &pattern, nullptr);
    return pattern;
}

TEST_F(Devices, ListedInAStableOrderWithNamesCut)
{
    TSysDevEnum devices;
    ASSERT_EQ(devices.DeviceCount(), 3) << "no other cameras expected on a test machine";
    EXPECT_EQ(devices.DeviceEntryAt(0).FriendlyName, "Kamera USB");
    EXPECT_EQ(devices.DeviceEntryAt(1).FriendlyName, "Kamera USB");
    EXPECT_EQ(devices.DeviceEntryAt(2).FriendlyName, std::string(254, 'x'));
    TSysDevEnum again;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(again.DeviceEntryAt(i).FriendlyName, devices.DeviceEntryAt(i).FriendlyName);
}

TEST_F(Devices, MonikersBindTheSameDeviceAgain)
{
    TSysDevEnum devices;
    ASSERT_EQ(devices.DeviceCount(), 3);
    // Sorted by device node: video1 (pattern 6), video2 (4), video3 (5).
    const int expected[] = {6, 4, 5};
    for (int i = 0; i < 3; ++i) {
        const auto moniker = devices.DeviceMoniker(i);
        ASSERT_TRUE(moniker);
        TBaseFilter base;
        base.StoreMoniker(&*moniker);
        EXPECT_FALSE(base.Empty());
        gst::ElementHandle element = base.BindDeviceFilter();
        ASSERT_TRUE(element) << i;
        EXPECT_EQ(PatternOf(element), expected[i]) << i;
        // The device's own media types come along with it.
        const GstCaps* offered = OfferedCapsOf(element.get());
        ASSERT_TRUE(offered);
        EXPECT_EQ(gst_caps_get_size(offered), 2u);
    }
    EXPECT_FALSE(devices.DeviceMoniker(3));
    EXPECT_FALSE(devices.DeviceMoniker(-1));

    TBaseFilter base;
    base.StoreMoniker(nullptr);
    EXPECT_TRUE(base.Empty());
    EXPECT_FALSE(base.BindDeviceFilter());
}

TEST_F(Devices, AVanishedDeviceBindsNothingAndPositionsShift)
{
    TSysDevEnum devices;
    const auto first = devices.DeviceMoniker(0);
    ASSERT_TRUE(first);
    InstallFakeCameras({{"Kamera USB", "/dev/video2", 4}});
    TBaseFilter base;
    base.StoreMoniker(&*first);
    EXPECT_FALSE(base.BindDeviceFilter()) << "/dev/video1 is gone";
    EXPECT_EQ(devices.DeviceCount(), 3);  // the list is built once
    ASSERT_TRUE(devices.DeviceMoniker(0));
    EXPECT_EQ(devices.DeviceMoniker(0)->Fields()->Identity.find("/dev/video2") != std::string::npos, true);
    EXPECT_FALSE(devices.DeviceMoniker(1));
}

TEST_F(Devices, ExtraSourcesFollowTheDevicesCaptionedByFileNameOrUri)
{
    ScopedEnv extras("QUISK_EXTRA_SOURCES", "/tmp/nagrania/klip jeden.avi||http://127.0.0.1:8080/?action=stream|");
    TSysDevEnum devices;
    ASSERT_EQ(devices.DeviceCount(), 5);
    EXPECT_EQ(devices.DeviceEntryAt(3).FriendlyName, "klip jeden.avi");
    EXPECT_EQ(devices.DeviceEntryAt(4).FriendlyName, "http://127.0.0.1:8080/?action=stream");
    const auto moniker = devices.DeviceMoniker(3);
    ASSERT_TRUE(moniker);
    EXPECT_EQ(moniker->Fields()->Kind, SourceKind::ExtraSource);
    EXPECT_EQ(moniker->Fields()->Identity, "/tmp/nagrania/klip jeden.avi");
    for (int i = 0; i < devices.DeviceCount(); ++i) EXPECT_NE(devices.DeviceEntryAt(i).FriendlyName, "Kamera testowa");
}

}  // namespace
}  // namespace qmd::test
