// plexan-cli volume-to-stack: the planes of a volume as a stack of TIFF
// slices and its stack file.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/pendingdirectory.h"
#include "image/imagesourcefile.h"
#include "image/pixelcalibration.h"
#include "image/voxelmatrix.h"
#include "numerics/exception.h"
#include "stack/morphometrytable.h"
#include "stack/stack.h"
#include "stack/stackslice.h"
#include "stack/stackwriter.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

using Cell = MorphometryTable::Cell;

struct Settings {
    std::string volumeFile;
    std::string name;
    std::string imagesDirectory;
    std::string stackDirectory;
    double spacing = 0.0;     // 0: the voxel depth
    double pixelWidth = 0.0;  // 0: the voxel width
    bool rescale = false;
};

void makeDirectory(const std::string& directory)
{
    std::error_code error;
    if (std::filesystem::is_directory(directory, error))
        return;
    std::filesystem::create_directories(directory, error);
    if (error)
        throw FileWriteError("plexan-cli volume-to-stack", "Cannot create directory: " + error.message(), directory);
}

// Writes the slices and the stack file aside, then moves the images into
// place and writes the stack file naming them there.
template <typename T>
std::unique_ptr<Stack> save(VoxelMatrix<T> volume, const Settings& s, CommandContext& context)
{
    if (volume.isEmpty())
        throw CommandError("the volume is empty");
    const VoxelCalibration& voxel = volume.getVoxelCalibration();
    const double width = s.pixelWidth > 0.0 ? s.pixelWidth : voxel.getVoxelWidth();
    const double aspect = voxel.getVoxelWidth() > 0.0f ? voxel.getVoxelHeight() / voxel.getVoxelWidth() : 1.0;
    PixelCalibration calibration;
    calibration.setLengthUnit(voxel.getLengthUnit());
    calibration.setPixelWidth(static_cast<float>(width));
    calibration.setPixelHeight(static_cast<float>(width * aspect));
    calibration.setAspectRatio(static_cast<float>(aspect));
    const float spacing = static_cast<float>(s.spacing > 0.0 ? s.spacing : voxel.getVoxelDepth());

    if (s.rescale) {
        // The volume's range onto the 256 grey levels of the slices.
        const Vector<T> range = volume.range();
        volume -= range[0];
        if (range[1] > range[0])
            volume *= static_cast<T>(255.0L / (static_cast<long double>(range[1]) - range[0]));
    }

    // Nothing is written before every output has been checked.
    InputFiles inputs;
    inputs.add(s.volumeFile);
    checkOutputDirectory(s.imagesDirectory);
    checkOutputDirectory(s.stackDirectory);
    std::error_code error;
    if (std::filesystem::is_directory(s.imagesDirectory, error))
        for (int z = 0; z < volume.getSize3(); ++z) {
            char plane[16];
            std::snprintf(plane, sizeof plane, "_%03d.tif", z);
            checkOutput((std::filesystem::path(s.imagesDirectory) / (s.name + plane)).string(), OutputKind::Tiff,
                        inputs);
        }
    if (std::filesystem::is_directory(s.stackDirectory, error))
        checkOutput((std::filesystem::path(s.stackDirectory) / (s.name + ".sdf")).string(), OutputKind::Stack,
                    inputs);

    makeDirectory(s.imagesDirectory);
    makeDirectory(s.stackDirectory);
    const PendingDirectory images(s.imagesDirectory);
    const PendingDirectory stacks(s.stackDirectory);
    StackWriter writer;
    if (!writer.saveAsStack(volume, s.name, images.getPath(), stacks.getPath(), calibration, spacing))
        throw FileWriteError("plexan-cli volume-to-stack", "Cannot write stack file",
                             stacks.targetName(s.name + ".sdf"));
    StackReading reading;
    reading.needImages = true;
    reading.quiet = true;
    StackInput input =
        readStack((std::filesystem::path(stacks.getPath()) / (s.name + ".sdf")).string(), context, reading);
    for (int i = 0; i < input.stack->getNumSlices(); ++i) {
        StackSlice& slice = *input.stack->getSlice(i);
        const auto& source = dynamic_cast<const ImageSourceFile&>(slice.getImageSource());
        const std::string file = images.commit(std::filesystem::path(source.getFilename()).filename().string());
        slice.setImageSource(ImageSourceFile(file));
    }
    writeStack(*input.stack, stacks.targetName(s.name + ".sdf"), context);
    return std::move(input.stack);
}

