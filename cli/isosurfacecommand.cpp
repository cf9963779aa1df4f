// plexan-cli isosurface: the isosurface of a volume as a triangle mesh.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/meshoutput.h"
#include "cli/pendingfile.h"
#include "cli/terminalprogress.h"
#include "geometry/trimesh.h"
#include "geometry/vertexserver.h"
#include "image/anyvoxelmatrix.h"
#include "image/voxelmatrix.h"
#include "imageprocessing/marchingcubes.h"
#include "numerics/exception.h"
#include "stack/morphometrytable.h"

#include <cmath>
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

// The volume's frame, which the stack's is (StackReconstruction): x along
// the columns and y up the rows, both from the plane's centre, z across the
// planes from plane 0; in lengths.
void toStackFrame(TriMesh<float>& mesh, const VoxelCalibration& c, int rows, int columns)
{
    const float w = c.getVoxelWidth(), h = c.getVoxelHeight(), d = c.getVoxelDepth();
    const float i0 = 0.5f * static_cast<float>(rows), j0 = 0.5f * static_cast<float>(columns);
    for (int v = 0; v < mesh.getNumVertices(); ++v) {
        Vector<float>& p = mesh[v];
        const float i = p[0], j = p[1], k = p[2];
        p[0] = w * (j - j0);
        p[1] = -h * (i - i0);
        p[2] = d * k;
    }
}

// Closed on the volume's faces, or open there.
template <typename T>
Surface extract(const VoxelMatrix<T>& volume, double iso, bool open)
{
    using Border = typename MarchingCubes<T>::Border;
    Surface surface{MarchingCubes<T>().buildMesh(volume, static_cast<T>(iso), open ? Border::Open : Border::Faces),
                    volume.getVoxelCalibration().getLengthUnit()};
    toStackFrame(surface.mesh, volume.getVoxelCalibration(), volume.getSize1(), volume.getSize2());
    dropFlatTriangles(surface.mesh);
    surface.mesh.computeNormals();
    return surface;
}

// Marching cubes runs on ints, floats, doubles and long doubles: smaller
// integers become floats and unsigned ints doubles, exactly. A level that is
// no integer (or beyond the ints) makes int voxels doubles too: cast to an
// int, 0.5 would become 0 and put every voxel of value 0 inside.
Surface extract(const AnyVoxelMatrix& volume, double iso, bool open)
{
    const bool integralLevel = iso == std::floor(iso) && iso >= -2147483648.0 && iso <= 2147483647.0;
    switch (volume.getType()) {
    case AnyVoxelMatrix::Type::Int:
        if (!integralLevel)
            return extract(volume.toType<double>(), iso, open);
        return extract(*volume.get<int>(), iso, open);
    case AnyVoxelMatrix::Type::Float:
        return extract(*volume.get<float>(), iso, open);
    case AnyVoxelMatrix::Type::Double:
        return extract(*volume.get<double>(), iso, open);
    case AnyVoxelMatrix::Type::LongDouble:
        return extract(*volume.get<long double>(), iso, open);
    case AnyVoxelMatrix::Type::UnsignedInt:
        return extract(volume.toType<double>(), iso, open);
    default:
        return extract(volume.toType<float>(), iso, open);
    }
}

class IsosurfaceCommand : public Command {
public:
    std::string getName() const override { return "isosurface"; }
    std::string getUsage() const override
    {
        return "VOLUME.vm --iso V [--open] -o OUT.stl|OUT.ply|OUT.obj|OUT.tm [--binary] [--color R,G,B]";
    }
    std::string getSummary() const override { return "extract an isosurface of a volume (marching cubes)"; }
    std::string getHelp() const override
    {
        return "Extracts the surface where the volume crosses the level V (values at or above V\n"
               "are inside) by topologically consistent marching cubes, scales it by the voxel\n"
               "size and writes it as STL (OUT.stl: ASCII, binary with --binary or beyond\n"
               "50 MB), PLY (OUT.ply, binary, with vertex colours), OBJ (OUT.obj) or a Plexan\n"
               "mesh file (OUT.tm). Coordinates are in the stack's frame, in the volume's\n"
               "length unit: x = voxel width x (column - columns/2), y = voxel height x\n"
               "(rows/2 - row), z = voxel depth x plane, so the surface of a volume made by\n"
               "stack-to-volume (or imported) superposes on the surfaces export-stl writes for\n"
               "the stack's models. Where the inside meets the volume's border, the surface is\n"
               "closed on the volume's faces (the planes through its first and last rows,\n"
               "columns and planes), so a volume all inside encloses (rows - 1)(columns - 1)\n"
               "(planes - 1) voxels; --open leaves it open there. Triangles of no area (where\n"
               "voxels equal V exactly) are left out.\n"
               "Prints the mesh's vertex and triangle counts, area and enclosed volume (NA for\n"
               "an open surface, which encloses none).\n\n"
               "Options:\n"
               "  --iso V          the level (required)\n"
               "  --open           leave the surface open where it meets the border\n"
               "  -o FILE          the output, .stl, .ply, .obj or .tm (required)\n"
               "  --binary         binary STL whatever its size\n"
               "  --color R,G,B    the PLY vertex colour, 0 to 255 each (default 200,200,200)\n\n"
               "Example:\n"
               "  plexan-cli isosurface out/sample.vm --iso 80 -o out/organ.stl\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(1, 1);
        arguments.addOption("--iso");
        arguments.addOption("-o");
        arguments.addFlag("--open");
        arguments.addFlag("--binary");
        arguments.addOption("--color");
    }
    int run(const Arguments& arguments, CommandContext& context) const override;
};

int IsosurfaceCommand::run(const Arguments& arguments, CommandContext& context) const
{
    if (!arguments.has("--iso"))
        throw ArgumentError("missing --iso V");
    if (!arguments.has("-o"))
        throw ArgumentError("missing -o OUT.stl|OUT.ply|OUT.obj|OUT.tm");
    const double iso = Arguments::toReal(arguments.value("--iso"), "--iso");
    const std::string output = arguments.value("-o");
    checkExtension(output, {OutputKind::Stl, OutputKind::Ply, OutputKind::Obj, OutputKind::TriMesh}, "-o");
    const std::array<unsigned char, 3> colour = meshColour(arguments);
    const bool open = arguments.has("--open");
    const std::string file = arguments.positional(0);
    InputFiles inputs;
    inputs.add(file);
    checkOutput(output, meshKind(output), inputs);

    const AnyVoxelMatrix volume = loadAnyVolume(file);
    ProgressSubject extraction;
    extraction.addMonitor(context.progress);
    extraction.notifyStarted("Extracting the isosurface...");
    Surface surface = extract(volume, iso, open);
    extraction.notifyFinished("");
    extraction.removeMonitor(context.progress);
    TriMesh<float>& mesh = surface.mesh;
    const std::string name = std::filesystem::path(output).stem().string();
    mesh.setName(name);
    writeMesh(output, {{&mesh, name, colour}}, arguments.has("--binary"), context);

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
