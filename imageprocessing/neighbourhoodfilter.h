#pragma once
// NeighbourhoodFilter: the parameters shared by the filters that look at a
// square (cubic) or disc (ball) neighbourhood of every element: the half-size
// h, so that the neighbourhood spans offsets -h..+h on each axis, and the ball
// mode, which only the filters that accept it may switch on.

#include "numerics/vector.h"

class NeighbourhoodFilter {
public:
    virtual ~NeighbourhoodFilter() = default;

    void setHalfSize(int halfSize) { m_halfSize = halfSize; }
    int getHalfSize() const { return m_halfSize; }

    // Throws ProgramError when the filter does not accept ball mode.
    void setBallMode(bool ballMode);
    bool isBallMode() const { return m_ballMode; }
    bool acceptsBallMode() const { return m_acceptBallMode; }

    // Every offset (di, dj) with di^2 + dj^2 <= r^2, di from -r to r in the
    // outer loop and dj from -r to r in the inner one.
    static void initCircularNeighborhood(int r, Vector<int>& di, Vector<int>& dj);
    // The same over a ball, loops nested di, dj, dk.
    static void initSphericalNeighborhood(int r, Vector<int>& di, Vector<int>& dj, Vector<int>& dk);

protected:
    explicit NeighbourhoodFilter(bool acceptBallMode = false) : m_acceptBallMode(acceptBallMode) {}
    void setAcceptBallMode(bool accept) { m_acceptBallMode = accept; }

private:
    int m_halfSize = 1;
    bool m_acceptBallMode = false;
    bool m_ballMode = false;
};
