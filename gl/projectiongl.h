#pragma once
// ProjectionGL: how the 3D view projects: perspective (the default) or
// orthographic, and for perspective a strength from 1 (mild) upward: the
// eye lies (7 - strength) view radii from the scene's centre.

class ProjectionGL {
public:
    void setPerspective() { m_perspective = true; }
    void setOrthographic() { m_perspective = false; }
    bool isPerspective() const { return m_perspective; }
    bool isOrthographic() const { return !m_perspective; }
    void setPerspectiveStrength(float strength) { m_strength = strength; }
    float getPerspectiveStrength() const { return m_strength; }

    bool operator==(const ProjectionGL& other) const
    {
        return m_perspective == other.m_perspective && m_strength == other.m_strength;
    }
    bool operator!=(const ProjectionGL& other) const { return !(*this == other); }

private:
    bool m_perspective = true;
    float m_strength = 1.0f;
};
