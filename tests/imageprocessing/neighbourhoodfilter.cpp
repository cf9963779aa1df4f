#include "imageprocessing/iteratedfilter.h"
#include "imageprocessing/neighbourhoodfilter.h"

#include "support/expect.h"

#include <gtest/gtest.h>

namespace {

struct BallFilter : NeighbourhoodFilter {
    BallFilter() : NeighbourhoodFilter(true) {}
};
struct SquareFilter : NeighbourhoodFilter {};

TEST(NeighbourhoodFilter, BallModeOnlyWhereAccepted)
{
    BallFilter ball;
    ball.setBallMode(true);
    EXPECT_TRUE(ball.isBallMode());
    SquareFilter square;
    EXPECT_THROW(square.setBallMode(true), ProgramError); // the text: with the extreme filters
    EXPECT_FALSE(square.isBallMode());
    square.setBallMode(false); // switching it off is always allowed
}

// The offsets of the disc and the ball of radius 1, in raster order (the
// sums over larger ones are checked through the sum filter).
TEST(NeighbourhoodFilter, DiscAndBallOffsetsInRasterOrder)
{
    Vector<int> di, dj, dk;
    NeighbourhoodFilter::initCircularNeighborhood(1, di, dj);
    EXPECT_EQ(di, (Vector<int>{-1, 0, 0, 0, 1}));
    EXPECT_EQ(dj, (Vector<int>{0, -1, 0, 1, 0}));
    NeighbourhoodFilter::initSphericalNeighborhood(1, di, dj, dk);
    EXPECT_EQ(di, (Vector<int>{-1, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(dj, (Vector<int>{0, -1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(dk, (Vector<int>{0, 0, -1, 0, 1, 0, 0}));
}

} // namespace
