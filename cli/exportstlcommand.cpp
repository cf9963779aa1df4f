// plexan-cli export-stl: the surface models of a stack as STL files.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/meshoutput.h"
#include "cli/pendingdirectory.h"
#include "geometry/quadmesh.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/stack.h"
#include "stack/stackexporter.h"
#include "stack/stackreconstruction.h"

#include <filesystem>
#include <ostream>
#include <set>
#include <system_error>

namespace {

class ExportStlCommand : public Command {
public:
    std::string getName() const override { return "export-stl"; }
    std::string getUsage() const override
    {
        return "STACK.sdf DIR [--format stl|ply|obj] [--binary] [--overwrite] [--lenient]";
    }
    std::string getSummary() const override { return "write the surface models of a stack as STL files"; }
    std::string getHelp() const override
    {
        return "Writes every outline model of the stack as a surface in DIR, as the stack\n"
               "exporter does: the model's contours are placed in the stack's 3D frame,\n"
               "resampled into a closed quadrilateral mesh (the model's resampling width and\n"
               "height) and cut into triangles. Files are named STACKNAME-MODELNAME.stl (or\n"
               ".ply, .obj); the quadrilateral mesh is kept beside it as\n"
               "STACKNAME-MODELNAME.qm. STL files are ASCII unless --binary is given or they\n"
               "would exceed 50 MB; PLY files are binary with every vertex in the model's\n"
               "colour. The frame is the one isosurface writes in: the surfaces of a stack and\n"
               "of its volume (stack-to-volume) superpose. Point models, models without items\n"
               "and branching models (two contours on one slice) are skipped. DIR is created\n"
               "when missing. Prints the files written, one per line. Existing files that are\n"
               "inputs or of another kind are never replaced.\n\n"
               "Options:\n"
               "  --format F    stl (default), ply or obj\n"
               "  --binary      binary STL whatever its size\n"
               "  --overwrite   replace existing mesh files (refused otherwise)\n"
               "  --lenient     export despite errors in the stack file's log\n\n"
               "Example:\n"
               "  plexan-cli export-stl data/sample/sample.sdf out/stl --overwrite\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(2, 2);
        arguments.addFlag("--overwrite");
        arguments.addFlag("--binary");
        arguments.addOption("--format");
        declareLenient(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override;
};

int ExportStlCommand::run(const Arguments& arguments, CommandContext& context) const
{
    namespace fs = std::filesystem;
    const bool overwrite = arguments.has("--overwrite");
    const std::string format =
        Arguments::toChoice(arguments.value("--format", "stl"), {"stl", "ply", "obj"}, "--format");
    if (arguments.has("--binary") && format != "stl")
        throw ArgumentError("--binary is for STL files");
    const std::string directory = arguments.positional(1);
    StackReading reading;
    reading.lenient = arguments.has("--lenient");
    const StackInput input = readStack(arguments.positional(0), context, reading);
    const Stack& stack = *input.stack;
    InputFiles inputs;
    inputs.add(input.file);
    inputs.addImages(stack);
    // The exporter's names, with the extension of the format.
    auto meshName = [&](const Model& model, const std::string& dir) {
        const std::string stl = StackExporter::fileName(model, dir, stack.getName());
        return stl.substr(0, stl.size() - 4) + "." + format;
    };
    auto quadName = [&](const Model& model, const std::string& dir) {
        const std::string stl = StackExporter::fileName(model, dir, stack.getName());
        return stl.substr(0, stl.size() - 4) + ".qm";
    };

    // Refuse before writing anything: inputs and files of other kinds
    // always, existing files without --overwrite with the exporter's own
    // message.
    std::error_code error;
    checkOutputDirectory(directory);
    if (fs::is_directory(directory.empty() ? "." : directory, error))
        for (int i = 0; i < stack.getNumModels(); ++i) {
            const Model& model = *stack.getModel(i);
            if (model.getGeometry() == MPrimitive::Polypoint)
                continue;
            const std::string mesh = meshName(model, directory);
            const std::string qm = quadName(model, directory);
            checkOutput(mesh, meshKind(mesh), inputs);
            checkOutput(qm, OutputKind::QuadMesh, inputs);
            for (const std::string& file : {mesh, qm})
                if (!overwrite && fs::exists(file, error))
                    throw FileWriteError("void StackExporter::export2AsciiSTL(...)", file + " : file exists", file);
        }
    if (!directory.empty() && !fs::is_directory(directory, error)) {
        fs::create_directories(directory, error);
        if (error)
            throw FileWriteError("plexan-cli export-stl", "Cannot create directory: " + error.message(), directory);
    }

    // Everything is written aside first and moved into place once complete.
    const PendingDirectory pending(directory);
    const StackReconstruction<float> reconstruction(stack);
    std::set<std::string> exported;
    for (int i = 0; i < stack.getNumModels(); ++i) {
        const Model& model = *stack.getModel(i);
        std::unique_ptr<QuadMesh<float>> quads;
        const std::unique_ptr<TriMesh<float>> surface = MeshFile::modelSurface(model, reconstruction, &quads);
        if (!surface)
            continue;
        quads->save(quadName(model, pending.getPath()), true);
        const Vector<int> rgb = model.getItemProperties().getColor();
        const std::array<unsigned char, 3> colour{static_cast<unsigned char>(rgb[0] & 255),
                                                  static_cast<unsigned char>(rgb[1] & 255),
                                                  static_cast<unsigned char>(rgb[2] & 255)};
        writeMesh(meshName(model, pending.getPath()), {{surface.get(), model.getName(), colour}},
                  arguments.has("--binary"), context);
        exported.insert(model.getName());
    }
    for (const std::string& name : pending.getFileNames())
        context.out << pending.commit(name) << '\n';

    for (int i = 0; i < stack.getNumModels(); ++i) {
        const Model& model = *stack.getModel(i);
        if (exported.count(model.getName()) || model.getGeometry() == MPrimitive::Polypoint)
            continue;
        const char* reason = model.getGeometry() == MPrimitive::Unknown ? "unknown geometry"
                             : model.getNumItems() == 0                  ? "no contour"
                                                                         : "two contours on one slice";
        context.warn("model \"" + model.getName() + "\" not exported (" + reason + ")");
    }
    return 0;
}

} // namespace

std::unique_ptr<Command> makeExportStlCommand()
{
    return std::make_unique<ExportStlCommand>();
}
