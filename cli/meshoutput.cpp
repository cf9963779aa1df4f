#include "cli/meshoutput.h"

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/pendingfile.h"
#include "cli/terminalprogress.h"
#include "numerics/exception.h"

#include <cmath>
#include <filesystem>
#include <fstream>

OutputKind meshKind(const std::string& file)
{
    const std::string extension = std::filesystem::path(file).extension().string();
    return extension == ".ply"   ? OutputKind::Ply
           : extension == ".obj" ? OutputKind::Obj
           : extension == ".tm"  ? OutputKind::TriMesh
                                 : OutputKind::Stl;
}

std::array<unsigned char, 3> meshColour(const Arguments& arguments)
{
    if (!arguments.has("--color"))
        return {200, 200, 200};
    const std::vector<double> rgb = Arguments::toReals(arguments.value("--color"), "--color");
    std::array<unsigned char, 3> colour{};
    if (rgb.size() != 3)
        throw ArgumentError("--color takes three values R,G,B");
    for (std::size_t c = 0; c < 3; ++c) {
        if (!(rgb[c] >= 0.0 && rgb[c] <= 255.0) || rgb[c] != std::floor(rgb[c]))
            throw ArgumentError("--color values are whole numbers from 0 to 255");
        colour[c] = static_cast<unsigned char>(rgb[c]);
    }
    return colour;
}

void writeMesh(const std::string& file, const std::vector<MeshFile::Part>& parts, bool binary,
               CommandContext& context)
{
    std::uint64_t triangles = 0;
    for (const MeshFile::Part& part : parts)
        triangles += static_cast<std::uint64_t>(part.mesh->getNumTriangles());
    const MeshFile::Format format = MeshFile::formatOf(file, binary, triangles);
    PendingFile pending(file);
    std::ofstream stream(pending.getPath(), std::ios::out | std::ios::binary | std::ios::trunc);
    if (!stream)
        throw FileWriteError("plexan-cli", "Cannot open file for writing", file);
    MeshFile writer;
    writer.addMonitor(context.progress);
    try {
        writer.write(stream, format, parts);
    } catch (FileError& e) {
        e.setFile(file);
        throw;
    }
    writer.removeMonitor(context.progress);
    context.progress.clear();
    stream.close();
    if (!stream)
        throw FileWriteError("plexan-cli", "Cannot write file", file);
    pending.commit();
}
