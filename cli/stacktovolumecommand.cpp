// plexan-cli stack-to-volume: the slice images of a stack as a voxel matrix.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "image/voxelmatrix.h"
#include "stack/morphometrytable.h"
#include "stack/stack.h"
#include "stack/stackslice.h"
#include "stack/stackvolumeconversion.h"

namespace {

using Cell = MorphometryTable::Cell;

class StackToVolumeCommand : public Command {
public:
    std::string getName() const override { return "stack-to-volume"; }
    std::string getUsage() const override
    {
        return "STACK.sdf OUT.vm [--registered|--as-stored] [--content gray|red|green|blue] [--lenient]";
    }
    std::string getSummary() const override { return "stack the slice images into a volume (.vm)"; }
    std::string getHelp() const override
    {
        return "Stacks the slice images into a voxel matrix of floats, plane k holding slice k\n"
               "at its display size (square pixels), as grey levels or one colour component,\n"
               "and saves it as a voxel-matrix file. Values are kept: 16-bit grey slices give\n"
               "their 16-bit samples (never stretched slice by slice), 8-bit ones their grey\n"
               "levels, colour images their mean grey. The voxel size is the display pixel of\n"
               "the first slice and, between planes, the mean spacing of the slices, in the\n"
               "stack's length unit; plane 0 lies at depth 0, as slice 0 of a stack spaced by\n"
               "relative positions.\n"
               "Registered (the default when a slice has a registration), every slice is\n"
               "moved as its registrations place it in the stack's frame, the one the models\n"
               "are measured and exported in: each voxel takes the bilinear value of the\n"
               "slice's image at its place (0 where the moved image does not reach), and the\n"
               "planes grow by whole voxels on every side until they hold every moved slice,\n"
               "so the volume's centre stays the stack's origin. As stored, the images are\n"
               "stacked as they are and every slice must have the first slice's size. Prints\n"
               "the sizes and calibration written and how the slices were placed.\n\n"
               "Options:\n"
               "  --registered  resample every slice through its registrations\n"
               "  --as-stored   stack the images as they are, registrations not applied\n"
               "  --content C   gray (default), red, green or blue\n"
               "  --lenient     go on despite errors in the stack file's log (the slice\n"
               "                images must still all be readable)\n\n"
               "Example:\n"
               "  plexan-cli stack-to-volume data/sample/sample.sdf out/sample.vm\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(2, 2);
        arguments.addFlag("--registered");
        arguments.addFlag("--as-stored");
        arguments.addOption("--content");
        declareLenient(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override
    {
        const std::string content = Arguments::toChoice(arguments.value("--content", "gray"),
                                                        {"gray", "red", "green", "blue"}, "--content");
        if (arguments.has("--registered") && arguments.has("--as-stored"))
            throw ArgumentError("--registered and --as-stored exclude each other");
        const std::string output = arguments.positional(1);
        checkExtension(output, {OutputKind::VoxelMatrix}, "OUT");
        StackReading reading;
        reading.needImages = true;
        reading.lenient = arguments.has("--lenient");
        const StackInput input = readStack(arguments.positional(0), context, reading);
        const Stack& stack = *input.stack;
        InputFiles inputs;
        inputs.add(input.file);
        inputs.addImages(stack);
        checkOutput(output, OutputKind::VoxelMatrix, inputs);
        if (stack.getNumSlices() == 0)
            throw CommandError(input.file + ": the stack has no slice");
        const bool registered = arguments.has("--registered") ||
                                (!arguments.has("--as-stored") && StackVolumeConversion::hasRegistrations(stack));
        if (!StackVolumeConversion::isEvenlySpaced(stack))
            context.warn("the slices are not evenly spaced: planes are placed at their mean spacing");

        StackVolumeConversion conversion;
        conversion.setContent(content == "red"     ? ImageColorContent::RedOnly
                              : content == "green" ? ImageColorContent::GreenOnly
                              : content == "blue"  ? ImageColorContent::BlueOnly
                                                   : ImageColorContent::Grayscale);
        conversion.setPlacement(registered ? StackVolumeConversion::Placement::Registered
                                           : StackVolumeConversion::Placement::AsStored);
        if (const float z0 = stack.getSlice(0)->getAbsolutePosition(); z0 != 0.0f)
            context.warn("the first slice lies at depth " + Cell::real(shortest(z0)).toString() +
                         ", the volume's first plane at 0: surfaces made from the volume lie that much lower");
        const VoxelMatrix<float> volume = conversion.apply<float>(stack);
        writeVolume(volume, output);

        const VoxelCalibration& c = volume.getVoxelCalibration();
        const LengthUnit& unit = c.getLengthUnit();
        MorphometryTable summary({"file", "rows", "columns", "planes", MorphometryTable::header("voxel height", unit),
                                  MorphometryTable::header("voxel width", unit),
                                  MorphometryTable::header("voxel depth", unit), "slices"});
        summary.addRow({Cell::text(output), Cell::integer(volume.getSize1()),
                        Cell::integer(volume.getSize2()), Cell::integer(volume.getSize3()),
                        Cell::real(shortest(c.getVoxelHeight())), Cell::real(shortest(c.getVoxelWidth())),
                        Cell::real(shortest(c.getVoxelDepth())), Cell::text(registered ? "registered" : "as stored")});
        summary.writeTsv(context.out);
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeStackToVolumeCommand()
{
    return std::make_unique<StackToVolumeCommand>();
}
