#include "cli/plexancli.h"

#include "cli/command.h"
#include "cli/terminalprogress.h"
#include "numerics/exception.h"

#include <algorithm>
#include <exception>
#include <locale>
#include <new>
#include <ostream>

#ifndef PLEXAN_VERSION
#define PLEXAN_VERSION "unknown"
#endif

namespace {

const char* const program = "plexan-cli";

std::vector<std::unique_ptr<Command>> commands()
{
    std::vector<std::unique_ptr<Command>> list;
    list.push_back(makeInfoCommand());
    list.push_back(makeMeasureCommand());
    list.push_back(makeExportStlCommand());
    list.push_back(makeIsosurfaceCommand());
    list.push_back(makeRegisterCommand());
    list.push_back(makeStackToVolumeCommand());
    list.push_back(makeVolumeToStackCommand());
    list.push_back(makeDensityCommand());
    list.push_back(makeSegmentCommand());
    list.push_back(makeFuseCommand());
    list.push_back(makeImportCommand());
    return list;
}

void printUsage(std::ostream& stream, const std::vector<std::unique_ptr<Command>>& list)
{
    stream << "Usage: " << program << " COMMAND [ARGUMENTS...]\n"
           << "       " << program << " COMMAND --help\n\n"
           << "Measures, aligns and converts Plexan stacks (.sdf) and volumes (.vm) in batch.\n\n"
           << "Commands:\n";
    for (const auto& c : list) {
        const std::string name = c->getName();
        stream << "  " << name << std::string(name.size() < 17 ? 17 - name.size() : 1, ' ') << c->getSummary()
               << "\n";
    }
    stream << "\nTables are written tab-separated, numbers with a decimal point whatever the\n"
           << "locale. Outputs replace existing files only once they are complete.\n"
           << "Exit status: 0 success, 1 failure, 2 bad arguments.\n";
}

void printHelp(std::ostream& stream, const Command& c)
{
    stream << "Usage: " << program << " " << c.getName() << " " << c.getUsage() << "\n\n" << c.getHelp();
}

// One line, whatever the message holds.
std::string oneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

std::string describe(const Exception& e)
{
    std::string text = e.getWhat();
    if (const auto* f = dynamic_cast<const FileError*>(&e))
        if (!f->getFile().empty() && text.find(f->getFile()) == std::string::npos)
            text = f->getFile() + ": " + text;
    return text;
}

} // namespace

void CommandContext::warn(const std::string& text) const
{
    progress.clear();
    err << prefix << ": warning: " << oneLine(text) << std::endl;
}

void CommandContext::report(const std::string& text) const
{
    progress.clear();
    err << prefix << ": " << oneLine(text) << std::endl;
}

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progress)
{
    // Numbers in the "C" form whatever the user's locale.
    const std::locale outLocale = out.imbue(std::locale::classic());
    const std::locale errLocale = err.imbue(std::locale::classic());
    struct Restore {
        std::ostream& out;
        std::ostream& err;
        std::locale outLocale;
        std::locale errLocale;
        ~Restore()
        {
            out.imbue(outLocale);
            err.imbue(errLocale);
        }
    } restore{out, err, outLocale, errLocale};

    const auto list = commands();
    if (args.empty()) {
        printUsage(err, list);
        return 2;
    }
    const std::string& name = args.front();
    if (name == "--help" || name == "-h" || name == "help") {
        if (name == "help" && args.size() > 1) {
            for (const auto& c : list)
                if (c->getName() == args[1]) {
                    printHelp(out, *c);
                    return 0;
                }
            err << program << ": unknown command \"" << oneLine(args[1]) << "\" (see " << program << " --help)"
                << std::endl;
            return 2;
        }
        printUsage(out, list);
        return 0;
    }
    if (name == "--version") {
        out << program << " " << PLEXAN_VERSION << "\n";
        return 0;
    }
    const auto found =
        std::find_if(list.begin(), list.end(), [&](const auto& c) { return c->getName() == name; });
    if (found == list.end()) {
        err << program << ": unknown command \"" << oneLine(name) << "\" (see " << program << " --help)"
            << std::endl;
        return 2;
    }
    const Command& command = **found;

    TerminalProgress bar(err, progress);
    CommandContext context{out, err, bar, std::string(program) + " " + command.getName()};
    try {
        Arguments arguments;
        command.declare(arguments);
        arguments.parse(std::vector<std::string>(args.begin() + 1, args.end()));
        if (arguments.isHelp()) {
            printHelp(out, command);
            return 0;
        }
        const int status = command.run(arguments, context);
        out.flush();
        return status;
    } catch (const ArgumentError& e) {
        bar.clear();
        err << context.prefix << ": " << oneLine(e.what()) << " (see " << program << " " << command.getName()
            << " --help)" << std::endl;
        return 2;
    } catch (const Exception& e) {
        bar.clear();
        err << context.prefix << ": " << oneLine(describe(e)) << std::endl;
    } catch (const CommandError& e) {
        bar.clear();
        err << context.prefix << ": " << oneLine(e.what()) << std::endl;
    } catch (const std::bad_alloc&) {
        bar.clear();
        err << context.prefix << ": out of memory" << std::endl;
    } catch (const std::exception& e) {
        bar.clear();
        err << context.prefix << ": " << oneLine(e.what()) << std::endl;
    }
    return 1;
}