class VolumeToStackCommand : public Command {
public:
    std::string getName() const override { return "volume-to-stack"; }
    std::string getUsage() const override
    {
        return "VOLUME.vm NAME IMAGESDIR STACKDIR [--spacing D] [--pixel-width W] [--rescale]";
    }
    std::string getSummary() const override { return "turn the planes of a volume into a stack of TIFF slices"; }
    std::string getHelp() const override
    {
        return "Writes every plane z of the volume as the 8-bit TIFF image IMAGESDIR/NAME_zzz.tif\n"
               "(each value truncated to its low byte) and the stack STACKDIR/NAME.sdf whose\n"
               "slices, named zzz, show them. Pixels and spacing come from the volume's voxel\n"
               "size and length unit unless given. Directories are created when missing; an\n"
               "existing stack file is kept as NAME.sdf~1; existing files that are the volume\n"
               "or of another kind (not a stack file, not a TIFF image) are never replaced.\n\n"
               "Options:\n"
               "  --spacing D       distance between slices (default: the voxel depth)\n"
               "  --pixel-width W   pixel width (default: the voxel width); the pixel keeps\n"
               "                    the voxel's height:width ratio\n"
               "  --rescale         stretch the volume's range onto the grey levels 0 to 255\n"
               "                    first (for volumes such as density maps)\n\n"
               "Example:\n"
               "  plexan-cli volume-to-stack out/sample.vm copy out/copy-images out\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(4, 4);
        arguments.addOption("--spacing");
        arguments.addOption("--pixel-width");
        arguments.addFlag("--rescale");
    }
    int run(const Arguments& arguments, CommandContext& context) const override
    {
        Settings s;
        s.name = arguments.positional(1);
        if (s.name.empty() || s.name.find('/') != std::string::npos || s.name == "." || s.name == "..")
            throw ArgumentError("NAME must be a plain file name, not \"" + s.name + "\"");
        s.imagesDirectory = arguments.positional(2);
        s.stackDirectory = arguments.positional(3);
        s.rescale = arguments.has("--rescale");
        if (arguments.has("--spacing")) {
            s.spacing = Arguments::toReal(arguments.value("--spacing"), "--spacing");
            if (s.spacing <= 0.0)
                throw ArgumentError("--spacing must be positive");
        }
        if (arguments.has("--pixel-width")) {
            s.pixelWidth = Arguments::toReal(arguments.value("--pixel-width"), "--pixel-width");
            if (s.pixelWidth <= 0.0)
                throw ArgumentError("--pixel-width must be positive");
        }

        const std::string file = arguments.positional(0);
        s.volumeFile = file;
        std::unique_ptr<Stack> stack;
        switch (voxelType(file)) {
        case VoxelType::Float:
            stack = save(loadVolume<float>(file), s, context);
            break;
        case VoxelType::Double:
            stack = save(loadVolume<double>(file), s, context);
            break;
        case VoxelType::Int:
            stack = save(loadVolume<int>(file), s, context);
            break;
        case VoxelType::LongDouble:
            stack = save(loadVolume<long double>(file), s, context);
            break;
        case VoxelType::UnsignedInt: {
            const VoxelMatrix<unsigned int> volume = loadVolume<unsigned int>(file);
            VoxelMatrix<double> values = volume.toType<double>();
            values.setVoxelCalibration(volume.getVoxelCalibration());
            stack = save(std::move(values), s, context);
            break;
        }
        }

        const PixelCalibration& c = stack->getDefaultPixelCalibration();
        const LengthUnit& unit = stack->getLengthUnit();
        MorphometryTable summary({"stack file", "slices", MorphometryTable::header("pixel width", unit),
                                  MorphometryTable::header("pixel height", unit),
                                  MorphometryTable::header("spacing", unit)});
        summary.addRow({Cell::text((std::filesystem::path(s.stackDirectory) / (s.name + ".sdf")).string()),
                        Cell::integer(stack->getNumSlices()), Cell::real(shortest(c.getPixelWidth())),
                        Cell::real(shortest(c.getPixelHeight())),
                        Cell::real(shortest(stack->getDefaultRelativePosition()))});
        summary.writeTsv(context.out);
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeVolumeToStackCommand()
{
    return std::make_unique<VolumeToStackCommand>();
}
