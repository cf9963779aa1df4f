#pragma once
// Pose: a saved 3D viewpoint of a stack's rendering: rotation about the x, y
// and z axes (degrees), translation, zoom (percent) and the three light
// intensities. Poses are listed and owned by their stack (see PoseOwner).

#include "numerics/vector.h"

#include <string>

class Stack;

class Pose {
public:
    Pose();

    void setName(const std::string& name) { m_name = name; }
    const std::string& getName() const { return m_name; }
    void setStack(Stack* stack) { m_stack = stack; }
    Stack* getStack() const { return m_stack; }

    // Rotation in whole degrees about x, y and z; read back truncated toward zero.
    void setRotation(int x, int y, int z);
    void setRotation(const Vector<int>& xyz) { setRotation(xyz[0], xyz[1], xyz[2]); }
    Vector<int> getRotation() const { return m_rotation.toType<int>(); }

    void setTranslation(int x, int y) { m_translation = Vector<int>{x, y}; }
    void setTranslation(const Vector<int>& xy) { setTranslation(xy[0], xy[1]); }
    const Vector<int>& getTranslation() const { return m_translation; }

    void setZoom(int zoom) { m_zoom = zoom; }
    int getZoom() const { return m_zoom; }
    void setAmbientLight(int value) { m_ambientLight = value; }
    int getAmbientLight() const { return m_ambientLight; }
    void setDiffuseLight(int value) { m_diffuseLight = value; }
    int getDiffuseLight() const { return m_diffuseLight; }
    void setSpecularLight(int value) { m_specularLight = value; }
    int getSpecularLight() const { return m_specularLight; }

    // Adds this pose to its stack's list (no effect without a stack or when
    // already listed); detach() removes it without deleting it.
    void attach();
    void detach();

    // Fresh poses looking along the stack's main axes.
    static Pose canonicalPose1();        // y = 180
    static Pose canonicalPose2();        // y = 90
    static Pose canonicalPose3();        // x = 90
    static Pose reverseCanonicalPose1(); // no rotation
    static Pose reverseCanonicalPose2(); // y = -90
    static Pose reverseCanonicalPose3(); // x = -90

private:
    std::string m_name;
    Stack* m_stack = nullptr;
    Vector<float> m_rotation;
    Vector<int> m_translation;
    int m_zoom = 100;
    int m_ambientLight = 0;
    int m_diffuseLight = 0;
    int m_specularLight = 0;
};
