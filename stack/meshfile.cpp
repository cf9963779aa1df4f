#include "stack/meshfile.h"

#include "geometry/curvestack.h"
#include "geometry/quadmesh.h"
#include "geometry/vertexserver.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/stackreconstruction.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <locale>
#include <ostream>
#include <unordered_map>

namespace {

const char* const writeWhere = "void MeshFile::write(ostream&, Format, const vector<Part>&)";

// Quad meshes beyond this many vertices are refused (as the exporter does).
constexpr std::uint64_t maxMeshVertices = std::uint64_t(1) << 24;

// Little-endian bytes of a value.
template <typename T>
void putLittle(std::string& out, T value)
{
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
        for (std::size_t a = 0, b = sizeof(T) - 1; a < b; ++a, --b)
            std::swap(bytes[a], bytes[b]);
    out.append(reinterpret_cast<const char*>(bytes), sizeof(T));
}

using Corner = std::array<float, 3>;

Corner corner(const VertexServer<float>& server, unsigned int slot)
{
    const Vector<float>& v = server[static_cast<int>(slot)];
    return {v[0], v[1], v[2]};
}

Corner unitNormal(const Corner& a, const Corner& b, const Corner& c)
{
    const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double v[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0.0))
        return {0.0f, 0.0f, 0.0f};
    return {float(n[0] / length), float(n[1] / length), float(n[2] / length)};
}

