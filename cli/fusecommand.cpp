// plexan-cli fuse: several specimens brought into one frame, their mean
// shape and the summary log.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/fusionfile.h"
#include "cli/pendingdirectory.h"
#include "cli/pendingfile.h"
#include "cli/terminalprogress.h"
#include "geometry/quadmesh.h"
#include "geometry/shapeset.h"
#include "geometry/trimesh.h"
#include "geometry/vertexstack.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/morphometrytable.h"
#include "stack/stack.h"
#include "statistics/fusion.h"

#include <filesystem>
#include <fstream>
#include <locale>
#include <set>
#include <sys/stat.h>
#include <system_error>

namespace {

namespace fs = std::filesystem;
using Cell = MorphometryTable::Cell;

// A name fit for a file: letters, digits, '-', '_' and '.' kept, anything
// else '_'.
std::string fileNamePart(const std::string& name)
{
    std::string out;
    for (const char c : name)
        out += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ? c : '_';
    if (out.empty() || out.front() == '.')
        out.insert(out.begin(), '_');
    return out;
}

void writeText(const std::string& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw FileWriteError("plexan-cli fuse", "Cannot write file", file);
}

// Writes the shapes of a set as prefix.STRUCTURE.qm (with an .stl beside
// it) or prefix.STRUCTURE.vs into directory; returns the count written.
int writeShapeSet(const ShapeSet<float>& set, const std::vector<std::string>& structures,
                  const std::string& directory, const std::string& prefix)
{
    int written = 0;
    for (int i = 0; i < set.getNumShapes(); ++i) {
        const Shape<float>* shape = set[i];
        if (!shape)
            continue;
        const std::string base = (fs::path(directory) /
                                  (prefix + "." + fileNamePart(structures[static_cast<std::size_t>(i)])))
                                     .string();
        const auto* mesh = dynamic_cast<const QuadMesh<float>*>(shape);
        std::ostringstream text;
        text.imbue(std::locale::classic());
        shape->write(text);
        writeText(base + (mesh ? ".qm" : ".vs"), text.str());
        if (mesh) {
            TriMesh<float> triangles = mesh->toTriMesh();
            triangles.setName(prefix + "." + structures[static_cast<std::size_t>(i)]);
            std::ostringstream stl;
            stl.imbue(std::locale::classic());
            triangles.export2AsciiSTL(stl);
            writeText(base + ".stl", stl.str());
        }
        ++written;
    }
    return written;
}

class FuseCommand : public Command {
public:
    std::string getName() const override { return "fuse"; }
    std::string getUsage() const override { return "CONFIG [STACK.sdf...] -o OUTDIR [--lenient]"; }
    std::string getSummary() const override { return "bring specimens into one frame (fusion) and average them"; }
    std::string getHelp() const override
    {
        return "Fuses the stacks named in the configuration file CONFIG (and those given after\n"
               "it) as the fusion window does: every stack becomes a set of 3D shapes, one per\n"
               "model name (outlined models resampled into closed quadrilateral meshes, point\n"
               "models kept as points), then, as the configuration asks, the sets are aligned\n"
               "on the principal axes of their reference structures, registered rigidly\n"
               "(global: each on the mean of the others until the error settles; pairwise:\n"
               "each on the reference stack) and warped onto the mean shape (polynomials or\n"
               "thin-plate splines). OUTDIR, which must not exist or be empty, receives\n"
               "  fusion.html             the summary log\n"
               "  STEM.STRUCTURE.qm|.vs   each stack's transformed shapes (STEM its file name\n"
               "                          without .sdf), meshes also as .stl\n"
               "  mean.STRUCTURE.qm|.stl  the mean shape\n"
               "all at once: an interrupted run leaves no OUTDIR. Prints, per stack, the\n"
               "root mean square distance of its reference shapes to the mean's.\n\n"
               "CONFIG holds \"key = value\" lines (# starts a comment):\n"
               "  name = study\n"
               "  stack = specimen1.sdf              (relative to CONFIG's directory)\n"
               "  alignment = yes                    (yes or no; default no)\n"
               "  registration = yes                 (default no)\n"
               "  registration algorithm = global    (or pairwise)\n"
               "  reference stack = specimen1        (the stack NAME of the pairwise template)\n"
               "  registration iterations = 10       (kept; the global method converges)\n"
               "  warping = no\n"
               "  warping model = polynomials        (or thin-plate splines)\n"
               "  polynomial degree = 2\n"
               "and one section per surface structure:\n"
               "  [structure organ]\n"
               "  reference = yes                    (drives alignment, registration, warping)\n"
               "  resampling height = 20             (contour levels of the mesh)\n"
               "  resampling width = 32              (vertices per level)\n"
               "Models without a section are resampled to their own mesh size (RESAMPLING).\n\n"
               "Options:\n"
               "  -o DIR      the output directory (required)\n"
               "  --lenient   go on despite errors in the stack files' logs\n\n"
               "Example:\n"
               "  plexan-cli fuse study.conf -o out/fusion\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(1, -1);
        arguments.addOption("-o");
        declareLenient(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override;
};

int FuseCommand::run(const Arguments& arguments, CommandContext& context) const
{
    if (!arguments.has("-o"))
        throw ArgumentError("missing -o OUTDIR");
    const std::string output = arguments.value("-o");
    if (output.empty())
        throw ArgumentError("-o needs a directory");
    const std::string configFile = arguments.positional(0);
    FusionFile configuration;
    try {
        configuration = FusionFile::read(configFile);
    } catch (const FusionFileError& e) {
        throw CommandError(e.what());
    }
    FusionConfig<float>& config = configuration.config;
    std::vector<std::string> files = configuration.stackFiles;
    for (std::size_t i = 1; i < arguments.getPositionals().size(); ++i)
        files.push_back(arguments.getPositionals()[i]);
    if (files.empty())
        throw ArgumentError("no stacks: name them in " + configFile + " (stack = FILE) or after it");

    // Every stack's shapes go to files named after its file.
    std::set<std::string> stems;
    for (const std::string& file : files) {
        const std::string stem = fileNamePart(fs::path(file).stem().string());
        if (stem == "mean")
            throw ArgumentError(file + ": a stack file named \"mean\" would mix with the mean shape's files");
        if (!stems.insert(stem).second)
            throw ArgumentError("two stack files are named \"" + stem + "\": their outputs would mix");
    }
    const bool steps = config.strategy.alignment || config.strategy.registration || config.strategy.warping;
    bool hasReference = false;
    for (const auto& s : config.surfaceStructures)
        hasReference = hasReference || s.reference;
    if (steps && !hasReference)
        throw CommandError(configFile + ": alignment, registration and warping need a reference structure "
                           "([structure NAME] with reference = yes)");

    // The output directory: absent or empty, in a directory that can be
    // written.
    std::error_code error;
    const fs::path target = fs::path(output).lexically_normal();
    const fs::path parent = fs::absolute(target, error).parent_path();
    if (fs::exists(fs::symlink_status(target, error))) {
        if (!fs::is_directory(target, error))
            throw ArgumentError("-o " + output + " exists and is not a directory");
        if (!fs::is_empty(target, error))
            throw ArgumentError("-o " + output + " exists and is not empty: fusion outputs go to a new directory");
    }
    checkOutputDirectory(parent.string());
    if (!fs::is_directory(parent, error))
        throw CommandError("the directory " + parent.string() + " of " + output + " does not exist");

    std::vector<StackInput> inputs;
    StackReading reading;
    reading.lenient = arguments.has("--lenient");
    for (const std::string& file : files) {
        inputs.push_back(readStack(file, context, reading));
        config.stacks.push_back(inputs.back().stack.get());
    }
    for (const auto& s : config.surfaceStructures) {
        bool found = false;
        for (const Stack* stack : config.stacks)
            found = found || stack->findModel(s.name) >= 0;
        if (!found)
            throw CommandError(configFile + ": no stack has a model \"" + s.name + "\"");
    }
    if (config.strategy.registration && config.strategy.registrationAlgorithm == FusionRegistrationAlgorithm::Pairwise) {
        bool found = false;
        std::string names;
        for (const Stack* stack : config.stacks) {
            found = found || stack->getName() == config.strategy.referenceStack;
            names += (names.empty() ? "\"" : ", \"") + stack->getName() + "\"";
        }
        if (!found)
            throw CommandError(configFile + ": the reference stack \"" + config.strategy.referenceStack +
                               "\" is none of the stacks (" + names + ")");
    }
    if (config.name.empty())
        config.name = fs::path(configFile).stem().string();

    Fusion<float> fusion;
    fusion.setConfig(config);
    fusion.addMonitor(context.progress);
    const bool completed = fusion.run();
    fusion.removeMonitor(context.progress);
    context.progress.clear();
    if (!completed)
        throw CommandError("the fusion was cancelled");

    // The structure names, as the shape sets list them.
    std::set<std::string> names;
    for (const Stack* stack : config.stacks)
        for (int m = 0; m < stack->getNumModels(); ++m)
            names.insert(stack->getModel(m)->getName());
    const std::vector<std::string> structures(names.begin(), names.end());

    // Everything is written aside, in a new directory beside the target
    // that is then renamed onto it, at once.
    const PendingDirectory pending(parent.string());
    const std::string& work = pending.getPath();
    writeText((fs::path(work) / "fusion.html").string(),
              "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + config.name +
                  "</title>\n</head>\n<body>\n" + fusion.getLog() + "\n</body>\n</html>\n");
    const std::vector<ShapeSet<float>*>& sets = fusion.getShapeSets();
    std::vector<int> counts;
    for (std::size_t i = 0; i < sets.size(); ++i)
        counts.push_back(writeShapeSet(*sets[i], structures, work, fileNamePart(fs::path(files[i]).stem().string())));
    if (const ShapeSet<float>* mean = fusion.getMeanShapeSet())
        writeShapeSet(*mean, structures, work, "mean");
    {
        PendingFile::stopBeforeCommitForTests();
        const HeldInterrupts held;
        if (fs::exists(fs::symlink_status(target, error)))
            fs::remove(target, error);  // empty, as checked
        // A new directory as the user's mask makes one (the pending one is
        // private).
        const mode_t mask = ::umask(0);
        ::umask(mask);
        fs::permissions(work, static_cast<fs::perms>(0777 & ~mask), error);
        fs::rename(work, target, error);
        if (error)
            throw FileWriteError("plexan-cli fuse", "Cannot move the outputs into place: " + error.message(), output);
    }

    const LengthUnit& unit = config.stacks.front()->getLengthUnit();
    MorphometryTable table({"stack", "file", "shapes", MorphometryTable::header("distance to mean", unit)});
    const Vector<float>& distances = fusion.getDistances();
    for (std::size_t i = 0; i < sets.size(); ++i)
        table.addRow({Cell::text(sets[i]->getName()), Cell::text(files[i]), Cell::integer(counts[i]),
                      static_cast<int>(i) < distances.getSize() ? Cell::real(distances[static_cast<int>(i)])
                                                                : Cell::missing()});
    table.writeTsv(context.out);
    return 0;
}

} // namespace

std::unique_ptr<Command> makeFuseCommand()
{
    return std::make_unique<FuseCommand>();
}
