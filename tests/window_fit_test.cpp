// Fitting a dialog to the screen: the font size chosen and the place.

#include "gui/model/WindowFit.h"

#include <gtest/gtest.h>

using namespace corvalin;

namespace
{

// A dialog whose size grows by 60 x 50 pixels a point, as a template does with its font.
CPixelSize GrowingDialog(int points)
{
    return {60 * points, 50 * points};
}

} // namespace

TEST(WindowFit, TheFontShrinksUntilTheDialogFitsButNotBelowReadableText)
{
    // 8 points is 480 x 400: it fits as it is.
    EXPECT_EQ(FittingPointSize(8, 96, {480, 400}, GrowingDialog), 8);
    // One pixel short in either direction is one point smaller.
    EXPECT_EQ(FittingPointSize(8, 96, {479, 400}, GrowingDialog), 7);
    EXPECT_EQ(FittingPointSize(8, 96, {480, 399}, GrowingDialog), 7);
    // The floor is 8 pixels of text: 6 points at 96 dpi, 3 points at 192.
    EXPECT_EQ(FittingPointSize(8, 96, {100, 100}, GrowingDialog), 6);
    EXPECT_EQ(FittingPointSize(8, 192, {100, 100}, GrowingDialog), 3);
    // A design size already below the floor is kept.
    EXPECT_EQ(FittingPointSize(5, 96, {100, 100}, GrowingDialog), 5);
}

TEST(WindowFit, CentredOverTheOwnerAndKeptInsideTheWorkArea)
{
    const CPixelRect area{0, 40, 1024, 728};
    // No owner: the work area's centre.
    const CPixelRect alone = PlaceCentred({400, 300}, {}, area);
    EXPECT_EQ(alone.m_nLeft, 312);
    EXPECT_EQ(alone.m_nTop, 254);
    // Over an owner near the right edge: centred, then moved left to stay inside.
    const CPixelRect over = PlaceCentred({400, 300}, {800, 100, 200, 200}, area);
    EXPECT_EQ(over.m_nLeft, 624);
    EXPECT_EQ(over.m_nTop, 50);
    // Larger than the area: the top-left corner, where the title is, stays in view.
    const CPixelRect large = PlaceCentred({1200, 900}, {100, 100, 500, 500}, area);
    EXPECT_EQ(large.m_nLeft, 0);
    EXPECT_EQ(large.m_nTop, 40);
}