// A part's vertices in list order, and its triangles as positions in that
// list (triangles name slots of the vertex pool).
struct Indexed {
    std::vector<Corner> vertices;
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

Indexed indexed(const TriMesh<float>& mesh)
{
    Indexed out;
    if (!mesh.hasServer())
        return out;
    const VertexServer<float>& server = *mesh.getServer();
    std::unordered_map<unsigned int, std::uint32_t> position;
    const int n = mesh.getNumVertices();
    out.vertices.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const auto slot = static_cast<unsigned int>(mesh.getIndex(i));
        position.emplace(slot, static_cast<std::uint32_t>(out.vertices.size()));
        out.vertices.push_back(corner(server, slot));
    }
    out.triangles.reserve(static_cast<std::size_t>(mesh.getNumTriangles()));
    for (int t = 0; t < mesh.getNumTriangles(); ++t) {
        std::array<std::uint32_t, 3> triangle{};
        const auto& slots = mesh.triangleIndexes(static_cast<unsigned int>(t));
        for (int k = 0; k < 3; ++k) {
            auto found = position.find(slots[static_cast<std::size_t>(k)]);
            if (found == position.end()) {
                // A slot outside the list: written as a vertex of its own.
                found = position.emplace(slots[static_cast<std::size_t>(k)],
                                         static_cast<std::uint32_t>(out.vertices.size()))
                            .first;
                out.vertices.push_back(corner(server, slots[static_cast<std::size_t>(k)]));
            }
            triangle[static_cast<std::size_t>(k)] = found->second;
        }
        out.triangles.push_back(triangle);
    }
    return out;
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The shortest text that reads back as the same float.
std::string shortest(float value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// One line of text: names end at a line break.
std::string oneLine(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (c == '\n' || c == '\r')
            c = ' ';
    return out;
}

} // namespace

std::uint64_t MeshFile::asciiStlBytes(std::uint64_t triangles)
{
    // "  facet normal" and three numbers of at most 13 characters, "outer
    // loop", three vertex lines, "endloop", "endfacet": 260 bytes at most.
    return 64 + 260 * triangles;
}

MeshFile::Format MeshFile::formatOf(const std::string& file, bool binary, std::uint64_t triangles)
{
    const std::string extension = lower(std::filesystem::path(file).extension().string());
    if (extension == ".stl")
        return binary || asciiStlBytes(triangles) > asciiStlLimit ? Format::BinaryStl : Format::AsciiStl;
    if (extension == ".ply")
        return Format::Ply;
    if (extension == ".obj")
        return Format::Obj;
    if (extension == ".tm")
        return Format::TriMeshText;
    throw ValueError("static Format MeshFile::formatOf(const string&, bool, uint64_t)",
                     "Mesh files end in .stl, .ply, .obj or .tm, not \"" + file + "\"");
}

void MeshFile::write(std::ostream& stream, Format format, const std::vector<Part>& parts)
{
    const std::locale previous = stream.imbue(std::locale::classic());
    std::uint64_t total = 0, done = 0;
    for (const Part& part : parts)
        total += static_cast<std::uint64_t>(part.mesh->getNumTriangles());
    notifyStarted("Writing the surface...");
    auto progressed = [&](std::uint64_t more) {
        done += more;
        if (total > 0)
            notifyProgressed(static_cast<unsigned>(done * 1000 / total), 1000);
    };
    constexpr std::uint64_t chunk = 1 << 14;

    switch (format) {
    case Format::TriMeshText:
        if (parts.size() != 1)
            throw ValueError(writeWhere, "A mesh file holds one mesh");
        parts.front().mesh->write(stream);
        break;
    case Format::AsciiStl:
        for (const Part& part : parts) {
            TriMesh<float> named(*part.mesh);
            named.setName(oneLine(part.name));
            named.export2AsciiSTL(stream);
            progressed(static_cast<std::uint64_t>(part.mesh->getNumTriangles()));
        }
        break;
    case Format::BinaryStl: {
        std::string header = "binary STL";
        for (const Part& part : parts)
            header += " " + oneLine(part.name);
        header.resize(80, ' ');
        if (header.compare(0, 5, "solid") == 0)
            header[0] = 'S';
        if (total > UINT32_MAX)
            throw ValueError(writeWhere, "A binary STL file holds at most 2^32 - 1 triangles");
        std::string out = header;
        putLittle(out, static_cast<std::uint32_t>(total));
        stream.write(out.data(), static_cast<std::streamsize>(out.size()));
        for (const Part& part : parts) {
            if (!part.mesh->hasServer())
                continue;
            const VertexServer<float>& server = *part.mesh->getServer();
            out.clear();
            for (int t = 0; t < part.mesh->getNumTriangles(); ++t) {
                const auto& slots = part.mesh->triangleIndexes(static_cast<unsigned int>(t));
                const Corner a = corner(server, slots[0]), b = corner(server, slots[1]), c = corner(server, slots[2]);
                for (const Corner& p : {unitNormal(a, b, c), a, b, c})
                    for (const float x : p)
                        putLittle(out, x);
                putLittle(out, std::uint16_t(0));
                if (out.size() >= 50 * chunk) {
                    stream.write(out.data(), static_cast<std::streamsize>(out.size()));
                    progressed(out.size() / 50);
                    out.clear();
                }
            }
            stream.write(out.data(), static_cast<std::streamsize>(out.size()));
            progressed(out.size() / 50);
        }
        break;
    }
    case Format::Ply: {
        std::vector<Indexed> all;
        std::uint64_t vertices = 0, faces = 0;
        for (const Part& part : parts) {
            all.push_back(indexed(*part.mesh));
            vertices += all.back().vertices.size();
            faces += all.back().triangles.size();
        }
        if (vertices > INT32_MAX)
            throw ValueError(writeWhere, "A PLY file holds at most 2^31 - 1 vertices");
        std::string head = "ply\nformat binary_little_endian 1.0\ncomment written by Plexan\n";
        std::uint64_t firstVertex = 0, firstFace = 0;
        for (std::size_t p = 0; p < parts.size(); ++p) {
            head += "comment part \"" + oneLine(parts[p].name) + "\" vertices " + std::to_string(firstVertex) +
                    " to " + std::to_string(firstVertex + all[p].vertices.size()) + " faces " +
                    std::to_string(firstFace) + " to " + std::to_string(firstFace + all[p].triangles.size()) + "\n";
            firstVertex += all[p].vertices.size();
            firstFace += all[p].triangles.size();
        }
        head += "element vertex " + std::to_string(vertices) +
                "\nproperty float x\nproperty float y\nproperty float z\n"
                "property uchar red\nproperty uchar green\nproperty uchar blue\n"
                "element face " +
                std::to_string(faces) + "\nproperty list uchar int vertex_indices\nend_header\n";
        stream.write(head.data(), static_cast<std::streamsize>(head.size()));
        std::string out;
        for (std::size_t p = 0; p < parts.size(); ++p)
            for (const Corner& v : all[p].vertices) {
                for (const float x : v)
                    putLittle(out, x);
                out.append(reinterpret_cast<const char*>(parts[p].colour.data()), 3);
                if (out.size() >= 15 * chunk) {
                    stream.write(out.data(), static_cast<std::streamsize>(out.size()));
                    out.clear();
                }
            }
        std::uint32_t offset = 0;
        for (std::size_t p = 0; p < parts.size(); ++p) {
            for (const auto& t : all[p].triangles) {
                out.push_back(3);
                for (const std::uint32_t i : t)
                    putLittle(out, static_cast<std::int32_t>(i + offset));
                if (out.size() >= 13 * chunk) {
                    stream.write(out.data(), static_cast<std::streamsize>(out.size()));
                    progressed(out.size() / 13);
                    out.clear();
                }
            }
            offset += static_cast<std::uint32_t>(all[p].vertices.size());
        }
        stream.write(out.data(), static_cast<std::streamsize>(out.size()));
        progressed(out.size() / 13);
        break;
    }
    case Format::Obj: {
        stream << "# written by Plexan\n";
        std::uint64_t offset = 1;
        for (const Part& part : parts) {
            const Indexed mesh = indexed(*part.mesh);
            stream << "o " << oneLine(part.name.empty() ? std::string("surface") : part.name) << '\n';
            for (const Corner& v : mesh.vertices)
                stream << "v " << shortest(v[0]) << ' ' << shortest(v[1]) << ' ' << shortest(v[2]) << '\n';
            std::uint64_t count = 0;
            for (const auto& t : mesh.triangles) {
                stream << "f " << t[0] + offset << ' ' << t[1] + offset << ' ' << t[2] + offset << '\n';
                if (++count % chunk == 0)
                    progressed(chunk);
            }
            progressed(count % chunk);
            offset += mesh.vertices.size();
        }
        break;
    }
    }
    stream.flush();
    stream.imbue(previous);
    notifyFinished("");
    if (!stream)
        throw FileWriteError(writeWhere, "Cannot write the mesh");
}

std::unique_ptr<TriMesh<float>> MeshFile::modelSurface(const Model& model,
                                                       const StackReconstruction<float>& reconstruction,
                                                       std::unique_ptr<QuadMesh<float>>* quads)
{
    if (model.getGeometry() == MPrimitive::Polypoint)
        return nullptr;
    const std::unique_ptr<VertexStack<float>> levels = reconstruction.apply(model);
    const auto* contours = dynamic_cast<const CurveStack<float>*>(levels.get());
    if (!contours || contours->getHeight() == 0 || contours->isBranching())
        return nullptr;
    const ModelProperties& p = model.getProperties();
    const unsigned int width = p.getQuadMeshWidth();
    const unsigned int height = model.getNumItems() > 1 ? p.getQuadMeshHeight() : 1u;
    if (std::uint64_t(width) * height > maxMeshVertices)
        throw SizeError("static unique_ptr<TriMesh<float>> MeshFile::modelSurface(...)",
                        "Resampling grid is too large");
    auto mesh = std::make_unique<QuadMesh<float>>(contours->resample(static_cast<int>(height), static_cast<int>(width)));
    auto triangles = std::make_unique<TriMesh<float>>(mesh->toTriMesh());
    triangles->setName(model.getName());
    if (quads)
        *quads = std::move(mesh);
    return triangles;
}
