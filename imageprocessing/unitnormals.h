#pragma once
// Unit vertex normals from their sums, a block of vertices at a time, in
// plain loops that the optimised builds run on whole vector registers: the
// square root and the three divisions of a vertex dominate, and a vector unit
// takes several at once. Every step is one IEEE operation rounded once, in
// the order of the scalar code of TriMesh::computeNormals, so the results are
// the same to the bit.
//
// Internal to the image processing library: included by its .cpp files only.

#include <cstddef>

namespace plexan::mc {

// The n vertex normals out[3 v .. 3 v + 2], in float, of the normal sums
// sums[3 v .. 3 v + 2]: each sum divided by its length, or 0 where the
// length is not positive.
void normaliseSums(const double* sums, float* out, std::size_t n);

} // namespace plexan::mc
