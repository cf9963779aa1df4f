#include "image/colormap.h"

#include <cmath>

void Colormap::setSize(int n)
{
    n = n > 0 ? n : 0;
    const int kept = n < getSize() ? n : getSize();
    for (Vector<unsigned char>* channel : {&m_red, &m_green, &m_blue}) {
        Vector<unsigned char> cells(static_cast<unsigned int>(n));
        cells.setZeros();
        for (int i = 0; i < kept; ++i)
            cells[i] = (*channel)[i];
        channel->swap(cells);
    }
}

bool Colormap::isGrayscale() const
{
    for (int i = 0; i < getSize(); ++i)
        if (m_red[i] != m_green[i] || m_red[i] != m_blue[i])
            return false;
    return true;
}

bool Colormap::isIdentity() const
{
    for (int i = 0; i < getSize(); ++i)
        if (m_red[i] != i || m_green[i] != i || m_blue[i] != i)
            return false;
    return true;
}

namespace {

bool allZero(const Vector<unsigned char>& a, const Vector<unsigned char>& b)
{
    for (int i = 0; i < a.getSize(); ++i)
        if (a[i] != 0 || b[i] != 0)
            return false;
    return true;
}

} // namespace

bool Colormap::isRedOnly() const
{
    return allZero(m_green, m_blue);
}

bool Colormap::isGreenOnly() const
{
    return allZero(m_red, m_blue);
}

bool Colormap::isBlueOnly() const
{
    return allZero(m_red, m_green);
}

void Colormap::makeGrayscale()
{
    const int n = getSize();
    for (int i = 0; i < n; ++i) {
        const auto v = static_cast<unsigned char>(n > 1 ? i * 255 / (n - 1) : 0);
        setCell(i, v, v, v);
    }
}

void Colormap::convertToGrayscale()
{
    for (int i = 0; i < getSize(); ++i) {
        const auto v = static_cast<unsigned char>((m_red[i] + m_green[i] + m_blue[i]) / 3);
        setCell(i, v, v, v);
    }
}

Colormap Colormap::flag()
{
    static const unsigned char cells[16][3] = {
        {0, 0, 0},       {255, 255, 255}, {255, 0, 0},     {85, 0, 255},
        {0, 170, 0},     {255, 170, 0},   {170, 255, 127}, {170, 170, 0},
        {0, 170, 255},   {255, 170, 255}, {170, 0, 255},   {170, 170, 255},
        {255, 255, 0},   {170, 85, 0},    {0, 255, 255},   {255, 0, 255}};
    Colormap map(16);
    for (int i = 0; i < 16; ++i)
        map.setCell(i, cells[i][0], cells[i][1], cells[i][2]);
    return map;
}

namespace {

// trunc(scale x ln x) as a byte. ln 0 = -inf gives 0; a degenerate ramp (one
// cell per quarter, where the scale itself is infinite) gives 0 as well.
unsigned char logRamp(double scale, double x)
{
    const double v = scale * std::log(x);
    if (!(v > 0.0))
        return 0;
    if (v >= 255.0)
        return 255;
    return static_cast<unsigned char>(v);
}

} // namespace

Colormap Colormap::cold2Hot(unsigned int n)
{
    if (n % 4 != 0) {
        SizeError e;
        e.setWhere("Colormap Colormap::cold2Hot(const unsigned int)");
        e.setWhat("Colormap dimension is not a multiple of 4");
        throw e;
    }
    const int q = static_cast<int>(n / 4);
    Colormap map(static_cast<int>(n));
    const double s = 255.0 / std::log(static_cast<double>(q));
    const double t = 255.0 / std::log(static_cast<double>(q) + 1.0);
    for (int i = 0; i < q; ++i) {
        map.setCell(i, 0, logRamp(s, i), 255);
        map.setCell(q + i, 0, 255, logRamp(s, q - i));
        map.setCell(2 * q + i, logRamp(t, i + 2), 255, 0);
        map.setCell(3 * q + i, 255, logRamp(t, q - i), 0);
    }
    return map;
}
