// obszary.txt as the program reads and writes it.
#include <gtest/gtest.h>

#include "detect/ignore_areas.h"

using namespace qmd;

TEST(IgnoreAreasFile, ReadsAreasSkipsWhatIsNotOneAndWritesWhatItReadsBack)
{
    const AreaFileContent content = ParseAreaText("0 0 1 1\r\n"
                                                  "\n"
                                                  "  0.25\t0.5 0.5 0.125  \n"
                                                  "0,25 0 0.5 0.5\n"
                                                  "0.1 0.1 0.5\n"
                                                  "0.1 0.1 0.5 0.5 0.5\n"
                                                  "-0.1 0 0.5 0.5\n"
                                                  "0.6 0 0.5 0.5\n"
                                                  "0 0 0 0.5\n"
                                                  "nan 0 0.5 0.5\n"
                                                  "0.5 0.5 0.5 0.5");
    const AreaList expected{{0, 0, 1, 1}, {0.25, 0.5, 0.5, 0.125}, {0.5, 0.5, 0.5, 0.5}};
    EXPECT_EQ(content.Areas, expected);
    EXPECT_EQ(content.UnreadableLines,
              (std::vector<std::string>{"0,25 0 0.5 0.5", "0.1 0.1 0.5", "0.1 0.1 0.5 0.5 0.5", "-0.1 0 0.5 0.5",
                                        "0.6 0 0.5 0.5", "0 0 0 0.5", "nan 0 0.5 0.5"}));
    EXPECT_EQ(AreaText(content.Areas), "0 0 1 1\n0.25 0.5 0.5 0.125\n0.5 0.5 0.5 0.5\n");
    EXPECT_EQ(ParseAreaText(AreaText(content.Areas)).Areas, content.Areas);
}

TEST(IgnoreAreasFile, APixelIsInAnAreaWhenItsCentreIs)
{
    // From 0.25 to 0.75 of 10 pixels: the centre 2.5 on the left edge is in,
    // the centre 7.5 on the right edge is out.
    EXPECT_EQ(CoveredPixels(0.25, 0.5, 10).Begin, 2);
    EXPECT_EQ(CoveredPixels(0.25, 0.5, 10).End, 7);
    EXPECT_EQ(CoveredPixels(0, 1, 7).Begin, 0);
    EXPECT_EQ(CoveredPixels(0, 1, 7).End, 7);
    // Narrower than a pixel, between two centres: nothing.
    EXPECT_EQ(CoveredPixels(0.31, 0.02, 10).End - CoveredPixels(0.31, 0.02, 10).Begin, 0);
}
