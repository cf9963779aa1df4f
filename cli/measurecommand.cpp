// plexan-cli measure: the model table of the analysis window, or the item
// table of one model.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "stack/model.h"
#include "stack/morphometrytable.h"
#include "stack/stack.h"

namespace {

class MeasureCommand : public Command {
public:
    std::string getName() const override { return "measure"; }
    std::string getUsage() const override
    {
        return "STACK.sdf [--geometry polygon|polyline|polypoint] [--model NAME] [--format tsv|csv] "
               "[--triangulation matched|literal] [--digits N] [--lenient]";
    }
    std::string getSummary() const override { return "measure the models of a stack (model or item table)"; }
    std::string getHelp() const override
    {
        return "Measures the models of a stack in its 3D frame, as the analysis window does,\n"
               "and prints the model table: one row per model of the chosen geometry that has\n"
               "items, with its vertex count, centre (AverageX, AverageY, AverageZ), contour\n"
               "count, surface area (polygons and polylines) and slab volume (polygons).\n"
               "The surface area comes from a triangulation between successive outlines;\n"
               "by default their starting points are matched level to level first (and\n"
               "every outline turned the same way round), so that the area does not depend\n"
               "on where or which way each outline was drawn. --triangulation literal joins\n"
               "the outlines as drawn, from their closest vertices (the analysis window's\n"
               "table). The last column, Triangulation, names the one used.\n"
               "Values are in the stack's length unit, named in the headers; an area or a\n"
               "volume that cannot be measured (two contours on one slice) is NA.\n"
               "With --model, prints instead the item table of that model: one row per item\n"
               "(per point for a point model) with its slice and its own measures.\n\n"
               "Options:\n"
               "  --geometry G       polygon (default), polyline or polypoint\n"
               "  --model NAME       the item table of the model NAME\n"
               "  --triangulation T  matched (default) or literal\n"
               "  --format tsv|csv   table form (default tsv)\n"
               "  --digits N         significant digits (default: as many as needed to\n"
               "                     read the value back exactly)\n"
               "  --lenient          measure despite errors in the stack file's log\n\n"
               "Examples:\n"
               "  plexan-cli measure data/sample/sample.sdf\n"
               "  plexan-cli measure data/sample/sample.sdf --model lumen --format csv\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(1, 1);
        arguments.addOption("--geometry");
        arguments.addOption("--model");
        arguments.addOption("--triangulation");
        arguments.addOption("--digits");
        declareFormat(arguments);
        declareLenient(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override
    {
        const std::string format = tableFormat(arguments);
        const std::string geometry = Arguments::toChoice(arguments.value("--geometry", "polygon"),
                                                         {"polygon", "polyline", "polypoint"}, "--geometry");
        const ModelMorphometry::Surface surface =
            Arguments::toChoice(arguments.value("--triangulation", "matched"), {"matched", "literal"},
                                "--triangulation") == "literal"
                ? ModelMorphometry::Surface::Literal
                : ModelMorphometry::Surface::MatchedStarts;
        int digits = 0;
        if (arguments.has("--digits")) {
            digits = Arguments::toInteger(arguments.value("--digits"), "--digits");
            if (digits < 1 || digits > 17)
                throw ArgumentError("--digits must be between 1 and 17");
        }
        StackReading reading;
        reading.lenient = arguments.has("--lenient");
        const StackInput input = readStack(arguments.positional(0), context, reading);
        const Stack& stack = *input.stack;

        MorphometryTable table;
        if (arguments.has("--model")) {
            const std::string name = arguments.value("--model");
            const int index = stack.findModel(name);
            if (index < 0)
                throw ArgumentError("stack \"" + stack.getName() + "\" has no model \"" + name + "\"");
            table = MorphometryTable::itemTable(stack, *stack.getModel(index));
        } else {
            const MPrimitive g = geometry == "polyline"    ? MPrimitive::Polyline
                                 : geometry == "polypoint" ? MPrimitive::Polypoint
                                                           : MPrimitive::Polygon;
            table = MorphometryTable::modelTable(stack, g, surface);
        }
        table.setPrecision(digits);
        writeTable(table, format, context.out);
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeMeasureCommand()
{
    return std::make_unique<MeasureCommand>();
}
