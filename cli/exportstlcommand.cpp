// plexan-cli export-stl: the surface models of a stack as STL files.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/pendingdirectory.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/stack.h"
#include "stack/stackexporter.h"

#include <filesystem>
#include <ostream>
#include <set>
#include <system_error>

namespace {

class ExportStlCommand : public Command {
public:
    std::string getName() const override { return "export-stl"; }
    std::string getUsage() const override { return "STACK.sdf DIR [--overwrite] [--lenient]"; }
    std::string getSummary() const override { return "write the surface models of a stack as STL files"; }
    std::string getHelp() const override
    {
        return "Writes every outline model of the stack as an ASCII STL surface in DIR, as the\n"
               "stack exporter does: the model's contours are placed in 3D, resampled into a\n"
               "closed quadrilateral mesh (the model's resampling width and height) and cut\n"
               "into triangles. Files are named STACKNAME-MODELNAME.stl; the quadrilateral\n"
               "mesh is kept beside it as STACKNAME-MODELNAME.qm. Point models, models\n"
               "without items and branching models (two contours on one slice) are skipped.\n"
               "DIR is created when missing. Prints the files written, one per line.\n"
               "Existing files that are inputs or of another kind are never replaced.\n\n"
               "Options:\n"
               "  --overwrite   replace existing STL and mesh files (refused otherwise)\n"
               "  --lenient     export despite errors in the stack file's log\n\n"
               "Example:\n"
               "  plexan-cli export-stl data/sample/sample.sdf out/stl --overwrite\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(2, 2);
        arguments.addFlag("--overwrite");
        declareLenient(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override;
};

int ExportStlCommand::run(const Arguments& arguments, CommandContext& context) const
{
    namespace fs = std::filesystem;
    const bool overwrite = arguments.has("--overwrite");
    const std::string directory = arguments.positional(1);
    StackReading reading;
    reading.lenient = arguments.has("--lenient");
    const StackInput input = readStack(arguments.positional(0), context, reading);
    const Stack& stack = *input.stack;
    InputFiles inputs;
    inputs.add(input.file);
    inputs.addImages(stack);

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
            const std::string stl = StackExporter::fileName(model, directory, stack.getName());
            const std::string qm = stl.substr(0, stl.size() - 4) + ".qm";
            checkOutput(stl, OutputKind::Stl, inputs);
            checkOutput(qm, OutputKind::QuadMesh, inputs);
            for (const std::string& file : {stl, qm})
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
    StackExporter::export2AsciiSTL(stack, pending.getPath(), true);
    std::set<std::string> written;
    for (const std::string& name : pending.getFileNames()) {
        context.out << pending.commit(name) << '\n';
        written.insert(name);
    }

    for (int i = 0; i < stack.getNumModels(); ++i) {
        const Model& model = *stack.getModel(i);
        const std::string stl = fs::path(StackExporter::fileName(model, "", stack.getName())).filename().string();
        if (written.count(stl) || model.getGeometry() == MPrimitive::Polypoint)
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
