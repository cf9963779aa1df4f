#include "stack/modelitemproperties.h"

#include <array>
#include <ostream>

namespace {

const std::array<const char*, 6> symbolNames = {"Cube",   "Dot",         "Diamond",
                                                "Sphere", "Tetrahedron", "Unknown"};

template <typename T>
void intersect(std::optional<T>& a, const std::optional<T>& b)
{
    if (a != b)
        a.reset();
}

template <typename T>
void take(std::optional<T>& a, const std::optional<T>& b)
{
    if (b)
        a = b;
}

// Keeps a only when b does not define the same value.
template <typename T>
void subtract(std::optional<T>& a, const std::optional<T>& b)
{
    if (a == b)
        a.reset();
}

} // namespace

void ModelItemProperties::setDefaults()
{
    m_color = Vector<int>{255, 0, 0};
    m_lineWidth = 1.0f;
    m_pointSize = 1.0f;
    m_vertexSymbol = VertexSymbol::Sphere;
    m_filled = true;
    m_visible = true;
}

void ModelItemProperties::clear()
{
    *this = ModelItemProperties();
}

bool ModelItemProperties::definesAny() const
{
    return m_color || m_lineWidth || m_pointSize || m_vertexSymbol || m_filled || m_visible;
}

void ModelItemProperties::update(const ModelItemProperties& other)
{
    take(m_color, other.m_color);
    take(m_lineWidth, other.m_lineWidth);
    take(m_pointSize, other.m_pointSize);
    take(m_vertexSymbol, other.m_vertexSymbol);
    take(m_filled, other.m_filled);
    take(m_visible, other.m_visible);
}

void ModelItemProperties::intersection(const ModelItemProperties& other)
{
    intersect(m_color, other.m_color);
    intersect(m_lineWidth, other.m_lineWidth);
    intersect(m_pointSize, other.m_pointSize);
    intersect(m_vertexSymbol, other.m_vertexSymbol);
    intersect(m_filled, other.m_filled);
    intersect(m_visible, other.m_visible);
}

ModelItemProperties ModelItemProperties::operator+(const ModelItemProperties& other) const
{
    ModelItemProperties sum(*this);
    sum.update(other);
    return sum;
}

ModelItemProperties ModelItemProperties::operator-(const ModelItemProperties& other) const
{
    ModelItemProperties difference(*this);
    subtract(difference.m_color, other.m_color);
    subtract(difference.m_lineWidth, other.m_lineWidth);
    subtract(difference.m_pointSize, other.m_pointSize);
    subtract(difference.m_vertexSymbol, other.m_vertexSymbol);
    subtract(difference.m_filled, other.m_filled);
    subtract(difference.m_visible, other.m_visible);
    return difference;
}

bool ModelItemProperties::operator==(const ModelItemProperties& other) const
{
    return m_color == other.m_color && m_lineWidth == other.m_lineWidth &&
           m_pointSize == other.m_pointSize && m_vertexSymbol == other.m_vertexSymbol &&
           m_filled == other.m_filled && m_visible == other.m_visible;
}

std::string ModelItemProperties::toString(VertexSymbol s)
{
    const auto code = static_cast<unsigned int>(s);
    return symbolNames[code < symbolNames.size() ? code : symbolNames.size() - 1];
}

VertexSymbol ModelItemProperties::toVertexSymbol(const std::string& text)
{
    for (unsigned int code = 0; code + 1 < symbolNames.size(); ++code)
        if (text == symbolNames[code])
            return static_cast<VertexSymbol>(code);
    return VertexSymbol::Unknown;
}

std::ostream& operator<<(std::ostream& os, const ModelItemProperties& p)
{
    const char* separator = "";
    auto entry = [&](const char* name) -> std::ostream& {
        os << separator << name << "=";
        separator = " ";
        return os;
    };
    if (p.definesColor()) {
        const Vector<int> c = p.getColor();
        entry("color") << "(" << c[0] << "," << c[1] << "," << c[2] << ")";
    }
    if (p.definesLineWidth())
        entry("lineWidth") << p.getLineWidth();
    if (p.definesPointSize())
        entry("pointSize") << p.getPointSize();
    if (p.definesVertexSymbol())
        entry("vertexSymbol") << ModelItemProperties::toString(p.getVertexSymbol());
    if (p.definesFilled())
        entry("filled") << (p.isFilled() ? "true" : "false");
    if (p.definesVisible())
        entry("visible") << (p.isVisible() ? "true" : "false");
    if (!p.definesAny())
        os << "(none)";
    return os;
}
