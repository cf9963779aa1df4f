#pragma once
// Helpers shared by the painters' .cpp files: coordinates handed to OpenGL
// as vertex arrays, so that large shapes go to the driver in a few calls
// instead of one call per vertex. Coordinates are read from the vertex pool
// in place when the pool holds them as contiguous floats, and otherwise
// converted into a scratch buffer the caller keeps between frames.
// Internal to the painters: no GL header here, the calls are made in
// vertexarraygl.cpp.

#include "geometry/vertices.h"

#include <vector>

namespace plexan::gl {

// The first `count` slots of a pool as GL coordinates: data, components
// per vertex (2 or 3) and the stride between vertices in floats. Points into
// the pool itself when possible, else into scratch.
struct CoordinateArray {
    const float* data = nullptr;
    int components = 3;
    int stride = 3;
};

template <typename T>
CoordinateArray poolCoordinates(const VertexServer<T>& server, int count, std::vector<float>& scratch);
// The list's vertices in list order, in scratch (3 components; missing
// coordinates are 0).
template <typename T>
void packList(const Vertices<T>& list, std::vector<float>& scratch);

// Draws the list's vertices as one primitive of the given GL mode (GL_POINTS,
// GL_LINE_STRIP, GL_LINE_LOOP), vertex arrays only: the pool in place with
// the list's indices when the pool allows, else the packed list.
template <typename T>
void drawList(const Vertices<T>& list, unsigned int mode, std::vector<float>& scratch);

} // namespace plexan::gl
