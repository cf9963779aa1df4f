#include "stack/wmconverter.h"

#include <cmath>
#include <ostream>

namespace {

// floor((c - from) * (toSize - 1) / (fromSize - 1) + 0.5) + to, in float.
int toModelCoordinate(int c, int from, int fromSize, int to, int toSize)
{
    if (fromSize < 2)
        return to;
    const float scaled = static_cast<float>(c - from) * static_cast<float>(toSize - 1) /
                         static_cast<float>(fromSize - 1);
    return static_cast<int>(std::floor(scaled + 0.5f)) + to;
}

// round((c - from) * (toSize - 1) / (fromSize - 1)) + to, in float.
int toWorldCoordinate(int c, int from, int fromSize, int to, int toSize)
{
    if (fromSize < 2)
        return to;
    const float scaled = static_cast<float>(c - from) * static_cast<float>(toSize - 1) /
                         static_cast<float>(fromSize - 1);
    return static_cast<int>(std::lround(scaled)) + to;
}

template <typename F>
Vertices<int> convert(const Vertices<int>& v, F f)
{
    const int n = v.getNumVertices();
    Vertices<int> out(2, 0, n, 0);
    for (int i = 0; i < n; ++i)
        out.append(f(v[i]));
    return out;
}

} // namespace

void WMConverter::setWorld(int x, int y, int width, int height)
{
    m_worldX = x;
    m_worldY = y;
    m_worldWidth = width;
    m_worldHeight = height;
}

void WMConverter::setModel(int x, int y, int width, int height)
{
    m_modelX = x;
    m_modelY = y;
    m_modelWidth = width;
    m_modelHeight = height;
}

int WMConverter::xToModel(int x) const
{
    return toModelCoordinate(x, m_worldX, m_worldWidth, m_modelX, m_modelWidth);
}

int WMConverter::yToModel(int y) const
{
    return toModelCoordinate(y, m_worldY, m_worldHeight, m_modelY, m_modelHeight);
}

int WMConverter::xToWorld(int x) const
{
    return toWorldCoordinate(x, m_modelX, m_modelWidth, m_worldX, m_worldWidth);
}

int WMConverter::yToWorld(int y) const
{
    return toWorldCoordinate(y, m_modelY, m_modelHeight, m_worldY, m_worldHeight);
}

Vector<int> WMConverter::toModel(const Vector<int>& p) const
{
    return Vector<int>{xToModel(p[0]), yToModel(p[1])};
}

Vector<int> WMConverter::toWorld(const Vector<int>& p) const
{
    return Vector<int>{xToWorld(p[0]), yToWorld(p[1])};
}

BoundingBox<int> WMConverter::toModel(const BoundingBox<int>& box) const
{
    return BoundingBox<int>(toModel(box.getVertex1()), toModel(box.getVertex2()));
}

BoundingBox<int> WMConverter::toWorld(const BoundingBox<int>& box) const
{
    return BoundingBox<int>(toWorld(box.getVertex1()), toWorld(box.getVertex2()));
}

Registration WMConverter::toModel(const Registration& r) const
{
    return Registration(xToModel(r.getHorizontalShift()), yToModel(r.getVerticalShift()),
                        r.getRotationAngle());
}

Registration WMConverter::toWorld(const Registration& r) const
{
    return Registration(xToWorld(r.getHorizontalShift()), yToWorld(r.getVerticalShift()),
                        r.getRotationAngle());
}

Vertices<int> WMConverter::toModel(const Vertices<int>& v) const
{
    return convert(v, [this](const Vector<int>& p) { return toModel(p); });
}

Vertices<int> WMConverter::toWorld(const Vertices<int>& v) const
{
    return convert(v, [this](const Vector<int>& p) { return toWorld(p); });
}

unsigned int WMConverter::lengthToModel(unsigned int l) const
{
    if (m_worldWidth <= 0)
        return 0;
    return static_cast<unsigned int>(m_modelWidth) * l / static_cast<unsigned int>(m_worldWidth);
}

unsigned int WMConverter::lengthToWorld(unsigned int l) const
{
    if (m_modelWidth <= 0)
        return 0;
    return static_cast<unsigned int>(m_worldWidth) * l / static_cast<unsigned int>(m_modelWidth);
}

void WMConverter::print(const std::string& title, std::ostream& stream) const
{
    if (!title.empty())
        stream << title << std::endl;
    stream << "World: (" << m_worldX << ", " << m_worldY << ") " << m_worldWidth << " x "
           << m_worldHeight << std::endl
           << "Model: (" << m_modelX << ", " << m_modelY << ") " << m_modelWidth << " x "
           << m_modelHeight << std::endl;
}
