// Result codes, monikers and render chains: the small pure pieces.
#include <gtest/gtest.h>

#include "capture/graph/check_graph_result.h"
#include "capture/graph/render_chain.h"
#include "capture/sources/moniker.h"
#include "gst/handles.h"
#include "support/repeated_text.h"

namespace qmd {
namespace {

TEST(CheckGraphResultTest, FailureCodesThrowWithTextAndCode)
{
    EXPECT_EQ(CheckGraphResult(0), 0u);
    EXPECT_EQ(CheckGraphResult(1), 1u);
    EXPECT_EQ(CheckGraphResult(0x7FFFFFFFu), 0x7FFFFFFFu);
    try {
        CheckGraphResult(0x80004005u);
        FAIL();
    } catch (const EDirectShowException& error) {
        EXPECT_EQ(error.Code(), 0x80004005u);
        EXPECT_STREQ(error.what(), "Unspecified error ($80004005).");
    }
    try {
        CheckGraphResult(0x8abcdef0u);
        FAIL();
    } catch (const EDirectShowException& error) {
        EXPECT_STREQ(error.what(), " ($8ABCDEF0).");
    }
}

TEST(CheckGraphResultTest, PlatformTextIsCutAt255AndAtAZero)
{
    EXPECT_EQ(std::string(EDirectShowException(0x80004005u, std::string(300, 'x')).what()),
              test::Repeated(255, 'x', " ($80004005)."));
    EXPECT_STREQ(EDirectShowException(0x80004005u, std::string("ab\0cd", 5)).what(), "ab ($80004005).");
    // A character the cut would split (a GStreamer message in Polish) is left out whole.
    EXPECT_EQ(std::string(EDirectShowException(0x80004005u, test::Repeated(254, 'x', "\xC4\x85")).what()),
              test::Repeated(254, 'x', " ($80004005)."));
}

TEST(MonikerTest, RoundTripsThroughBytes)
{
    const VideoSource fields{SourceKind::SystemDevice,
                             "Kamera \xC5\xBC\xC3\xB3\xC5\x82ta",
                             "GstV4l2Device|device.path=/dev/video0",
                             "Video/Source",
                             "GstV4l2Device|device.bus=usb|device.serial=SN-7",
                             "",
                             CredentialsKept::None};
    const Moniker stored = Moniker::FromFields(fields);
    const Moniker loaded = Moniker::FromBytes(stored.Bytes());
    ASSERT_TRUE(loaded.Fields());
    EXPECT_EQ(*loaded.Fields(), fields);
}

TEST(MonikerTest, ForeignOrDamagedBytesNameNothing)
{
    EXPECT_FALSE(Moniker::FromBytes({}).Fields());
    EXPECT_FALSE(Moniker::FromBytes({'x', 'y', 'z'}).Fields());
    auto bytes =
        Moniker::FromFields({SourceKind::TestSource, "Kamera testowa", "", "", "", "", CredentialsKept::None}).Bytes();
    auto truncated = bytes;
    truncated.pop_back();
    EXPECT_FALSE(Moniker::FromBytes(truncated).Fields());
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(Moniker::FromBytes(longer).Fields());
    auto wrongKind = bytes;
    wrongKind[5] = 9;
    EXPECT_FALSE(Moniker::FromBytes(wrongKind).Fields());
    auto hugeLength = bytes;
    hugeLength[9] = 0x7F;  // the first string's length claims 2 GB
    EXPECT_FALSE(Moniker::FromBytes(hugeLength).Fields());
}

TEST(RenderChainTest, ChosenByWhatTheSourceOffers)
{
    const auto kindOf = [](const char* caps) {
        gst::CapsHandle offered{gst_caps_from_string(caps)};
        return ChooseRenderChain(offered.get());
    };
    EXPECT_EQ(kindOf("video/x-raw,format=YUY2,width=640,height=480"), RenderChainKind::Raw);
    EXPECT_EQ(kindOf("image/jpeg,width=1280,height=720; video/x-raw,format=YUY2"), RenderChainKind::Raw);
    EXPECT_EQ(kindOf("image/jpeg,width=1280,height=720"), RenderChainKind::Jpeg);
    EXPECT_EQ(kindOf("video/x-h264,stream-format=byte-stream"), RenderChainKind::Decode);
    EXPECT_EQ(kindOf("ANY"), RenderChainKind::Raw);
    EXPECT_EQ(ChooseRenderChain(nullptr), RenderChainKind::Decode);
}

}  // namespace
}  // namespace qmd
