// plexan-cli import: a volume or a new stack from the files of other
// programs (multi-page TIFF, NIfTI, NRRD, MRC, a series of 2D images).

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/pendingdirectory.h"
#include "cli/terminalprogress.h"
#include "cli/volumeoutput.h"
#include "image/imageheader.h"
#include "image/imagereader.h"
#include "image/imageseries.h"
#include "image/imagesourcefile.h"
#include "image/lengthunittext.h"
#include "image/volumeimport.h"
#include "numerics/exception.h"
#include "stack/morphometrytable.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;
using Cell = MorphometryTable::Cell;

// The slice images of a series that a stack shows as they are: TIFF and
// IMG images the slice reader takes, all of one size.
bool showableInPlace(const std::vector<std::string>& files)
{
    int width = -1, height = -1;
    for (const std::string& file : files) {
        ImageHeader header;
        try {
            ImageReader().read(header, file);
        } catch (const Exception&) {
            return false;
        }
        if (width >= 0 && (header.getWidth() != width || header.getHeight() != height))
            return false;
        width = header.getWidth();
        height = header.getHeight();
    }
    return !files.empty();
}

class ImportCommand : public Command {
public:
    std::string getName() const override { return "import"; }
    std::string getUsage() const override
    {
        return "INPUT... -o OUT.vm|OUT.sdf [--voxel-size X[,Y,Z]] [--unit U] [--channel C] [--frame T]\n"
               "       [--images DIR] [--rescale | --window LO HI] [--bits 8|16]";
    }
    std::string getSummary() const override { return "a volume or a new stack from TIFF, NIfTI, NRRD, MRC or images"; }
    std::string getHelp() const override
    {
        return "Reads a volume from the files other programs write, told by their content:\n"
               "  - a multi-page TIFF (plain, ImageJ hyperstack or OME-TIFF), one page per plane;\n"
               "  - a NIfTI-1 or NIfTI-2 volume (.nii, .nii.gz, .hdr with its .img);\n"
               "  - an NRRD volume (.nrrd, or .nhdr with its raw or gzip data file);\n"
               "  - an MRC or CCP4 map (.mrc, .map, .ccp4, .mrcs, .st, .rec);\n"
               "  - a series of 2D images (TIFF or IMG): a directory, a quoted pattern such as\n"
               "    'sections/*.tif', or several files, in natural number order (2 before 10);\n"
               "  - a voxel matrix (.vm).\n"
               "Values keep their type: 8-, 16- and 32-bit integers and floats stay as they are.\n"
               "The voxel size and length unit come from the file (NIfTI and MRC rows run up:\n"
               "row 0 is the top of the picture as their viewers show it; see docs/formats.md).\n\n"
               "OUT.vm is a voxel matrix of the file's type. OUT.sdf is a new stack: its slices\n"
               "are written as TIFF images OUT_zzz.tif beside it (or in --images DIR), 16-bit\n"
               "for 16-bit data, 8-bit for 8-bit data; a series of slice images the stack can\n"
               "show (TIFF or IMG, of one size) is named in place instead. Values that do not\n"
               "fit slice images (negative, fractional, beyond 65535) are refused unless\n"
               "--window or --rescale says how to bring them to grey levels, the same for\n"
               "every slice. Prints what was read; notes (a channel chosen, a unit assumed)\n"
               "go to the error stream as warnings.\n\n"
               "Options:\n"
               "  -o FILE            the output, .vm or .sdf (required)\n"
               "  --voxel-size S     voxel width, height and depth (X,Y,Z), or one value for\n"
               "                     cubic voxels, replacing the file's\n"
               "  --unit U           their length unit (m, mm, um or µm, nm), replacing the file's\n"
               "  --channel C        the channel (colour component, ImageJ or OME channel) to\n"
               "                     read, from 0 (default 0)\n"
               "  --frame T          the time point or volume to read, from 0 (default 0)\n"
               "  --images DIR       where the slice images of a new stack go (default: OUT's\n"
               "                     directory)\n"
               "  --window LO HI     slices show LO and below black, HI and above white\n"
               "  --rescale          slices show the volume's whole range, black to white\n"
               "  --bits 8|16        the slice images' bits with --window or --rescale (8)\n\n"
               "Examples:\n"
               "  plexan-cli import brain.nii.gz -o out/brain.vm\n"
               "  plexan-cli import stack.ome.tif -o out/cells.sdf --channel 1\n"
               "  plexan-cli import 'sections/*.tif' -o out/sections.sdf --voxel-size 0.8,0.8,4 --unit um\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(1, -1);
        arguments.addOption("-o");
        arguments.addOption("--voxel-size");
        arguments.addOption("--unit");
        arguments.addOption("--channel");
        arguments.addOption("--frame");
        arguments.addOption("--images");
        declareSliceValues(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override;
};

int ImportCommand::run(const Arguments& arguments, CommandContext& context) const
{
    if (!arguments.has("-o"))
        throw ArgumentError("missing -o OUT.vm|OUT.sdf");
    const std::string output = arguments.value("-o");
    checkExtension(output, {OutputKind::VoxelMatrix, OutputKind::Stack}, "-o");
    const bool stackOutput = fs::path(output).extension() == ".sdf";
    VolumeSelection selection;
    if (arguments.has("--channel")) {
        selection.channel = Arguments::toInteger(arguments.value("--channel"), "--channel");
        if (selection.channel < 0)
            throw ArgumentError("--channel counts from 0");
    }
    if (arguments.has("--frame")) {
        selection.frame = Arguments::toInteger(arguments.value("--frame"), "--frame");
        if (selection.frame < 0)
            throw ArgumentError("--frame counts from 0");
    }
    std::vector<double> voxelSize;
    if (arguments.has("--voxel-size")) {
        voxelSize = Arguments::toReals(arguments.value("--voxel-size"), "--voxel-size");
        if (voxelSize.size() != 1 && voxelSize.size() != 3)
            throw ArgumentError("--voxel-size takes one value or three (X,Y,Z)");
        for (const double v : voxelSize)
            if (!(v > 0.0 && v < 3.0e38))
                throw ArgumentError("--voxel-size must be positive");
        if (voxelSize.size() == 1)
            voxelSize = {voxelSize[0], voxelSize[0], voxelSize[0]};
    }
    LengthUnitText unit;
    if (arguments.has("--unit") && !LengthUnitText::parse(arguments.value("--unit"), unit))
        throw ArgumentError("--unit \"" + arguments.value("--unit") + "\" is no length unit (m, mm, um, nm...)");
    const SliceValues values = sliceValues(arguments, !stackOutput, "an .sdf output");

    const std::vector<std::string>& inputs = arguments.getPositionals();
    const VolumeImport::Source source = VolumeImport::sourceOf(inputs);
    std::vector<std::string> series;
    if (source == VolumeImport::Source::ImageSeries)
        series = ImageSeries::files(inputs);
    InputFiles files;
    for (const std::string& input : inputs)
        files.add(input);
    for (const std::string& file : series)
        files.add(file);
    // A new stack's directory is made when missing (writeNewStack).
    const fs::path parent = fs::path(output).has_parent_path() ? fs::path(output).parent_path() : fs::path(".");
    std::error_code missing;
    if (!stackOutput || fs::exists(parent, missing))
        checkOutput(output, stackOutput ? OutputKind::Stack : OutputKind::VoxelMatrix, files);
    else
        checkOutputDirectory(parent.string());

    VolumeImport import;
    import.setSelection(selection);
    import.addMonitor(context.progress);
    ImportedVolume imported = import.read(inputs);
    import.removeMonitor(context.progress);
    context.progress.clear();
    for (const std::string& note : imported.notes)
        if (!(voxelSize.size() == 3 && note.find("voxel size") != std::string::npos) &&
            !(arguments.has("--unit") && note.find("length unit") != std::string::npos))
            context.warn(note);

    VoxelCalibration calibration = imported.volume.getVoxelCalibration();
    if (arguments.has("--unit")) {
        // The file's numbers, in the unit given.
        calibration.setLengthUnit(LengthUnit(unit.scale));
        calibration.setVoxelWidth(static_cast<float>(calibration.getVoxelWidth() * unit.factor));
        calibration.setVoxelHeight(static_cast<float>(calibration.getVoxelHeight() * unit.factor));
        calibration.setVoxelDepth(static_cast<float>(calibration.getVoxelDepth() * unit.factor));
    }
    if (!voxelSize.empty()) {
        calibration.setVoxelWidth(static_cast<float>(voxelSize[0] * unit.factor));
        calibration.setVoxelHeight(static_cast<float>(voxelSize[1] * unit.factor));
        calibration.setVoxelDepth(static_cast<float>(voxelSize[2] * unit.factor));
    }
    imported.volume.setVoxelCalibration(calibration);
    const AnyVoxelMatrix& volume = imported.volume;
    if (volume.isEmpty())
        throw CommandError("the input holds no voxels");

    if (!stackOutput) {
        writeVolume(volume, output);
    } else if (!series.empty() && values.values == StackFromVolume::Values::Keep && !arguments.has("--channel") &&
               !arguments.has("--images") && showableInPlace(series)) {
        // The stack names the images where they are.
        Stack stack;
        stack.setName(fs::path(output).stem().string());
        PixelCalibration pixel;
        pixel.setLengthUnit(calibration.getLengthUnit());
        pixel.setPixelWidth(calibration.getVoxelWidth());
        pixel.setPixelHeight(calibration.getVoxelHeight());
        pixel.setAspectRatio(calibration.getVoxelHeight() / calibration.getVoxelWidth());
        stack.setDefaultPixelCalibration(pixel);
        stack.setDefaultRelativePosition(calibration.getVoxelDepth());
        for (std::size_t z = 0; z < series.size(); ++z) {
            auto* slice = new StackSlice(fs::path(series[z]).stem().string());
            stack.addSlice(slice);
            slice->setImageSource(ImageSourceFile(fs::absolute(series[z]).lexically_normal().string()));
            slice->setPixelCalibration(pixel);
            slice->setRelativePosition(calibration.getVoxelDepth());
        }
        writeStack(stack, output, context);
    } else {
        const std::string directory =
            arguments.has("--images") ? arguments.value("--images") : fs::path(output).parent_path().string();
        writeNewStack(volume, fs::path(output).stem().string(), directory, output, values, files, context);
    }

    const LengthUnit& u = calibration.getLengthUnit();
    MorphometryTable summary({"file", "format", "voxels", "columns", "rows", "planes",
                              MorphometryTable::header("voxel width", u), MorphometryTable::header("voxel height", u),
                              MorphometryTable::header("voxel depth", u)});
    summary.addRow({Cell::text(output), Cell::text(imported.format), Cell::text(volume.getTypeName()),
                    Cell::integer(volume.getSize2()), Cell::integer(volume.getSize1()),
                    Cell::integer(volume.getSize3()), Cell::real(shortest(calibration.getVoxelWidth())),
                    Cell::real(shortest(calibration.getVoxelHeight())),
                    Cell::real(shortest(calibration.getVoxelDepth()))});
    summary.writeTsv(context.out);
    return 0;
}

} // namespace

std::unique_ptr<Command> makeImportCommand()
{
    return std::make_unique<ImportCommand>();
}
