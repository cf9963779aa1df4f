// plexan-cli density: the density map of a point model pooled over stacks.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/terminalprogress.h"
#include "geometry/vertexstack.h"
#include "image/voxelmatrix.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/morphometrytable.h"
#include "stack/stack.h"
#include "statistics/modeldensitymap.h"

#include <ostream>

namespace {

using Cell = MorphometryTable::Cell;

// The neighbour rank when none is given: one pattern with rank 1 has no
// density at all, and a few neighbours smooth the estimate.
constexpr int defaultRank = 5;

class DensityCommand : public Command {
public:
    std::string getName() const override { return "density"; }
    std::string getUsage() const override
    {
        return "STACK.sdf... --model NAME --grid NX NY NZ [--k K | --histogram] -o OUT.vm "
               "[--percentiles P,...] [--margin F] [--lenient]";
    }
    std::string getSummary() const override { return "density map of a point model pooled over stacks"; }
    std::string getHelp() const override
    {
        return "Pools the points of the point model NAME of every stack (each placed in 3D in\n"
               "its own stack's frame) and estimates their density on a grid of NX x NY x NZ\n"
               "samples over their bounding box, enlarged on every side by a margin. The\n"
               "default estimator is the pooled k-th nearest neighbour density (samples on\n"
               "the grid's corners, in points per cubic unit); --histogram counts the points\n"
               "in each of the NX x NY x NZ cells instead. The map is saved as a voxel matrix\n"
               "of floats whose voxel size is the sample spacing (or the cell size). Prints\n"
               "the box (the .vm file does not store its origin) and, with --percentiles, the\n"
               "density levels below which lie P percent of the points: the level for P\n"
               "encloses about 100 - P percent of them.\n\n"
               "Options:\n"
               "  --model NAME        the point model (required)\n"
               "  --grid NX NY NZ     samples or cells along x, y and z (required)\n"
               "  --k K               neighbour rank (default 5)\n"
               "  --histogram         point counts per cell\n"
               "  -o FILE             the voxel-matrix file to write (required)\n"
               "  --percentiles LIST  comma-separated percentages, such as 50,90\n"
               "  --margin F          margin as a fraction of the box's largest extent\n"
               "                      (default 0.1)\n"
               "  --lenient           go on despite errors in the stack files' logs\n"
               "K may not exceed the number of points of any stack.\n\n"
               "Example:\n"
               "  plexan-cli density data/sample/sample.sdf --model nuclei --grid 32 32 16 \\\n"
               "      -o out/nuclei-density.vm --percentiles 50,90\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(1, -1);
        arguments.addOption("--model");
        arguments.addOption("--grid", 3);
        arguments.addOption("--k");
        arguments.addFlag("--histogram");
        arguments.addOption("-o");
        arguments.addOption("--percentiles");
        arguments.addOption("--margin");
        declareLenient(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override;
};

int DensityCommand::run(const Arguments& arguments, CommandContext& context) const
{
    if (!arguments.has("--model"))
        throw ArgumentError("missing --model NAME");
    if (!arguments.has("--grid"))
        throw ArgumentError("missing --grid NX NY NZ");
    if (!arguments.has("-o"))
        throw ArgumentError("missing -o OUT.vm");
    if (arguments.has("--k") && arguments.has("--histogram"))
        throw ArgumentError("--k and --histogram exclude each other");
    const std::string modelName = arguments.value("--model");
    const std::string output = arguments.value("-o");
    checkExtension(output, {OutputKind::VoxelMatrix}, "-o");
    int grid[3];
    for (int a = 0; a < 3; ++a) {
        grid[a] = Arguments::toInteger(arguments.values("--grid")[static_cast<std::size_t>(a)], "--grid");
        if (grid[a] < 1)
            throw ArgumentError("--grid sizes must be at least 1");
    }
    const bool histogram = arguments.has("--histogram");
    int rank = defaultRank;
    if (arguments.has("--k")) {
        rank = Arguments::toInteger(arguments.value("--k"), "--k");
        if (rank < 1)
            throw ArgumentError("--k must be at least 1");
    }
    std::vector<float> percentages;
    if (arguments.has("--percentiles"))
        for (double p : Arguments::toReals(arguments.value("--percentiles"), "--percentiles")) {
            if (p < 0.0 || p > 100.0)
                throw ArgumentError("--percentiles must lie between 0 and 100");
            percentages.push_back(static_cast<float>(p));
        }

    ModelDensityMap<float> map;
    map.setModelName(modelName);
    map.setMethod(histogram ? ModelDensityMap<float>::Histogram : ModelDensityMap<float>::Poisson);
    map.setNeighbourRank(rank);
    map.setGridSize(grid[0], grid[1], grid[2]);
    if (arguments.has("--margin")) {
        const double margin = Arguments::toReal(arguments.value("--margin"), "--margin");
        if (margin < 0.0)
            throw ArgumentError("--margin must not be negative");
        map.setMargin(margin);
    }

    std::vector<StackInput> inputs;
    InputFiles files;
    StackReading reading;
    reading.lenient = arguments.has("--lenient");
    for (const std::string& file : arguments.getPositionals()) {
        inputs.push_back(readStack(file, context, reading));
        const Stack& stack = *inputs.back().stack;
        files.add(inputs.back().file);
        files.addImages(stack);
        const int index = stack.findModel(modelName);
        if (index < 0)
            throw ArgumentError("stack \"" + stack.getName() + "\" (" + file + ") has no model \"" + modelName + "\"");
        const Model& model = *stack.getModel(index);
        if (model.getGeometry() != MPrimitive::Polypoint)
            throw ArgumentError("model \"" + modelName + "\" of " + file + " is not a point model");
        // Every stack's pattern must hold the k-th neighbour of a sample.
        long long points = 0;
        for (int i = 0; i < model.getNumItems(); ++i)
            points += model.getItem(i)->getSize();
        if (!histogram && points < rank)
            throw ArgumentError("--k " + std::to_string(rank) + " exceeds the " + std::to_string(points) +
                                " point" + (points == 1 ? "" : "s") + " of model \"" + modelName + "\" in " + file);
        map.addStack(stack);
    }
    checkOutput(output, OutputKind::VoxelMatrix, files);
    if (!histogram && rank * map.getNumStacks() == 1)
        context.warn("one stack with k = 1 gives a density of 0 everywhere: use a larger --k");

    map.addMonitor(context.progress);
    map.compute();
    map.removeMonitor(context.progress);
    context.progress.clear();
    const VoxelMatrix<float>& density = map.getDensity();
    writeVolume(density, output);

    const LengthUnit& unit = density.getVoxelCalibration().getLengthUnit();
    const BoundingBox<float>& box = map.getBoundingBox();
    const Vector<float>& voxel = density.getVoxelCalibration().getVoxelSize();
    MorphometryTable summary({"file", "method", "k", "stacks", "points", "size x", "size y", "size z",
                              MorphometryTable::header("lower x", unit), MorphometryTable::header("lower y", unit),
                              MorphometryTable::header("lower z", unit), MorphometryTable::header("upper x", unit),
                              MorphometryTable::header("upper y", unit), MorphometryTable::header("upper z", unit),
                              MorphometryTable::header("voxel x", unit), MorphometryTable::header("voxel y", unit),
                              MorphometryTable::header("voxel z", unit)});
    std::vector<Cell> row{Cell::text(output), Cell::text(histogram ? "histogram" : "poisson"),
                          histogram ? Cell::missing() : Cell::integer(rank), Cell::integer(map.getNumStacks()),
                          Cell::integer(map.getNumPoints())};
    for (int a = 0; a < 3; ++a)
        row.push_back(Cell::integer(grid[a]));
    for (int a = 0; a < 3; ++a)
        row.push_back(Cell::real(shortest(box.min(a))));
    for (int a = 0; a < 3; ++a)
        row.push_back(Cell::real(shortest(box.max(a))));
    for (int a = 0; a < 3; ++a)
        row.push_back(Cell::real(shortest(voxel[a])));
    summary.addRow(row);
    summary.writeTsv(context.out);

    if (!percentages.empty()) {
        const Vector<float> levels = map.percentiles(percentages);
        MorphometryTable table({"percentile", "level"});
        for (std::size_t q = 0; q < percentages.size(); ++q)
            table.addRow({Cell::real(shortest(percentages[q])), Cell::real(shortest(levels[static_cast<int>(q)]))});
        context.out << '\n';
        table.writeTsv(context.out);
    }
    return 0;
}

} // namespace

std::unique_ptr<Command> makeDensityCommand()
{
    return std::make_unique<DensityCommand>();
}
