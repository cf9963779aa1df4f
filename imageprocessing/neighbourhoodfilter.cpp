#include "imageprocessing/neighbourhoodfilter.h"

#include "numerics/exception.h"

void NeighbourhoodFilter::setBallMode(bool ballMode)
{
    if (ballMode && !m_acceptBallMode) {
        ProgramError e;
        e.setWhere("void NeighbourhoodFilter::setBallMode(const bool)");
        e.setWhat("This filter does not accept ball mode");
        throw e;
    }
    m_ballMode = ballMode;
}

void NeighbourhoodFilter::initCircularNeighborhood(int r, Vector<int>& di, Vector<int>& dj)
{
    int count = 0;
    for (int a = -r; a <= r; ++a)
        for (int b = -r; b <= r; ++b)
            count += a * a + b * b <= r * r;
    di.setSize(count);
    dj.setSize(count);
    int n = 0;
    for (int a = -r; a <= r; ++a)
        for (int b = -r; b <= r; ++b)
            if (a * a + b * b <= r * r) {
                di[n] = a;
                dj[n] = b;
                ++n;
            }
}

void NeighbourhoodFilter::initSphericalNeighborhood(int r, Vector<int>& di, Vector<int>& dj, Vector<int>& dk)
{
    int count = 0;
    for (int a = -r; a <= r; ++a)
        for (int b = -r; b <= r; ++b)
            for (int c = -r; c <= r; ++c)
                count += a * a + b * b + c * c <= r * r;
    di.setSize(count);
    dj.setSize(count);
    dk.setSize(count);
    int n = 0;
    for (int a = -r; a <= r; ++a)
        for (int b = -r; b <= r; ++b)
            for (int c = -r; c <= r; ++c)
                if (a * a + b * b + c * c <= r * r) {
                    di[n] = a;
                    dj[n] = b;
                    dk[n] = c;
                    ++n;
                }
}
