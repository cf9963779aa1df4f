#pragma once
// ModelItemProperties: how the items of a model are drawn (colour, line
// width, point size, vertex symbol and its filling, visibility in 3D). A
// model holds one set as the default of its items; each item holds a set of
// overrides, empty at creation. Every attribute is optional.

#include "numerics/vector.h"

#include <iosfwd>
#include <optional>
#include <string>

enum class VertexSymbol { Cube = 0, Dot = 1, Diamond = 2, Sphere = 3, Tetrahedron = 4, Unknown = 5 };

class ModelItemProperties {
public:
    // Nothing defined.
    ModelItemProperties() = default;

    // Colour (255, 0, 0), line width 1, point size 1, Sphere, filled, visible.
    void setDefaults();
    void clear();
    bool definesAny() const;

    // Copies the attributes that other defines.
    void update(const ModelItemProperties& other);
    // Keeps the attributes defined in both with equal values.
    void intersection(const ModelItemProperties& other);
    // Union; where both define an attribute, the right side wins.
    ModelItemProperties operator+(const ModelItemProperties& other) const;
    // The attributes of this set that other does not define with the same value.
    ModelItemProperties operator-(const ModelItemProperties& other) const;

    bool operator==(const ModelItemProperties& other) const;
    bool operator!=(const ModelItemProperties& other) const { return !(*this == other); }

    // Red, green, blue, each 0 to 255. Reading an undefined attribute returns
    // an unspecified value: callers test definesX() first.
    void setColor(const Vector<int>& rgb) { m_color = rgb; }
    void setColor(int red, int green, int blue) { m_color = Vector<int>{red, green, blue}; }
    Vector<int> getColor() const { return m_color.value_or(Vector<int>{0, 0, 0}); }
    bool definesColor() const { return m_color.has_value(); }

    void setLineWidth(float width) { m_lineWidth = width; }
    float getLineWidth() const { return m_lineWidth.value_or(0.0f); }
    bool definesLineWidth() const { return m_lineWidth.has_value(); }

    void setPointSize(float size) { m_pointSize = size; }
    float getPointSize() const { return m_pointSize.value_or(0.0f); }
    bool definesPointSize() const { return m_pointSize.has_value(); }

    void setVertexSymbol(VertexSymbol s) { m_vertexSymbol = s; }
    VertexSymbol getVertexSymbol() const { return m_vertexSymbol.value_or(VertexSymbol::Unknown); }
    bool definesVertexSymbol() const { return m_vertexSymbol.has_value(); }

    // Whether vertex symbols are drawn filled.
    void setFilled(bool flag) { m_filled = flag; }
    bool isFilled() const { return m_filled.value_or(false); }
    bool definesFilled() const { return m_filled.has_value(); }

    // Whether the items are shown in the 3D rendering.
    void setVisible(bool flag) { m_visible = flag; }
    bool isVisible() const { return m_visible.value_or(false); }
    bool definesVisible() const { return m_visible.has_value(); }

    // Exact, case-sensitive texts; an unmatched text gives the Unknown code.
    static std::string toString(VertexSymbol s);
    static VertexSymbol toVertexSymbol(const std::string& text);

private:
    std::optional<Vector<int>> m_color;
    std::optional<float> m_lineWidth;
    std::optional<float> m_pointSize;
    std::optional<VertexSymbol> m_vertexSymbol;
    std::optional<bool> m_filled;
    std::optional<bool> m_visible;
};

// One "name=value" entry per defined attribute, separated by blanks; "(none)"
// when nothing is defined.
std::ostream& operator<<(std::ostream& os, const ModelItemProperties& p);
