#pragma once
// ModelProperties: how a model is rendered in 3D (its geometry, rendering
// mode, surface material, surface resampling grid and end caps). Every
// attribute is optional: a property set may define any subset, so that one
// set can carry defaults, another the overrides of a dialog, and the
// intersection of several models the values they share.
//
// The enumerations' codes and texts are those of the stack file.

#include <optional>
#include <string>

// Geometry of a model's items: closed outlines, open lines or unconnected points.
enum class MPrimitive { Polygon = 0, Polyline = 1, Polypoint = 2, Unknown = 3 };

enum class RenderingMode { Dot = 0, Curve = 1, Wireframe = 2, Surface = 3, Unknown = 4 };

class ModelProperties {
public:
    // Nothing defined; see setDefaults() and Model for the usual values.
    ModelProperties() = default;

    // Polygon, Surface, opacity 255, shininess 32, quad mesh 100 x 100, no
    // economic rendering, no caps.
    void setDefaults();
    // Undefines every attribute.
    void clear();

    // Copies the attributes that other defines.
    void update(const ModelProperties& other);
    // Keeps the attributes defined in both with equal values.
    void intersection(const ModelProperties& other);

    bool operator==(const ModelProperties& other) const;
    bool operator!=(const ModelProperties& other) const { return !(*this == other); }

    // Reading an undefined attribute returns an unspecified value, except for
    // the cap flags which throw: callers test definesX() first.
    void setGeometry(MPrimitive g) { m_geometry = g; }
    MPrimitive getGeometry() const { return m_geometry.value_or(MPrimitive::Unknown); }
    bool definesGeometry() const { return m_geometry.has_value(); }

    void setRenderingMode(RenderingMode m) { m_renderingMode = m; }
    RenderingMode getRenderingMode() const { return m_renderingMode.value_or(RenderingMode::Unknown); }
    bool definesRenderingMode() const { return m_renderingMode.has_value(); }

    // Surface opacity on a 0 to 255 scale.
    void setOpacity(float opacity) { m_opacity = opacity; }
    float getOpacity() const { return m_opacity.value_or(0.0f); }
    bool definesOpacity() const { return m_opacity.has_value(); }

    void setShininess(float shininess) { m_shininess = shininess; }
    float getShininess() const { return m_shininess.value_or(0.0f); }
    bool definesShininess() const { return m_shininess.has_value(); }

    // Resampling grid of the rendered surface.
    void setQuadMeshWidth(unsigned int width) { m_quadMeshWidth = width; }
    unsigned int getQuadMeshWidth() const { return m_quadMeshWidth.value_or(0u); }
    bool definesQuadMeshWidth() const { return m_quadMeshWidth.has_value(); }
    void setQuadMeshHeight(unsigned int height) { m_quadMeshHeight = height; }
    unsigned int getQuadMeshHeight() const { return m_quadMeshHeight.value_or(0u); }
    bool definesQuadMeshHeight() const { return m_quadMeshHeight.has_value(); }

    void setEconomicRendering(bool flag) { m_economicRendering = flag; }
    bool getEconomicRendering() const { return m_economicRendering.value_or(false); }
    bool definesEconomicRendering() const { return m_economicRendering.has_value(); }

    // ProgramError "Begin cap flag: undefined attribute" when undefined.
    void setBeginCapFlag(bool flag) { m_beginCap = flag; }
    bool getBeginCapFlag() const;
    bool definesBeginCapFlag() const { return m_beginCap.has_value(); }

    // ProgramError "End cap flag: undefined attribute" when undefined.
    void setEndCapFlag(bool flag) { m_endCap = flag; }
    bool getEndCapFlag() const;
    bool definesEndCapFlag() const { return m_endCap.has_value(); }

    // Exact, case-sensitive texts; an unmatched text gives the Unknown code.
    static std::string toString(MPrimitive g);
    static MPrimitive toPrimitive(const std::string& text);
    static std::string toString(RenderingMode m);
    static RenderingMode toRenderingMode(const std::string& text);

private:
    std::optional<MPrimitive> m_geometry;
    std::optional<RenderingMode> m_renderingMode;
    std::optional<float> m_opacity;
    std::optional<float> m_shininess;
    std::optional<unsigned int> m_quadMeshWidth;
    std::optional<unsigned int> m_quadMeshHeight;
    std::optional<bool> m_economicRendering;
    std::optional<bool> m_beginCap;
    std::optional<bool> m_endCap;
};
