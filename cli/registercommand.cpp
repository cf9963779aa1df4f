// plexan-cli register: automatic registration of slices on the slices
// before them, as the registration window's automatic mode does it.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/terminalprogress.h"
#include "stack/morphometrytable.h"
#include "stack/sliceregistration.h"
#include "stack/stackbackups.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

namespace {

using Cell = MorphometryTable::Cell;

class RegisterCommand : public Command {
public:
    std::string getName() const override { return "register"; }
    std::string getUsage() const override
    {
        return "STACK.sdf -o OUT.sdf [--slice NAME] [--format tsv|csv] [--lenient]";
    }
    std::string getSummary() const override { return "align every slice (or one) on the previous one"; }
    std::string getHelp() const override
    {
        return "Registers every slice from the second on (or only the slice NAME) on the slice\n"
               "before it, as the registration window's automatic mode does: both images are\n"
               "matched by their grey-level centroids and principal axes, and the slice gets\n"
               "the shift (whole pixels) and rotation (degrees) that bring it onto the\n"
               "previous slice. The stack is then saved to OUT.sdf, which must be another\n"
               "file than STACK.sdf; an existing OUT.sdf is kept as OUT.sdf~1, older ones as\n"
               "~2 to ~5. Prints the new registration of every slice registered.\n\n"
               "Options:\n"
               "  -o FILE            the stack file to write (required)\n"
               "  --slice NAME       register only this slice\n"
               "  --format tsv|csv   table form (default tsv)\n"
               "  --lenient          go on despite errors in the stack file's log\n\n"
               "Example:\n"
               "  plexan-cli register data/sample/sample.sdf -o out/sample-registered.sdf\n";
    }
    void declare(Arguments& arguments) const override
    {
        arguments.setPositionalCount(1, 1);
        arguments.addOption("-o");
        arguments.addOption("--slice");
        declareFormat(arguments);
        declareLenient(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override
    {
        const std::string format = tableFormat(arguments);
        if (!arguments.has("-o"))
            throw ArgumentError("missing -o OUT.sdf");
        const std::string output = arguments.value("-o");
        checkExtension(output, {OutputKind::Stack}, "-o");
        StackReading reading;
        reading.needImages = true;
        reading.lenient = arguments.has("--lenient");
        const StackInput input = readStack(arguments.positional(0), context, reading);
        Stack& stack = *input.stack;
        // Neither the output nor the backups it pushes along may be an input.
        InputFiles inputs;
        inputs.add(input.file);
        inputs.addImages(stack);
        checkOutput(output, OutputKind::Stack, inputs);
        for (int i = 1; i <= StackBackups::defaultMaxBackups; ++i)
            if (const std::string backup = StackBackups::backupName(output, i); !inputs.find(backup).empty())
                throw ArgumentError("the output " + output + " would push its backup " + backup +
                                    ", an input, along: an output never replaces an input");

        std::vector<const StackSlice*> registered;
        SliceRegistration registration;
        if (arguments.has("--slice")) {
            const std::string name = arguments.value("--slice");
            const int index = stack.findSlice(name);
            if (index < 0)
                throw ArgumentError("stack \"" + stack.getName() + "\" has no slice \"" + name + "\"");
            if (index == 0)
                throw ArgumentError("slice \"" + name + "\" is the first slice: it has no previous slice");
            registration.registerSlice(*stack.getSlice(index));
            registered.push_back(stack.getSlice(index));
        } else {
            registration.addMonitor(context.progress);
            registration.registerAllSlices(stack);
            registration.removeMonitor(context.progress);
            for (int i = 1; i < stack.getNumSlices(); ++i)
                registered.push_back(stack.getSlice(i));
        }
        writeStack(stack, output, context);

        MorphometryTable table({"slice", "horizontal shift", "vertical shift", "rotation angle"});
        for (const StackSlice* slice : registered) {
            const Registration& r = slice->getRegistration();
            table.addRow({Cell::text(slice->getName()), Cell::integer(r.getHorizontalShift()),
                          Cell::integer(r.getVerticalShift()), Cell::real(shortest(r.getRotationAngle()))});
        }
        writeTable(table, format, context.out);
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> makeRegisterCommand()
{
    return std::make_unique<RegisterCommand>();
}
