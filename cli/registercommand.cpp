// plexan-cli register: automatic registration of slices on the slices
// before them, by correlation (the default) or by principal axes (the
// registration window's automatic mode), with the score of every alignment.

#include "cli/command.h"
#include "cli/commandfiles.h"
#include "cli/terminalprogress.h"
#include "stack/morphometrytable.h"
#include "stack/sliceregistration.h"
#include "stack/stackbackups.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <cmath>
#include <iomanip>
#include <locale>
#include <sstream>

namespace {

using Cell = MorphometryTable::Cell;

// A score to four decimals, as the table and the messages show it.
double rounded(double score)
{
    return std::round(score * 1e4) / 1e4;
}

// Numbers in the "C" form whatever the locale.
std::string score(double value)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(4) << rounded(value);
    return text.str();
}

std::string describe(const Registration& r)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << r.getHorizontalShift() << ", " << r.getVerticalShift() << ", " << std::fixed << std::setprecision(1)
         << r.getRotationAngle();
    return text.str();
}

class RegisterCommand : public Command {
public:
    std::string getName() const override { return "register"; }
    std::string getUsage() const override
    {
        return "STACK.sdf -o OUT.sdf [--method correlation|principal-axes] [--slice NAME] [--format tsv|csv] "
               "[--lenient]";
    }
    std::string getSummary() const override { return "align every slice (or one) on the previous one"; }
    std::string getHelp() const override
    {
        return "Registers every slice from the second on (or only the slice NAME) on the slice\n"
               "before it: the slice gets the shift (whole pixels) and rotation (degrees, to a\n"
               "tenth) that bring it onto the previous slice. Two methods:\n"
               "  correlation      (the default) searches every angle and shift for the best\n"
               "                   normalised cross-correlation of the two images' outlines,\n"
               "                   to a fraction of a pixel; each slice is rounded from where\n"
               "                   the slices before it are, so that roundings do not add up\n"
               "  principal-axes   matches the grey-level centroids and principal axes, as\n"
               "                   the registration window's automatic mode does (fast, but\n"
               "                   blind to round sections and to slices already aligned)\n"
               "Every alignment is scored: the correlation of the slice's grey levels with the\n"
               "previous slice's where they overlap, with its registration before and with the\n"
               "one found (1 is a perfect match). A registration that does not raise the score\n"
               "is not applied: the slice keeps its registration, with a warning.\n"
               "The stack is then saved to OUT.sdf, which must be another file than STACK.sdf;\n"
               "an existing OUT.sdf is kept as OUT.sdf~1, older ones as ~2 to ~5. Prints, for\n"
               "every slice registered, its registration afterwards, both scores and whether\n"
               "the registration found was applied, kept out, or the one it had.\n\n"
               "Options:\n"
               "  -o FILE            the stack file to write (required)\n"
               "  --method M         correlation (default) or principal-axes\n"
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
        arguments.addOption("--method");
        declareFormat(arguments);
        declareLenient(arguments);
    }
    int run(const Arguments& arguments, CommandContext& context) const override
    {
        const std::string format = tableFormat(arguments);
        const std::string method = Arguments::toChoice(arguments.value("--method", "correlation"),
                                                       {"correlation", "principal-axes"}, "--method");
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

        SliceRegistration registration;
        registration.setMethod(method == "correlation" ? SliceRegistration::Method::Correlation
                                                       : SliceRegistration::Method::PrincipalAxes);
        if (arguments.has("--slice")) {
            const std::string name = arguments.value("--slice");
            const int index = stack.findSlice(name);
            if (index < 0)
                throw ArgumentError("stack \"" + stack.getName() + "\" has no slice \"" + name + "\"");
            if (index == 0)
                throw ArgumentError("slice \"" + name + "\" is the first slice: it has no previous slice");
            registration.registerSlice(*stack.getSlice(index));
        } else {
            registration.addMonitor(context.progress);
            registration.registerAllSlices(stack);
            registration.removeMonitor(context.progress);
        }
        using Outcome = SliceRegistration::Alignment::Outcome;
        for (const SliceRegistration::Alignment& a : registration.getAlignments())
            if (a.outcome == Outcome::Kept)
                context.warn("slice \"" + a.slice + "\" keeps its registration: the one found (" +
                             describe(a.found) + ") scores " + score(a.scoreAfter) + ", no better than " +
                             score(a.scoreBefore));
        writeStack(stack, output, context);

        MorphometryTable table({"slice", "horizontal shift", "vertical shift", "rotation angle", "score before",
                                "score after", "registration"});
        for (const SliceRegistration::Alignment& a : registration.getAlignments()) {
            const Registration& r = stack.getSlice(stack.findSlice(a.slice))->getRegistration();
            const char* status = a.outcome == Outcome::Applied   ? "applied"
                                 : a.outcome == Outcome::Kept    ? "kept"
                                 : a.outcome == Outcome::Unchanged ? "unchanged"
                                                                   : "canceled";
            table.addRow({Cell::text(a.slice), Cell::integer(r.getHorizontalShift()),
                          Cell::integer(r.getVerticalShift()), Cell::real(shortest(r.getRotationAngle())),
                          Cell::real(rounded(a.scoreBefore)), Cell::real(rounded(a.scoreAfter)),
                          Cell::text(status)});
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
