// plexan-cli volume-to-stack: the planes of a volume as a stack of TIFF
// slices and its stack file.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/volumeoutput.h"
#include "image/anyvoxelmatrix.h"
#include "numerics/exception.h"
#include "stack/morphometrytable.h"

#include <filesystem>

namespace {

using Cell = MorphometryTable::Cell;

class VolumeToStackCommand : public Command {
public:
    std::string getName() const override { return "volume-to-stack"; }
    std::string getUsage() const override
    {
        return "VOLUME.vm NAME IMAGESDIR STACKDIR [--spacing D] [--pixel-width W]\n"
               "       [--rescale | --window LO HI] [--bits 8|16]";
    }
    std::string getSummary() const override { return "turn the planes of a volume into a stack of TIFF slices"; }
    std::string getHelp() const override
    {
        return "Writes every plane z of the volume as the TIFF image IMAGESDIR/NAME_zzz.tif and\n"
               "the stack STACKDIR/NAME.sdf whose slices, named zzz, show them. Values are kept:\n"
               "8-bit volumes give 8-bit images, 16-bit volumes 16-bit images, and volumes of\n"
               "other types whose values are all whole numbers from 0 to 255 (or 65535) 8-bit\n"
               "(16-bit) images holding them exactly. Other values (negative, fractional,\n"
               "larger) are refused unless --window or --rescale says how they become grey\n"
               "levels, the same way on every slice. Pixels and spacing come from the volume's\n"
               "voxel size and length unit unless given. Directories are created when missing;\n"
               "an existing stack file is kept as NAME.sdf~1; existing files that are the\n"
               "volume or of another kind (not a stack file, not a TIFF image) are never\n"
               "replaced.\n\n"
               "Options:\n"
               "  --spacing D       distance between slices (default: the voxel depth)\n"
               "  --pixel-width W   pixel width (default: the voxel width); the pixel keeps\n"
               "                    the voxel's height:width ratio\n"
               "  --window LO HI    LO and below become black, HI and above white, values\n"
               "                    between spread linearly (for every slice alike)\n"
               "  --rescale         the window from the volume's smallest to its largest\n"
               "                    value (for volumes such as density maps)\n"
               "  --bits 8|16       the images' bits with --window or --rescale (default 8)\n\n"
               "Example:\n"
               "  plexan-cli volume-to-stack out/sample.vm copy out/copy-images out\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(4, 4);
        arguments.addOption("--spacing");
        arguments.addOption("--pixel-width");
        declareSliceValues(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override
    {
        const std::string name = arguments.positional(1);
        if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
            throw ArgumentError("NAME must be a plain file name, not \"" + name + "\"");
        const std::string imagesDirectory = arguments.positional(2);
        const std::string stackDirectory = arguments.positional(3);
        double spacing = 0.0, pixelWidth = 0.0;
        if (arguments.has("--spacing")) {
            spacing = Arguments::toReal(arguments.value("--spacing"), "--spacing");
            if (spacing <= 0.0)
                throw ArgumentError("--spacing must be positive");
        }
        if (arguments.has("--pixel-width")) {
            pixelWidth = Arguments::toReal(arguments.value("--pixel-width"), "--pixel-width");
            if (pixelWidth <= 0.0)
                throw ArgumentError("--pixel-width must be positive");
        }
        const SliceValues values = sliceValues(arguments, false, "");

        const std::string file = arguments.positional(0);
        AnyVoxelMatrix volume = loadAnyVolume(file);
        if (volume.isEmpty())
            throw CommandError("the volume is empty");
        VoxelCalibration c = volume.getVoxelCalibration();
        if (pixelWidth > 0.0) {
            const double aspect = c.getVoxelHeight() / c.getVoxelWidth();
            c.setVoxelWidth(static_cast<float>(pixelWidth));
            c.setVoxelHeight(static_cast<float>(pixelWidth * aspect));
        }
        if (spacing > 0.0)
            c.setVoxelDepth(static_cast<float>(spacing));
        volume.setVoxelCalibration(c);

        InputFiles inputs;
        inputs.add(file);
        const std::string stackFile = (std::filesystem::path(stackDirectory) / (name + ".sdf")).string();
        const int slices = writeNewStack(volume, name, imagesDirectory, stackFile, values, inputs, context);

        const LengthUnit& unit = c.getLengthUnit();
        MorphometryTable summary({"stack file", "slices", MorphometryTable::header("pixel width", unit),
                                  MorphometryTable::header("pixel height", unit),
                                  MorphometryTable::header("spacing", unit)});
        summary.addRow({Cell::text(stackFile), Cell::integer(slices), Cell::real(shortest(c.getVoxelWidth())),
                        Cell::real(shortest(c.getVoxelHeight())), Cell::real(shortest(c.getVoxelDepth()))});
        summary.writeTsv(context.out);
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeVolumeToStackCommand()
{
    return std::make_unique<VolumeToStackCommand>();
}
