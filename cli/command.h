#pragma once
// Command: one subcommand of plexan-cli. A command declares its options and
// arguments, explains itself (usage, one-line summary, full help with an
// example), and runs: it parses nothing itself, calls the library and prints
// its results as plain text (tab-separated tables, numbers in the "C" form).
//
// A command reports failure by throwing: an ArgumentError for a command line
// it cannot run with (exit status 2), a library Exception or a CommandError
// when the work fails (exit status 1). It returns its exit status otherwise.

#include "cli/arguments.h"

#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class TerminalProgress;

// A failure of the work that no library exception describes.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a command runs with.
struct CommandContext {
    std::ostream& out;
    std::ostream& err;
    // Attach it to long computations; it draws only on a terminal.
    TerminalProgress& progress;
    // "plexan-cli <command>", the start of every message.
    std::string prefix;

    // One line on the error stream: "<prefix>: warning: <text>".
    void warn(const std::string& text) const;
    // One line on the error stream: "<prefix>: <text>" (the lines of a
    // stack reader's log, which say themselves what they are).
    void report(const std::string& text) const;
};

class Command {
public:
    virtual ~Command() = default;

    virtual std::string getName() const = 0;
    // The arguments after the name, as "STACK.sdf [--format tsv|csv]".
    virtual std::string getUsage() const = 0;
    virtual std::string getSummary() const = 0;
    // What the command does, its options and an example.
    virtual std::string getHelp() const = 0;
    virtual void declare(Arguments& arguments) const = 0;
    virtual int run(const Arguments& arguments, CommandContext& context) const = 0;
};

std::unique_ptr<Command> makeInfoCommand();
std::unique_ptr<Command> makeMeasureCommand();
std::unique_ptr<Command> makeExportStlCommand();
std::unique_ptr<Command> makeIsosurfaceCommand();
std::unique_ptr<Command> makeRegisterCommand();
std::unique_ptr<Command> makeStackToVolumeCommand();
std::unique_ptr<Command> makeVolumeToStackCommand();
std::unique_ptr<Command> makeDensityCommand();
std::unique_ptr<Command> makeSegmentCommand();
std::unique_ptr<Command> makeFuseCommand();
std::unique_ptr<Command> makeImportCommand();
