#pragma once
// WMConverter: converts between the pixels of a view ("world": the widget
// showing a slice) and the pixels of the slice image ("model"), given the
// rectangle each occupies. The first and last pixels of the two rectangles
// correspond: coordinates scale by (size - 1) ratios, lengths by size ratios.
// Rectangles narrower than 2 pixels convert every coordinate to their origin.

#include "geometry/boundingbox.h"
#include "geometry/vertices.h"
#include "stack/registration.h"

#include <iostream>
#include <string>

class WMConverter {
public:
    WMConverter() = default;

    void setWorld(int x, int y, int width, int height);
    void setModel(int x, int y, int width, int height);
    int getWorldX() const { return m_worldX; }
    int getWorldY() const { return m_worldY; }
    int getWorldWidth() const { return m_worldWidth; }
    int getWorldHeight() const { return m_worldHeight; }
    int getModelX() const { return m_modelX; }
    int getModelY() const { return m_modelY; }
    int getModelWidth() const { return m_modelWidth; }
    int getModelHeight() const { return m_modelHeight; }

    int xToModel(int x) const;
    int yToModel(int y) const;
    int xToWorld(int x) const;
    int yToWorld(int y) const;

    // Coordinate by coordinate (x first, then y).
    Vector<int> toModel(const Vector<int>& p) const;
    Vector<int> toWorld(const Vector<int>& p) const;
    BoundingBox<int> toModel(const BoundingBox<int>& box) const;
    BoundingBox<int> toWorld(const BoundingBox<int>& box) const;
    // The shifts convert as coordinates; the angle is kept.
    Registration toModel(const Registration& r) const;
    Registration toWorld(const Registration& r) const;
    // New vertex lists on pools of their own.
    Vertices<int> toModel(const Vertices<int>& v) const;
    Vertices<int> toWorld(const Vertices<int>& v) const;

    // Horizontal lengths, in unsigned integer division (0 for an empty rectangle).
    unsigned int lengthToModel(unsigned int l) const;
    unsigned int lengthToWorld(unsigned int l) const;

    void print(const std::string& title = "", std::ostream& stream = std::cout) const;

private:
    int m_worldX = 0, m_worldY = 0, m_worldWidth = 0, m_worldHeight = 0;
    int m_modelX = 0, m_modelY = 0, m_modelWidth = 0, m_modelHeight = 0;
};
