#pragma once
// BoundingBoxPainterGL<T>: draws a box as its twelve edges, unlit, in one
// colour (RGB, 0 .. 255) and line width, when active.

#include "gl/paintergl.h"
#include "numerics/vector.h"

template <typename T>
class BoundingBoxPainterGL : public PainterGL<T> {
public:
    BoundingBoxPainterGL();

    BoundingBox<T> boundingBox() const override { return m_box; }
    // The lower and the upper face as line loops, the vertical edges as
    // lines; nothing when inactive or for a box that is not 3-D.
    void glDraw() override;

    void setBoundingBox(const BoundingBox<T>& box) { m_box = box; }
    const BoundingBox<T>& getBoundingBox() const { return m_box; }
    void setColor(const Vector<int>& rgb) { m_color = rgb; }
    const Vector<int>& getColor() const { return m_color; }
    void setLineWidth(float width) { m_lineWidth = width; }
    float getLineWidth() const { return m_lineWidth; }
    void setActive(bool active) { m_active = active; }
    bool isActive() const { return m_active; }

private:
    BoundingBox<T> m_box;
    Vector<int> m_color;
    float m_lineWidth = 1.0f;
    bool m_active = true;
};

extern template class BoundingBoxPainterGL<float>;
extern template class BoundingBoxPainterGL<double>;
extern template class BoundingBoxPainterGL<long double>;
