#pragma once
// ShapePainterAttributesGL: how a shape is drawn, as a set of optional
// attributes. Each attribute is either undefined or holds a value; painters
// draw with the defined ones and leave the others to the GL state. Sets are
// combined to edit several painters at once: update() overlays a set,
// intersection() keeps what two sets agree on.

#include "numerics/vector.h"

#include <iostream>
#include <optional>
#include <string>

// What a shape painter draws of its shape.
enum DisplayModeGL {
    DisplayModeNone = 0,        // nothing drawn by mode
    DisplayModeSymbol = 1,      // the vertex symbols
    DisplayModeCurve = 2,       // the curves
    DisplayModeSymbolCurve = 3, // curves and vertex symbols
    DisplayModeMesh = 4,        // the edges of a mesh
    DisplayModeSurface = 5      // a lit surface
};

// The symbol drawn at a vertex.
enum VertexSymbolGL {
    VertexSymbolNone = 0,
    VertexSymbolDot = 1,         // one point, symbol size in pixels
    VertexSymbolSphere = 2,      // radius = symbol size
    VertexSymbolCube = 3,        // half side = symbol size
    VertexSymbolTetrahedron = 4, // circumradius = symbol size
    VertexSymbolDiamond = 5      // octahedron, circumradius = symbol size
};

class ShapePainterAttributesGL {
public:
    static constexpr int numDisplayModes = 6;
    static constexpr int numVertexSymbols = 6;
    // The names shown to the user ("" for mode 0 and symbol 0; "" outside the
    // range too).
    static const char* displayModeName(int mode);
    static const char* vertexSymbolName(int symbol);

    // Display mode 0, line width 1, transparency 255, shininess 32, symbol
    // size 10, dot symbols, visible; colour, smoothing and the cap flags
    // undefined.
    ShapePainterAttributesGL();

    // Colour (red, green, blue in 0 .. 255).
    const Vector<int>& getColor() const { return m_color; }
    void setColor(const Vector<int>& rgb);
    void setColor(int r, int g, int b) { setColor(Vector<int>{r, g, b}); }
    bool useColor() const { return m_hasColor; }

    int getDisplayMode() const { return m_displayMode.value_or(0); }
    void setDisplayMode(int mode) { m_displayMode = mode; }
    bool useDisplayMode() const { return m_displayMode.has_value(); }

    float getLineWidth() const { return m_lineWidth.value_or(1.0f); }
    void setLineWidth(float width) { m_lineWidth = width; }
    bool useLineWidth() const { return m_lineWidth.has_value(); }

    // Alpha in 0 .. 255, 255 being opaque.
    float getTransparency() const { return m_transparency.value_or(255.0f); }
    void setTransparency(float alpha) { m_transparency = alpha; }
    bool useTransparency() const { return m_transparency.has_value(); }

    float getShininess() const { return m_shininess.value_or(0.0f); }
    void setShininess(float shininess) { m_shininess = shininess; }
    bool useShininess() const { return m_shininess.has_value(); }

    // Normal-smoothing iterations of surfaces.
    int getSmoothing() const { return m_smoothing.value_or(-1); }
    void setSmoothing(int iterations) { m_smoothing = iterations; }
    bool useSmoothing() const { return m_smoothing.has_value(); }

    float getSymbolSize() const { return m_symbolSize.value_or(1.0f); }
    void setSymbolSize(float size) { m_symbolSize = size; }
    bool useSymbolSize() const { return m_symbolSize.has_value(); }

    int getVertexSymbol() const { return m_vertexSymbol.value_or(0); }
    void setVertexSymbol(int symbol) { m_vertexSymbol = symbol; }
    bool useVertexSymbol() const { return m_vertexSymbol.has_value(); }

    // ProgramError "Visibility: undefined attribute" when undefined.
    bool getVisibility() const;
    void setVisibility(bool visible) { m_visibility = visible; }
    bool useVisibility() const { return m_visibility.has_value(); }

    // ProgramError "Begin cap flag: undefined attribute" ("End cap flag: ...")
    // when undefined.
    bool getBeginCapFlag() const;
    void setBeginCapFlag(bool flag) { m_beginCap = flag; }
    bool hasBeginCapFlag() const { return m_beginCap.has_value(); }
    bool getEndCapFlag() const;
    void setEndCapFlag(bool flag) { m_endCap = flag; }
    bool hasEndCapFlag() const { return m_endCap.has_value(); }

    // Makes every attribute undefined.
    void clear();
    // Copies every attribute that other defines.
    void update(const ShapePainterAttributesGL& other);
    // The attributes defined in both sets with equal values (colours equal
    // component by component).
    ShapePainterAttributesGL intersection(const ShapePainterAttributesGL& other) const;

    bool operator==(const ShapePainterAttributesGL& other) const;
    bool operator!=(const ShapePainterAttributesGL& other) const { return !(*this == other); }

    // One line per attribute ("Color        = 255 0 0", "(none)" when
    // undefined), each after the prefix.
    void print(const std::string& prefix = "", std::ostream& stream = std::cout) const;

private:
    Vector<int> m_color;
    bool m_hasColor = false;
    std::optional<int> m_displayMode;
    std::optional<float> m_lineWidth;
    std::optional<float> m_transparency;
    std::optional<float> m_shininess;
    std::optional<int> m_smoothing;
    std::optional<float> m_symbolSize;
    std::optional<int> m_vertexSymbol;
    std::optional<bool> m_visibility;
    std::optional<bool> m_beginCap;
    std::optional<bool> m_endCap;
};
