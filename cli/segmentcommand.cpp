// plexan-cli segment: outlines of the regions of every slice image, found by
// thresholding, as a model of the stack.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/sliceoutlines.h"
#include "cli/terminalprogress.h"
#include "image/image.h"
#include "numerics/progresssubject.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/morphometrytable.h"
#include "stack/stack.h"
#include "stack/stackbackups.h"
#include "stack/stackslice.h"

#include <cmath>

namespace {

using Cell = MorphometryTable::Cell;

// The side of a displayed pixel: slices are shown with square pixels, the
// longer side of a calibrated pixel shrinking the image along it.
double displayPixel(const Slice& slice)
{
    const PixelCalibration& c = slice.getPixelCalibration();
    return shortest(c.getAspectRatio() <= 1.0f ? c.getPixelWidth() : c.getPixelHeight());
}

// The model name of the stack, emptied when replace is given (an
// ArgumentError otherwise), or a new one of that geometry.
Model* prepareModel(Stack& stack, const std::string& name, MPrimitive geometry, bool replace)
{
    const int index = stack.findModel(name);
    if (index < 0) {
        auto* model = new Model(name);
        model->getProperties().setGeometry(geometry);
        stack.addModel(model);
        return model;
    }
    Model* model = stack.getModel(index);
    if (!replace)
        throw ArgumentError("stack \"" + stack.getName() + "\" already has a model \"" + name +
                            "\" (give --replace to replace its items)");
    if (model->getGeometry() != geometry)
        throw ArgumentError("model \"" + name + "\" is not a " +
                            (geometry == MPrimitive::Polygon ? "polygon" : "point") + " model");
    // Deleting an item unlinks it from its model and its slice.
    while (model->getNumItems() > 0)
        delete model->getItem(model->getNumItems() - 1);
    return model;
}

class SegmentCommand : public Command {
public:
    std::string getName() const override { return "segment"; }
    std::string getUsage() const override
    {
        return "STACK.sdf [--model NAME] (--level V | --isodata) [--below] [--min-pixels N] "
               "[--decimation D] [--centres POINTS] [--replace] -o OUT.sdf [--format tsv|csv] [--lenient]";
    }
    std::string getSummary() const override { return "outline the regions of every slice by thresholding"; }
    std::string getHelp() const override
    {
        return "Thresholds every slice image (at the level V, or at each image's own isodata\n"
               "threshold), splits the foreground into 4-connected regions and outlines each\n"
               "region of at least N pixels as a polygon of the model NAME on its slice; the\n"
               "stack is then saved to OUT.sdf, which must be another file than STACK.sdf (an\n"
               "existing OUT.sdf is kept as OUT.sdf~1, older ones as ~2 to ~5). Outlines\n"
               "follow the outer edges of the regions' pixels, so that an outline's area is\n"
               "the region's: holes inside a region are not outlined. Prints, per slice, the\n"
               "threshold, the number of outlines, their vertices and their summed area.\n\n"
               "Options:\n"
               "  --model NAME       the polygon model to create (required unless --centres)\n"
               "  --level V          foreground is the grey levels at or above V\n"
               "  --isodata          each image's isodata threshold instead of a level\n"
               "  --below            foreground is below the threshold (dark objects)\n"
               "  --min-pixels N     leave out regions of fewer pixels (default 9)\n"
               "  --decimation D     simplify the outlines to D pixels (Douglas-Peucker;\n"
               "                     default 0, every corner kept)\n"
               "  --centres POINTS   also mark the centre of every region outlined as a point\n"
               "                     of the point model POINTS (one point per region and\n"
               "                     slice: a region cut by several slices has several)\n"
               "  --replace          replace the outlines (points) of existing models NAME\n"
               "                     and POINTS (otherwise an existing model is an error)\n"
               "  -o FILE            the stack file to write (required)\n"
               "  --format tsv|csv   table form (default tsv)\n"
               "  --lenient          go on despite errors in the stack file's log\n\n"
               "Example:\n"
               "  plexan-cli segment data/sample/sample.sdf --model tissue --level 30 \\\n"
               "      -o out/sample-segmented.sdf\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(1, 1);
        arguments.addOption("--model");
        arguments.addOption("--level");
        arguments.addFlag("--isodata");
        arguments.addFlag("--below");
        arguments.addOption("--min-pixels");
        arguments.addOption("--decimation");
        arguments.addOption("--centres");
        arguments.addFlag("--replace");
        arguments.addOption("-o");
        declareFormat(arguments);
        declareLenient(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override;
};

int SegmentCommand::run(const Arguments& arguments, CommandContext& context) const
{
    const std::string format = tableFormat(arguments);
    if (!arguments.has("--model") && !arguments.has("--centres"))
        throw ArgumentError("missing --model NAME (or --centres POINTS)");
    if (arguments.has("--level") == arguments.has("--isodata"))
        throw ArgumentError("give one of --level V and --isodata");
    if (!arguments.has("-o"))
        throw ArgumentError("missing -o OUT.sdf");
    const std::string modelName = arguments.value("--model");
    if (arguments.has("--model") && modelName.empty())
        throw ArgumentError("--model needs a name");
    SliceOutlineSettings settings;
    settings.isodata = arguments.has("--isodata");
    if (!settings.isodata)
        settings.level = Arguments::toReal(arguments.value("--level"), "--level");
    settings.above = !arguments.has("--below");
    settings.minPixels = 9;
    if (arguments.has("--min-pixels")) {
        settings.minPixels = Arguments::toInteger(arguments.value("--min-pixels"), "--min-pixels");
        if (settings.minPixels < 1)
            throw ArgumentError("--min-pixels must be at least 1");
    }
    if (arguments.has("--decimation")) {
        settings.decimation = Arguments::toInteger(arguments.value("--decimation"), "--decimation");
        if (settings.decimation < 0)
            throw ArgumentError("--decimation must not be negative");
    }
    const std::string output = arguments.value("-o");
    checkExtension(output, {OutputKind::Stack}, "-o");

    StackReading reading;
    reading.needImages = true;
    reading.lenient = arguments.has("--lenient");
    const StackInput input = readStack(arguments.positional(0), context, reading);
    Stack& stack = *input.stack;
    InputFiles inputs;
    inputs.add(input.file);
    inputs.addImages(stack);
    checkOutput(output, OutputKind::Stack, inputs);
    for (int i = 1; i <= StackBackups::defaultMaxBackups; ++i)
        if (const std::string backup = StackBackups::backupName(output, i); !inputs.find(backup).empty())
            throw ArgumentError("the output " + output + " would push its backup " + backup +
                                ", an input, along: an output never replaces an input");

    Model* model = arguments.has("--model")
                       ? prepareModel(stack, modelName, MPrimitive::Polygon, arguments.has("--replace"))
                       : nullptr;
    Model* centres = nullptr;
    if (arguments.has("--centres")) {
        const std::string centresName = arguments.value("--centres");
        if (centresName.empty() || centresName == modelName)
            throw ArgumentError("--centres needs a name other than the outlines' model");
        centres = prepareModel(stack, centresName, MPrimitive::Polypoint, arguments.has("--replace"));
    }

    MorphometryTable table({"slice", "threshold", "outlines", "vertices", "pixels",
                            MorphometryTable::header("area", stack.getLengthUnit(), 2)});
    const int slices = stack.getNumSlices();
    ProgressSubject progress;
    progress.addMonitor(context.progress);
    progress.notifyStarted("Segmenting slices...");
    for (int s = 0; s < slices; ++s) {
        StackSlice& slice = *stack.getSlice(s);
        Image image;
        slice.load(image);
        if (image.isIndexed())
            image.make8bitsGrayscale();
        const SliceOutlines found = traceSliceOutlines(PixelMatrix<float>(image), settings);
        long long vertices = 0, pixels = 0;
        double twiceArea = 0.0;
        for (std::size_t o = 0; o < found.outlines.size(); ++o) {
            if (model) {
                auto* item = new ModelItem(model, &slice);
                item->setVertices(found.outlines[o]);
                item->setClockwise(false);
                item->attach();
            }
            vertices += found.outlines[o].getNumVertices();
            pixels += found.pixels[o];
            twiceArea += std::fabs(static_cast<double>(found.outlines[o].twiceArea(0, 1)));
        }
        if (centres && !found.centres.empty()) {
            Vertices<int> points(2, static_cast<int>(found.centres.size()));
            for (std::size_t o = 0; o < found.centres.size(); ++o) {
                points.vertex(static_cast<int>(o))[0] = static_cast<int>(std::lround(found.centres[o][0]));
                points.vertex(static_cast<int>(o))[1] = static_cast<int>(std::lround(found.centres[o][1]));
            }
            auto* item = new ModelItem(centres, &slice);
            item->setVertices(points);
            item->attach();
        }
        const double side = displayPixel(slice);
        table.addRow({Cell::text(slice.getName()), Cell::real(shortest(static_cast<float>(found.threshold))),
                      Cell::integer(static_cast<long long>(found.outlines.size())), Cell::integer(vertices),
                      Cell::integer(pixels), Cell::real(twiceArea / 2.0 * side * side)});
        progress.notifyProgressed(static_cast<unsigned int>(s + 1), static_cast<unsigned int>(slices));
    }
    progress.notifyFinished("");
    progress.removeMonitor(context.progress);
    context.progress.clear();
    writeStack(stack, output, context);
    writeTable(table, format, context.out);
    return 0;
}

} // namespace

std::unique_ptr<Command> makeSegmentCommand()
{
    return std::make_unique<SegmentCommand>();
}
