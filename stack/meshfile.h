#pragma once
// MeshFile: triangle meshes in the files other programs read, one or more
// named parts per file, each with a colour:
// - STL, ASCII ("solid NAME" ... "endsolid NAME", one solid per part) or
//   binary (an 80-byte header, the triangle count, then per triangle its unit
//   normal, three vertices as 32-bit floats and a 16-bit zero; parts follow
//   one another). ASCII unless asked otherwise or the ASCII file would exceed
//   50 MB (about 200,000 triangles).
// - PLY, binary little-endian: vertices x, y, z (floats) and red, green,
//   blue (bytes, the part's colour), faces as lists of three vertex indices;
//   one comment line per part names it and its vertex and face ranges.
// - OBJ, text: "o NAME" per part, "v x y z" vertices and "f a b c" faces
//   (indices from 1, counted over the whole file), normals left to the
//   reader. Colours are not written.
// - The mesh file of TriMesh::write (".tm"; one part).
// Every format keeps the coordinates as given: the isosurface and the model
// surfaces are both in the stack's frame (StackReconstruction), so files of
// one specimen made either way superpose.

#include "geometry/trimesh.h"
#include "numerics/progresssubject.h"

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class Model;
template <typename T> class QuadMesh;
template <typename T> class StackReconstruction;

class MeshFile : public virtual ProgressSubject {
public:
    enum class Format { AsciiStl, BinaryStl, Ply, Obj, TriMeshText };

    struct Part {
        const TriMesh<float>* mesh = nullptr;
        std::string name;
        std::array<unsigned char, 3> colour{200, 200, 200};
    };

    // ASCII STL files beyond this many bytes are written in binary.
    static constexpr std::uint64_t asciiStlLimit = 50'000'000;

    // The format of a file name's extension (".stl", ".ply", ".obj", ".tm");
    // an STL file is binary when asked or when its ASCII form would exceed
    // the limit. ValueError for another extension.
    static Format formatOf(const std::string& file, bool binary, std::uint64_t triangles);
    // The length of an ASCII STL file of that many triangles, at most (every
    // number in its longest form).
    static std::uint64_t asciiStlBytes(std::uint64_t triangles);

    // Writes the parts to stream (opened in binary mode for the binary
    // formats). FileWriteError when the stream fails; ValueError for
    // TriMeshText with more than one part. Progress: triangles written.
    void write(std::ostream& stream, Format format, const std::vector<Part>& parts);

    // The surface the stack exporter makes of a model (one closed quad mesh
    // resampled from its contours, cut into triangles), in the stack's
    // frame; null for models the exporter skips (points, no contour,
    // branching). quads receives the quad mesh when given.
    static std::unique_ptr<TriMesh<float>> modelSurface(const Model& model,
                                                        const StackReconstruction<float>& reconstruction,
                                                        std::unique_ptr<QuadMesh<float>>* quads = nullptr);
};
