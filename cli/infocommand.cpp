// plexan-cli info: what a stack file holds.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "image/imagesource.h"
#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/morphometrytable.h"
#include "stack/pose.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <ostream>

namespace {

using Cell = MorphometryTable::Cell;

std::string imageName(const StackSlice& slice)
{
    if (!slice.hasImageSource())
        return "";
    const ImageSource& source = slice.getImageSource();
    if (const auto* file = dynamic_cast<const ImageSourceFile*>(&source))
        return file->getFilename();
    if (const auto* plane = dynamic_cast<const ImageSourceVoxelMatrixPlane*>(&source))
        return plane->getVoxelMatrixFilename() + "#" + std::to_string(plane->getPlane());
    if (const auto* mosaic = dynamic_cast<const ImageSourceFileMosaic*>(&source))
        return "mosaic of " + std::to_string(mosaic->getRows()) + " x " + std::to_string(mosaic->getCols());
    return "";
}

class InfoCommand : public Command {
public:
    std::string getName() const override { return "info"; }
    std::string getUsage() const override { return "STACK.sdf [--format tsv|csv] [--lenient]"; }
    std::string getSummary() const override { return "describe a stack: slices, models, poses, read log"; }
    std::string getHelp() const override
    {
        return "Reads a stack file and prints, as tables separated by empty lines:\n"
               "  the stack (name, file, length unit, counts, default calibration and spacing);\n"
               "  its slices (name, image file, image columns and rows, position along the\n"
               "    stack, registration: shifts in pixels and angle in degrees);\n"
               "  its models (geometry, items, vertices) and its poses;\n"
               "  the reader's log with the line of each statement it refused or doubts.\n"
               "The log is also written to the error stream; with errors in it (a refused\n"
               "statement, a missing slice image, a value that makes no sense) the status\n"
               "is 1.\n\n"
               "Options:\n"
               "  --format tsv|csv   table form (default tsv)\n"
               "  --lenient          status 0 despite errors in the log\n\n"
               "Example:\n"
               "  plexan-cli info data/sample/sample.sdf\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(1, 1);
        declareFormat(arguments);
        declareLenient(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override;
};

int InfoCommand::run(const Arguments& arguments, CommandContext& context) const
{
    const std::string format = tableFormat(arguments);
    StackReading reading;
    reading.lenient = true; // the tables first, the verdict after them
    const StackInput input = readStack(arguments.positional(0), context, reading);
    const Stack& stack = *input.stack;
    std::ostream& out = context.out;

    MorphometryTable summary({"stack", "file", "unit", "slices", "models", "poses", "pixel width",
                              "pixel height", "spacing", "errors", "fatal errors", "warnings"});
    const PixelCalibration& calibration = stack.getDefaultPixelCalibration();
    summary.addRow({Cell::text(stack.getName()), Cell::text(input.file), Cell::text(stack.getLengthUnit().symbol()),
                    Cell::integer(stack.getNumSlices()), Cell::integer(stack.getNumModels()),
                    Cell::integer(stack.getNumPoses()), Cell::real(shortest(calibration.getPixelWidth())),
                    Cell::real(shortest(calibration.getPixelHeight())),
                    Cell::real(shortest(stack.getDefaultRelativePosition())), Cell::integer(input.errors),
                    Cell::integer(input.fatalErrors),
                    Cell::integer(static_cast<long long>(input.log.size()) - input.errors)});
    writeTable(summary, format, out);

    MorphometryTable slices({"slice", "image", "columns", "rows", "pixel width", "pixel height", "position",
                             "horizontal shift", "vertical shift", "rotation angle"});
    const std::vector<float> positions = stack.absolutePositions();
    for (int i = 0; i < stack.getNumSlices(); ++i) {
        const StackSlice& s = *stack.getSlice(i);
        const bool hasImage = s.hasImageSource();
        const Registration& r = s.getRegistration();
        slices.addRow({Cell::text(s.getName()), Cell::text(imageName(s)),
                       Cell::integer(hasImage ? s.getImageSource().getSize2() : 0),
                       Cell::integer(hasImage ? s.getImageSource().getSize1() : 0),
                       Cell::real(shortest(s.getPixelCalibration().getPixelWidth())),
                       Cell::real(shortest(s.getPixelCalibration().getPixelHeight())),
                       Cell::real(shortest(positions[static_cast<std::size_t>(i)])),
                       Cell::integer(r.getHorizontalShift()), Cell::integer(r.getVerticalShift()),
                       Cell::real(shortest(r.getRotationAngle()))});
    }
    out << '\n';
    writeTable(slices, format, out);

    MorphometryTable models({"model", "geometry", "items", "vertices"});
    for (int i = 0; i < stack.getNumModels(); ++i) {
        const Model& m = *stack.getModel(i);
        long long vertices = 0;
        for (int k = 0; k < m.getNumItems(); ++k)
            vertices += m.getItem(k)->getSize();
        models.addRow({Cell::text(m.getName()), Cell::text(ModelProperties::toString(m.getGeometry())),
                       Cell::integer(m.getNumItems()), Cell::integer(vertices)});
    }
    out << '\n';
    writeTable(models, format, out);

    MorphometryTable poses({"pose", "rotation x", "rotation y", "rotation z", "translation x", "translation y",
                            "zoom", "ambient light", "diffuse light", "specular light"});
    for (int i = 0; i < stack.getNumPoses(); ++i) {
        const Pose& p = *stack.getPose(i);
        const Vector<int> rotation = p.getRotation();
        const Vector<int>& translation = p.getTranslation();
        poses.addRow({Cell::text(p.getName()), Cell::integer(rotation[0]), Cell::integer(rotation[1]),
                      Cell::integer(rotation[2]), Cell::integer(translation[0]), Cell::integer(translation[1]),
                      Cell::integer(p.getZoom()), Cell::integer(p.getAmbientLight()),
                      Cell::integer(p.getDiffuseLight()), Cell::integer(p.getSpecularLight())});
    }
    out << '\n';
    writeTable(poses, format, out);

    MorphometryTable log({"line", "log"});
    for (const StackIO::LogEntry& entry : input.log)
        log.addRow({entry.line > 0 ? Cell::integer(entry.line) : Cell::missing(), Cell::text(entry.text)});
    out << '\n';
    writeTable(log, format, out);

    if (input.errors > 0 && !arguments.has("--lenient")) {
        out.flush();
        failOnErrors(input);
    }
    return 0;
}

} // namespace

std::unique_ptr<Command> makeInfoCommand()
{
    return std::make_unique<InfoCommand>();
}
