#pragma once
// DraftMesh: a coarse copy of a large triangle surface, drawn in its place
// while the camera moves on a software renderer, so that a surface of a
// million triangles keeps turning smoothly. The copy clusters the vertices
// on a regular grid (one vertex per occupied cell, at the mean position of
// the cell's vertices with their mean normal) and keeps the triangles whose
// corners fall in three different cells. Its cells are chosen from the
// surface's area so that the copy has about the asked number of triangles;
// every draft vertex lies within one cell diagonal of the surface.
//
// Whether the frame being drawn is a draft is one flag for the GUI thread,
// set by the canvas around its frame and read by the painters.
//
// No GL call here: the painters hand the arrays to GL.

#include <cstddef>
#include <vector>

class DraftMesh {
public:
    DraftMesh() = default;

    // Frames drawn while the camera moves on a software renderer.
    static bool isDraftFrame();
    static void setDraftFrame(bool draft);

    // Builds the copy of the triangles (index triples into the coordinate
    // array: `components` coordinates, 2 or 3, per vertex, `stride` floats
    // apart) with at most about `maxTriangles` triangles. normals (3 floats
    // per vertex, same indices) may be null: the copy's normals are then the
    // area-weighted normals of the original triangles. A surface of no area
    // gives an empty copy.
    void build(const float* coordinates, int components, int stride, const float* normals,
               const unsigned int* triangles, std::size_t numTriangles, std::size_t maxTriangles);
    void clear();

    bool isEmpty() const { return m_triangles.empty(); }
    std::size_t getNumTriangles() const { return m_triangles.size() / 3; }
    std::size_t getNumVertices() const { return m_positions.size() / 3; }
    // The cell edge of the last build.
    double getCellSize() const { return m_cell; }
    // 3 floats per vertex.
    const std::vector<float>& getPositions() const { return m_positions; }
    const std::vector<float>& getNormals() const { return m_normals; }
    // Index triples into the positions.
    const std::vector<unsigned int>& getTriangles() const { return m_triangles; }

private:
    bool cluster(const float* coordinates, int components, int stride, const float* normals,
                 const unsigned int* triangles, std::size_t numTriangles, const double lower[3]);

    std::vector<float> m_positions;
    std::vector<float> m_normals;
    std::vector<unsigned int> m_triangles;
    double m_cell = 0.0;
};
