// plexan-cli isosurface: the isosurface of a volume as a triangle mesh.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/pendingfile.h"
#include "geometry/trimesh.h"
#include "geometry/vertexserver.h"
#include "image/voxelmatrix.h"
#include "imageprocessing/marchingcubes.h"
#include "numerics/exception.h"
#include "stack/morphometrytable.h"

#include <filesystem>
#include <fstream>
#include <locale>

namespace {

using Cell = MorphometryTable::Cell;

// The mesh in lengths and the unit of those lengths.
struct Surface {
    TriMesh<float> mesh;
    LengthUnit unit;
};

// Drops the triangles of no area: where the volume equals the level at a
// voxel, several cube edges meet the surface at that very voxel and the
// triangles between those points collapse. They add nothing to the surface
// and leave undefined normals in the files.
void dropFlatTriangles(TriMesh<float>& mesh)
{
    if (!mesh.hasServer())
        return;
    // Triangles name slots of the vertex pool.
    const VertexServer<float>& server = *mesh.getServer();
    std::vector<Vector<unsigned int>> kept;
    kept.reserve(static_cast<std::size_t>(mesh.getNumTriangles()));
    for (int t = 0; t < mesh.getNumTriangles(); ++t) {
        const auto& corners = mesh.triangleIndexes(static_cast<unsigned int>(t));
        double p[3][3];
        for (int k = 0; k < 3; ++k) {
            const Vector<float>& v = server[static_cast<int>(corners[static_cast<std::size_t>(k)])];
            for (int a = 0; a < 3; ++a)
                p[k][a] = v[a];
        }
        const double u[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        const double w[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        if (n[0] != 0.0 || n[1] != 0.0 || n[2] != 0.0)
            kept.push_back(Vector<unsigned int>{corners[0], corners[1], corners[2]});
    }
    if (static_cast<int>(kept.size()) != mesh.getNumTriangles())
        mesh.setTriangles(kept);
}

template <typename T>
Surface extract(const VoxelMatrix<T>& volume, double iso, bool closed)
{
    Surface surface{MarchingCubes<T>().buildMesh(volume, static_cast<T>(iso), closed),
                    volume.getVoxelCalibration().getLengthUnit()};
    // Voxel indices (row, column, plane) to lengths; the normals follow.
    const VoxelCalibration& c = volume.getVoxelCalibration();
    surface.mesh.scale(Vector<float>{c.getVoxelHeight(), c.getVoxelWidth(), c.getVoxelDepth()});
    dropFlatTriangles(surface.mesh);
    surface.mesh.computeNormals();
    return surface;
}

Surface extract(const std::string& file, double iso, bool closed)
{
    switch (voxelType(file)) {
    case VoxelType::Float:
        return extract(loadVolume<float>(file), iso, closed);
    case VoxelType::Double:
        return extract(loadVolume<double>(file), iso, closed);
    case VoxelType::Int:
        return extract(loadVolume<int>(file), iso, closed);
    case VoxelType::LongDouble:
        return extract(loadVolume<long double>(file), iso, closed);
    case VoxelType::UnsignedInt:
        break;
    }
    // Marching cubes takes no unsigned voxels: their values fit a double.
    const VoxelMatrix<unsigned int> volume = loadVolume<unsigned int>(file);
    VoxelMatrix<double> values = volume.toType<double>();
    values.setVoxelCalibration(volume.getVoxelCalibration());
    return extract(values, iso, closed);
}

class IsosurfaceCommand : public Command {
public:
    std::string getName() const override { return "isosurface"; }
    std::string getUsage() const override { return "VOLUME.vm --iso V [--open] -o OUT.stl|OUT.tm"; }
    std::string getSummary() const override { return "extract an isosurface of a volume (marching cubes)"; }
    std::string getHelp() const override
    {
        return "Extracts the surface where the volume crosses the level V (values at or above V\n"
               "are inside) by topologically consistent marching cubes, scales it by the voxel\n"
               "size and writes it as ASCII STL (OUT.stl) or as a Plexan mesh file (OUT.tm).\n"
               "Vertex coordinates are (row, column, plane) positions times the voxel height,\n"
               "width and depth, in the volume's length unit. The surface is closed at the\n"
               "volume's border unless --open is given. Triangles of no area (where voxels\n"
               "equal V exactly) are left out. Prints the mesh's vertex and triangle counts,\n"
               "area and enclosed volume (NA for an open surface, which encloses none).\n\n"
               "Options:\n"
               "  --iso V     the level (required)\n"
               "  --open      leave the surface open where it meets the border\n"
               "  -o FILE     the output, .stl or .tm (required)\n\n"
               "Example:\n"
               "  plexan-cli isosurface out/sample.vm --iso 80 -o out/organ.stl\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(1, 1);
        arguments.addOption("--iso");
        arguments.addOption("-o");
        arguments.addFlag("--open");
    }
    int run(const Arguments& arguments, CommandContext& context) const override;
};

int IsosurfaceCommand::run(const Arguments& arguments, CommandContext& context) const
{
    if (!arguments.has("--iso"))
        throw ArgumentError("missing --iso V");
    if (!arguments.has("-o"))
        throw ArgumentError("missing -o OUT.stl|OUT.tm");
    const double iso = Arguments::toReal(arguments.value("--iso"), "--iso");
    const std::string output = arguments.value("-o");
    checkExtension(output, {OutputKind::Stl, OutputKind::TriMesh}, "-o");
    const bool stl = std::filesystem::path(output).extension() == ".stl";
    const bool open = arguments.has("--open");
    const std::string file = arguments.positional(0);
    InputFiles inputs;
    inputs.add(file);
    checkOutput(output, stl ? OutputKind::Stl : OutputKind::TriMesh, inputs);

    Surface surface = extract(file, iso, !open);
    TriMesh<float>& mesh = surface.mesh;
    mesh.setName(std::filesystem::path(output).stem().string());

    {
        PendingFile pending(output);
        std::ofstream stream(pending.getPath(), std::ios::out | std::ios::trunc);
        stream.imbue(std::locale::classic());
        if (stl)
            mesh.export2AsciiSTL(stream);
        else
            mesh.write(stream);
        stream.close();
        if (!stream)
            throw FileWriteError("plexan-cli isosurface", "Cannot write file", output);
        pending.commit();
    }

    MorphometryTable summary({"file", "vertices", "triangles", MorphometryTable::header("area", surface.unit, 2),
                              MorphometryTable::header("volume", surface.unit, 3)});
    summary.addRow({Cell::text(output), Cell::integer(mesh.getNumVertices()), Cell::integer(mesh.getNumTriangles()),
                    Cell::real(mesh.area()), open ? Cell::missing() : Cell::real(mesh.volume())});
    summary.writeTsv(context.out);
    return 0;
}

} // namespace

std::unique_ptr<Command> makeIsosurfaceCommand()
{
    return std::make_unique<IsosurfaceCommand>();
}
