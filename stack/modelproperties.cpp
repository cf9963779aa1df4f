#include "stack/modelproperties.h"

#include "numerics/exception.h"

#include <array>

namespace {

const std::array<const char*, 4> primitiveNames = {"Polygon", "Polyline", "Polypoint", "Unknown"};
const std::array<const char*, 5> renderingModeNames = {"Dot", "Curve", "Wireframe", "Surface",
                                                       "Unknown"};

// Keeps a only when b holds the same defined value.
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

} // namespace

void ModelProperties::setDefaults()
{
    m_geometry = MPrimitive::Polygon;
    m_renderingMode = RenderingMode::Surface;
    m_opacity = 255.0f;
    m_shininess = 32.0f;
    m_quadMeshWidth = 100u;
    m_quadMeshHeight = 100u;
    m_economicRendering = false;
    m_beginCap = false;
    m_endCap = false;
}

void ModelProperties::clear()
{
    *this = ModelProperties();
}

void ModelProperties::update(const ModelProperties& other)
{
    take(m_geometry, other.m_geometry);
    take(m_renderingMode, other.m_renderingMode);
    take(m_opacity, other.m_opacity);
    take(m_shininess, other.m_shininess);
    take(m_quadMeshWidth, other.m_quadMeshWidth);
    take(m_quadMeshHeight, other.m_quadMeshHeight);
    take(m_economicRendering, other.m_economicRendering);
    take(m_beginCap, other.m_beginCap);
    take(m_endCap, other.m_endCap);
}

void ModelProperties::intersection(const ModelProperties& other)
{
    intersect(m_geometry, other.m_geometry);
    intersect(m_renderingMode, other.m_renderingMode);
    intersect(m_opacity, other.m_opacity);
    intersect(m_shininess, other.m_shininess);
    intersect(m_quadMeshWidth, other.m_quadMeshWidth);
    intersect(m_quadMeshHeight, other.m_quadMeshHeight);
    intersect(m_economicRendering, other.m_economicRendering);
    intersect(m_beginCap, other.m_beginCap);
    intersect(m_endCap, other.m_endCap);
}

bool ModelProperties::operator==(const ModelProperties& other) const
{
    return m_geometry == other.m_geometry && m_renderingMode == other.m_renderingMode &&
           m_opacity == other.m_opacity && m_shininess == other.m_shininess &&
           m_quadMeshWidth == other.m_quadMeshWidth && m_quadMeshHeight == other.m_quadMeshHeight &&
           m_economicRendering == other.m_economicRendering && m_beginCap == other.m_beginCap &&
           m_endCap == other.m_endCap;
}

bool ModelProperties::getBeginCapFlag() const
{
    if (!m_beginCap)
        throw ProgramError("bool ModelProperties::getBeginCapFlag() const",
                           "Begin cap flag: undefined attribute");
    return *m_beginCap;
}

bool ModelProperties::getEndCapFlag() const
{
    if (!m_endCap)
        throw ProgramError("bool ModelProperties::getEndCapFlag() const",
                           "End cap flag: undefined attribute");
    return *m_endCap;
}

std::string ModelProperties::toString(MPrimitive g)
{
    const auto code = static_cast<unsigned int>(g);
    return primitiveNames[code < primitiveNames.size() ? code : primitiveNames.size() - 1];
}

MPrimitive ModelProperties::toPrimitive(const std::string& text)
{
    for (unsigned int code = 0; code + 1 < primitiveNames.size(); ++code)
        if (text == primitiveNames[code])
            return static_cast<MPrimitive>(code);
    return MPrimitive::Unknown;
}

std::string ModelProperties::toString(RenderingMode m)
{
    const auto code = static_cast<unsigned int>(m);
    return renderingModeNames[code < renderingModeNames.size() ? code
                                                               : renderingModeNames.size() - 1];
}

RenderingMode ModelProperties::toRenderingMode(const std::string& text)
{
    for (unsigned int code = 0; code + 1 < renderingModeNames.size(); ++code)
        if (text == renderingModeNames[code])
            return static_cast<RenderingMode>(code);
    return RenderingMode::Unknown;
}
