#include "gl/shapepainterattributesgl.h"

#include "numerics/exception.h"

namespace {

const char* const displayModeNames[] = {"", "Symbol", "Curve", "Symbol+Curve", "Mesh", "Surface"};
const char* const vertexSymbolNames[] = {"", "Dot", "Sphere", "Cube", "Tetrahedron", "Diamond"};

bool sameColor(const Vector<int>& a, const Vector<int>& b)
{
    if (a.getSize() != b.getSize())
        return false;
    for (int i = 0; i < a.getSize(); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// The value both define and agree on, else undefined.
template <typename V>
std::optional<V> common(const std::optional<V>& a, const std::optional<V>& b)
{
    if (a && b && *a == *b)
        return a;
    return std::nullopt;
}

template <typename V>
void overlay(std::optional<V>& a, const std::optional<V>& b)
{
    if (b)
        a = b;
}

template <typename V>
void printLine(std::ostream& stream, const std::string& prefix, const char* label, const std::optional<V>& value)
{
    stream << prefix << label << ' ';
    if (value)
        stream << *value;
    else
        stream << "(none)";
    stream << '\n';
}

} // namespace

const char* ShapePainterAttributesGL::displayModeName(int mode)
{
    return mode >= 0 && mode < numDisplayModes ? displayModeNames[mode] : "";
}

const char* ShapePainterAttributesGL::vertexSymbolName(int symbol)
{
    return symbol >= 0 && symbol < numVertexSymbols ? vertexSymbolNames[symbol] : "";
}

ShapePainterAttributesGL::ShapePainterAttributesGL()
    : m_displayMode(DisplayModeNone), m_lineWidth(1.0f), m_transparency(255.0f), m_shininess(32.0f),
      m_symbolSize(10.0f), m_vertexSymbol(VertexSymbolDot), m_visibility(true)
{
}

void ShapePainterAttributesGL::setColor(const Vector<int>& rgb)
{
    m_color = rgb;
    m_hasColor = true;
}

bool ShapePainterAttributesGL::getVisibility() const
{
    if (!m_visibility)
        throw ProgramError("bool ShapePainterAttributesGL::getVisibility() const", "Visibility: undefined attribute");
    return *m_visibility;
}

bool ShapePainterAttributesGL::getBeginCapFlag() const
{
    if (!m_beginCap)
        throw ProgramError("bool ShapePainterAttributesGL::getBeginCapFlag() const",
                           "Begin cap flag: undefined attribute");
    return *m_beginCap;
}

bool ShapePainterAttributesGL::getEndCapFlag() const
{
    if (!m_endCap)
        throw ProgramError("bool ShapePainterAttributesGL::getEndCapFlag() const", "End cap flag: undefined attribute");
    return *m_endCap;
}

void ShapePainterAttributesGL::clear()
{
    m_color = Vector<int>();
    m_hasColor = false;
    m_displayMode.reset();
    m_lineWidth.reset();
    m_transparency.reset();
    m_shininess.reset();
    m_symbolSize.reset();
    m_vertexSymbol.reset();
    m_visibility.reset();
    m_smoothing.reset();
    m_beginCap.reset();
    m_endCap.reset();
}

void ShapePainterAttributesGL::update(const ShapePainterAttributesGL& other)
{
    if (other.m_hasColor)
        setColor(other.m_color);
    overlay(m_displayMode, other.m_displayMode);
    overlay(m_lineWidth, other.m_lineWidth);
    overlay(m_transparency, other.m_transparency);
    overlay(m_shininess, other.m_shininess);
    overlay(m_smoothing, other.m_smoothing);
    overlay(m_symbolSize, other.m_symbolSize);
    overlay(m_vertexSymbol, other.m_vertexSymbol);
    overlay(m_visibility, other.m_visibility);
    overlay(m_beginCap, other.m_beginCap);
    overlay(m_endCap, other.m_endCap);
}

ShapePainterAttributesGL ShapePainterAttributesGL::intersection(const ShapePainterAttributesGL& other) const
{
    ShapePainterAttributesGL result;
    result.clear();
    if (m_hasColor && other.m_hasColor && sameColor(m_color, other.m_color))
        result.setColor(m_color);
    result.m_displayMode = common(m_displayMode, other.m_displayMode);
    result.m_lineWidth = common(m_lineWidth, other.m_lineWidth);
    result.m_transparency = common(m_transparency, other.m_transparency);
    result.m_shininess = common(m_shininess, other.m_shininess);
    result.m_smoothing = common(m_smoothing, other.m_smoothing);
    result.m_symbolSize = common(m_symbolSize, other.m_symbolSize);
    result.m_vertexSymbol = common(m_vertexSymbol, other.m_vertexSymbol);
    result.m_visibility = common(m_visibility, other.m_visibility);
    result.m_beginCap = common(m_beginCap, other.m_beginCap);
    result.m_endCap = common(m_endCap, other.m_endCap);
    return result;
}

bool ShapePainterAttributesGL::operator==(const ShapePainterAttributesGL& other) const
{
    if (m_hasColor != other.m_hasColor || (m_hasColor && !sameColor(m_color, other.m_color)))
        return false;
    return m_displayMode == other.m_displayMode && m_lineWidth == other.m_lineWidth &&
           m_transparency == other.m_transparency && m_shininess == other.m_shininess &&
           m_smoothing == other.m_smoothing && m_symbolSize == other.m_symbolSize &&
           m_vertexSymbol == other.m_vertexSymbol && m_visibility == other.m_visibility &&
           m_beginCap == other.m_beginCap && m_endCap == other.m_endCap;
}

void ShapePainterAttributesGL::print(const std::string& prefix, std::ostream& stream) const
{
    stream << prefix << "Color        = ";
    if (m_hasColor) {
        for (int i = 0; i < m_color.getSize(); ++i)
            stream << (i ? " " : "") << m_color[i];
    } else {
        stream << "(none)";
    }
    stream << '\n';
    printLine(stream, prefix, "Display mode =", m_displayMode);
    printLine(stream, prefix, "LineWidth    =", m_lineWidth);
    printLine(stream, prefix, "Transparency =", m_transparency);
    printLine(stream, prefix, "Shininess    =", m_shininess);
    printLine(stream, prefix, "Symbol size  =", m_symbolSize);
    printLine(stream, prefix, "Symbol type  =", m_vertexSymbol);
}
