#pragma once
// BackgroundGL: what the 3D view shows behind the scene: a uniform colour
// (RGB, 0 .. 255), or a vertical gradient from a third of the colour at the
// bottom to the colour at the top.

#include "numerics/vector.h"

class BackgroundGL {
public:
    // A dark blue-grey gradient.
    BackgroundGL() : m_color{70, 70, 100} {}
    BackgroundGL(const Vector<int>& rgb, bool gradient) : m_color(rgb), m_gradient(gradient) {}

    const Vector<int>& getColor() const { return m_color; }
    void setColor(const Vector<int>& rgb) { m_color = rgb; }
    bool hasGradient() const { return m_gradient; }
    void setGradient(bool gradient) { m_gradient = gradient; }

    bool operator==(const BackgroundGL& other) const;
    bool operator!=(const BackgroundGL& other) const { return !(*this == other); }

    // Clears the view (colour and depth) to the background. The gradient is
    // drawn unlit and without depth writes under an orthographic projection
    // of its own; the caller's projection, lighting and depth writes are
    // restored.
    void glDraw() const;

private:
    Vector<int> m_color;
    bool m_gradient = true;
};
