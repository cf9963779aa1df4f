#include "cli/commandfiles.h"

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/pendingfile.h"
#include "cli/terminalprogress.h"
#include "image/voxelmatrix.h"
#include "numerics/exception.h"
#include "stack/morphometrytable.h"
#include "stack/stack.h"
#include "stack/stackbackups.h"
#include "stack/stackreader.h"
#include "stack/stackwriter.h"

#include <charconv>
#include <filesystem>

StackInput readStack(const std::string& file, CommandContext& context, bool needImages, bool quiet)
{
    StackInput input;
    input.file = file;
    input.stack = std::make_unique<Stack>();
    StackReader reader;
    reader.addMonitor(context.progress);
    const bool opened = reader.read(*input.stack, file);
    reader.removeMonitor(context.progress);
    context.progress.clear();
    if (!opened)
        throw FileReadError("StackInput readStack(const string&, ...)", "Cannot open stack file for reading",
                            file);
    input.log = reader.getLog();
    input.fatalErrors = reader.getNumFatalErrors();
    // The reader takes any text, refusing it statement by statement: a file
    // that gave nothing at all is no stack file.
    const Stack& stack = *input.stack;
    if (stack.getName().empty() && stack.getNumSlices() == 0 && stack.getNumModels() == 0 &&
        stack.getNumPoses() == 0)
        throw CommandError(file + ": not a stack file" + (input.log.empty() ? "" : " (" + input.log.front() + ")"));
    if (needImages && input.fatalErrors > 0) {
        // One line: the count and the first image that could not be read.
        std::string first;
        for (const std::string& line : input.log)
            if (line.rfind("Error: ", 0) == 0 && line.find(" is invalid in this context.") == std::string::npos) {
                first = ", first " + line.substr(7);
                break;
            }
        throw CommandError(file + ": " + std::to_string(input.fatalErrors) + " fatal error" +
                           (input.fatalErrors == 1 ? "" : "s") + " while reading" + first);
    }
    if (!quiet)
        for (const std::string& line : input.log)
            context.warn(file + ": " + line);
    return input;
}

void writeStack(const Stack& stack, const std::string& file, CommandContext& context)
{
    // The temporary file lies beside the target, so that the image paths
    // written relative to its directory stay right once it is renamed.
    PendingFile pending(file);
    StackWriter writer;
    writer.addMonitor(context.progress);
    const bool written = writer.write(stack, pending.getPath());
    writer.removeMonitor(context.progress);
    context.progress.clear();
    if (!written)
        throw FileWriteError("void writeStack(const Stack&, const string&, ...)", "Cannot write stack file", file);
    StackBackups().make(file);
    pending.commit();
}

namespace {

template <typename T>
bool hasType(const std::string& file)
{
    try {
        VoxelMatrix<T>().loadHeader(file);
        return true;
    } catch (const TypeError&) {
        return false;
    }
}

} // namespace

VoxelType voxelType(const std::string& file)
{
    // A header of another type is refused before anything is read, so the
    // types can be tried in turn; float first, the type of density maps and
    // of format 0 files.
    if (hasType<float>(file))
        return VoxelType::Float;
    if (hasType<double>(file))
        return VoxelType::Double;
    if (hasType<int>(file))
        return VoxelType::Int;
    if (hasType<unsigned int>(file))
        return VoxelType::UnsignedInt;
    if (hasType<long double>(file))
        return VoxelType::LongDouble;
    throw CommandError(file + ": voxels of 8- or 16-bit integers are not supported");
}

std::string toString(VoxelType type)
{
    switch (type) {
    case VoxelType::Int:
        return "int";
    case VoxelType::UnsignedInt:
        return "unsigned int";
    case VoxelType::Float:
        return "float";
    case VoxelType::Double:
        return "double";
    case VoxelType::LongDouble:
        return "long double";
    }
    return "unknown";
}

void declareFormat(Arguments& arguments)
{
    arguments.addOption("--format");
}

std::string tableFormat(const Arguments& arguments)
{
    return Arguments::toChoice(arguments.value("--format", "tsv"), {"tsv", "csv"}, "--format");
}

void writeTable(const MorphometryTable& table, const std::string& format, std::ostream& out)
{
    if (format == "csv")
        table.writeCsv(out);
    else
        table.writeTsv(out);
}

double shortest(float value)
{
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    double result = value;
    std::from_chars(buffer, written.ptr, result);
    return result;
}

template <typename T>
VoxelMatrix<T> loadVolume(const std::string& file)
{
    VoxelMatrix<T> volume;
    volume.load(file);
    return volume;
}

template VoxelMatrix<int> loadVolume<int>(const std::string&);
template VoxelMatrix<unsigned int> loadVolume<unsigned int>(const std::string&);
template VoxelMatrix<float> loadVolume<float>(const std::string&);
template VoxelMatrix<double> loadVolume<double>(const std::string&);
template VoxelMatrix<long double> loadVolume<long double>(const std::string&);
