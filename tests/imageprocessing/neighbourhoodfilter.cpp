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
    EXPECT_PLEXAN_THROW(square.setBallMode(true), ProgramError,
                        "void NeighbourhoodFilter::setBallMode(const bool)",
                        "This filter does not accept ball mode");
    EXPECT_FALSE(square.isBallMode());
    square.setBallMode(false); // switching it off is always allowed
    EXPECT_EQ(square.getHalfSize(), 1);
}

TEST(NeighbourhoodFilter, DiscOffsetsInRasterOrder)
{
    Vector<int> di, dj;
    NeighbourhoodFilter::initCircularNeighborhood(1, di, dj);
    EXPECT_EQ(di, (Vector<int>{-1, 0, 0, 0, 1}));
    EXPECT_EQ(dj, (Vector<int>{0, -1, 0, 1, 0}));
    // Lattice points in a disc of radius r: 1, 5, 13, 29, 49, 81.
    const int counts[] = {1, 5, 13, 29, 49, 81};
    for (int r = 0; r <= 5; ++r) {
        NeighbourhoodFilter::initCircularNeighborhood(r, di, dj);
        EXPECT_EQ(di.getSize(), counts[r]) << "r = " << r;
        for (int n = 1; n < di.getSize(); ++n) // strictly increasing (di, dj)
            EXPECT_TRUE(di[n - 1] < di[n] || (di[n - 1] == di[n] && dj[n - 1] < dj[n]));
    }
}

TEST(NeighbourhoodFilter, BallOffsets)
{
    Vector<int> di, dj, dk;
    NeighbourhoodFilter::initSphericalNeighborhood(1, di, dj, dk);
    EXPECT_EQ(di, (Vector<int>{-1, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(dj, (Vector<int>{0, -1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(dk, (Vector<int>{0, 0, -1, 0, 1, 0, 0}));
    // Lattice points in a ball of radius r: 1, 7, 33, 123.
    const int counts[] = {1, 7, 33, 123};
    for (int r = 0; r <= 3; ++r) {
        NeighbourhoodFilter::initSphericalNeighborhood(r, di, dj, dk);
        EXPECT_EQ(dk.getSize(), counts[r]) << "r = " << r;
    }
}

} // namespace
