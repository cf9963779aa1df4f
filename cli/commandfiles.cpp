#include "cli/commandfiles.h"

#include "cli/arguments.h"
#include "cli/command.h"
#include "cli/pendingfile.h"
#include "cli/terminalprogress.h"
#include "image/filecontent.h"
#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "image/voxelmatrix.h"
#include "numerics/exception.h"
#include "stack/morphometrytable.h"
#include "stack/stack.h"
#include "stack/stackbackups.h"
#include "stack/stackreader.h"
#include "stack/stackslice.h"
#include "stack/stackwriter.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

// Inputs ---------------------------------------------------------------------------

void InputFiles::add(const std::string& file)
{
    struct stat status {};
    if (::stat(file.c_str(), &status) == 0)
        m_files.push_back({status.st_dev, status.st_ino, file});
}

void InputFiles::addImages(const Stack& stack)
{
    for (int i = 0; i < stack.getNumSlices(); ++i) {
        const StackSlice& slice = *stack.getSlice(i);
        if (!slice.hasImageSource())
            continue;
        const ImageSource& source = slice.getImageSource();
        if (const auto* file = dynamic_cast<const ImageSourceFile*>(&source)) {
            add(file->getFilename());
        } else if (const auto* plane = dynamic_cast<const ImageSourceVoxelMatrixPlane*>(&source)) {
            add(plane->getVoxelMatrixFilename());
        } else if (const auto* mosaic = dynamic_cast<const ImageSourceFileMosaic*>(&source)) {
            for (int r = 0; r < mosaic->getRows(); ++r)
                for (int c = 0; c < mosaic->getCols(); ++c)
                    if (const std::string name = mosaic->getFilename(r, c); !name.empty())
                        add(name);
        }
    }
}

std::string InputFiles::find(const std::string& file) const
{
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0)
        return "";
    for (const Identity& input : m_files)
        if (input.device == status.st_dev && input.inode == status.st_ino)
            return input.name;
    return "";
}

// Stacks ---------------------------------------------------------------------------

void declareLenient(Arguments& arguments)
{
    arguments.addFlag("--lenient");
}

std::string logLine(const std::string& file, const StackIO::LogEntry& entry)
{
    return file + (entry.line > 0 ? ":" + std::to_string(entry.line) : std::string()) + ": " + entry.text;
}

void failOnErrors(const StackInput& input)
{
    throw CommandError(input.file + ": " + std::to_string(input.errors) + " error" + (input.errors == 1 ? "" : "s") +
                       " while reading the stack (listed above); --lenient reads on despite them");
}

namespace {

// Refuses a file that is no stack file, by its content.
void recognizeStack(const std::string& given, const std::string& file)
{
    const FileContent content(file);
    switch (content.getKind()) {
    case FileContent::Missing:
        if (given != file && fs::exists(given))
            throw CommandError(given + ": a stack file's name ends in .sdf (" + file + " does not exist)");
        [[fallthrough]];
    case FileContent::Unreadable:
        throw FileReadError("StackInput readStack(const string&, ...)", "Cannot open stack file for reading", file);
    case FileContent::Special:
        return; // a pipe cannot be looked into without losing what it holds
    case FileContent::Text:
        if (StackReader::isStackText(content.getFirstBlock()))
            return;
        throw CommandError(file + ": a text that begins with no stack statement, not a stack file (.sdf)");
    default:
        throw CommandError(file + ": " + content.describe() + ", not a stack file (.sdf)");
    }
}

} // namespace

StackInput readStack(const std::string& file, CommandContext& context, const StackReading& reading)
{
    StackInput input;
    input.file = StackReader::getFileName(file);
    recognizeStack(file, input.file);
    input.stack = std::make_unique<Stack>();
    StackReader reader;
    reader.addMonitor(context.progress);
    const bool opened = reader.read(*input.stack, input.file);
    reader.removeMonitor(context.progress);
    context.progress.clear();
    if (!opened)
        throw FileReadError("StackInput readStack(const string&, ...)", "Cannot open stack file for reading",
                            input.file);
    input.log = reader.getLogEntries();
    input.fatalErrors = reader.getNumFatalErrors();
    input.errors = reader.getNumErrors();
    // The reader takes any text, refusing it statement by statement: a file
    // that gave nothing at all is no stack file.
    const Stack& stack = *input.stack;
    if (stack.getName().empty() && stack.getNumSlices() == 0 && stack.getNumModels() == 0 &&
        stack.getNumPoses() == 0)
        throw CommandError(input.file + ": not a stack file" +
                           (input.log.empty() ? "" : " (" + logLine(input.file, input.log.front()) + ")"));
    if (!reading.quiet)
        for (const StackIO::LogEntry& entry : input.log)
            context.report(logLine(input.file, entry));
    if (input.errors > 0 && !reading.lenient)
        failOnErrors(input);
    if (reading.needImages && input.fatalErrors > 0)
        throw CommandError(input.file + ": " + std::to_string(input.fatalErrors) + " slice image" +
                           (input.fatalErrors == 1 ? "" : "s") + " could not be read (listed above)");
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
    // The backups and the new file in one step that no interrupt splits.
    PendingFile::stopBeforeCommitForTests();
    const HeldInterrupts held;
    StackBackups().make(file);
    pending.commit();
}

// Outputs ------------------------------------------------------------------------

namespace {

std::string kindName(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Stack:
        return "a stack file (.sdf)";
    case OutputKind::VoxelMatrix:
        return "a voxel matrix (.vm)";
    case OutputKind::Stl:
        return "an STL surface (.stl)";
    case OutputKind::TriMesh:
        return "a triangle mesh (.tm)";
    case OutputKind::QuadMesh:
        return "a quadrilateral mesh (.qm)";
    case OutputKind::Tiff:
        return "a TIFF image (.tif)";
    case OutputKind::Ply:
        return "a PLY mesh (.ply)";
    case OutputKind::Obj:
        return "an OBJ mesh (.obj)";
    }
    return "";
}

// A shape file begins with "# " and its shape type number.
bool isShapeText(const std::string& text, std::initializer_list<const char*> types)
{
    for (const char* type : types) {
        const std::string start = std::string("# ") + type;
        if (text.compare(0, start.size(), start) == 0 && text.size() > start.size() &&
            (text[start.size()] == '\n' || text[start.size()] == '\r' || text[start.size()] == ' '))
            return true;
    }
    return false;
}

// Whether text reads as an OBJ mesh: every whole line blank, a comment or
// one of the statements of an OBJ file.
bool isObjText(const std::string& text)
{
    static const std::set<std::string> statements = {"v", "vn", "vt", "vp", "f", "l", "p", "o", "g", "s", "usemtl", "mtllib"};
    std::size_t start = 0;
    bool any = false;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const std::size_t last = line.find_first_of(" \t\r", first);
        if (!statements.count(line.substr(first, last == std::string::npos ? std::string::npos : last - first)))
            return false;
        any = true;
    }
    return any || text.find_first_not_of(" \t\r\n") == std::string::npos || text[0] == '#';
}

bool holds(const FileContent& content, OutputKind kind)
{
    const std::string& text = content.getFirstBlock();
    switch (kind) {
    case OutputKind::Stack:
        return content.isKind(FileContent::Text) && StackReader::isStackText(text);
    case OutputKind::VoxelMatrix:
        return content.isKind(FileContent::VoxelMatrix);
    case OutputKind::Stl: {
        const std::size_t start = text.find_first_not_of(" \t\r\n");
        if (content.isKind(FileContent::Text) && start != std::string::npos && text.compare(start, 6, "solid ") == 0)
            return true;
        // Binary: 80 bytes, the triangle count, 50 bytes per triangle.
        std::uint32_t count = 0;
        if (text.size() < 84)
            return false;
        std::memcpy(&count, text.data() + 80, 4);
        return content.getLength() == 84 + 50 * static_cast<std::uint64_t>(count);
    }
    case OutputKind::Ply:
        return text.compare(0, 4, "ply\n") == 0 || text.compare(0, 5, "ply\r\n") == 0;
    case OutputKind::Obj:
        return content.isKind(FileContent::Text) && isObjText(text);
    case OutputKind::TriMesh:
        return content.isKind(FileContent::Text) && isShapeText(text, {"8"});
    case OutputKind::QuadMesh:
        return content.isKind(FileContent::Text) && isShapeText(text, {"4", "5"});
    case OutputKind::Tiff:
        return content.isKind(FileContent::Tiff);
    }
    return false;
}

// No write permission for anyone, or none for us.
bool isReadOnly(const std::string& path, const struct stat& status)
{
    return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

void checkWritableDirectory(const std::string& directory, const std::string& output)
{
    struct stat status {};
    if (::stat(directory.c_str(), &status) != 0)
        throw FileWriteError("plexan-cli", std::string("Cannot write in the directory: ") + std::strerror(errno),
                             output);
    if (!S_ISDIR(status.st_mode))
        throw CommandError(output + ": " + directory + " is not a directory");
    if (isReadOnly(directory, status) || ::access(directory.c_str(), X_OK) != 0)
        throw CommandError(output + ": the directory " + directory + " is read-only");
}

std::string directoryOf(const std::string& file)
{
    const fs::path path(file);
    return path.has_parent_path() ? path.parent_path().string() : std::string(".");
}

} // namespace

std::string extensionOf(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Stack:
        return ".sdf";
    case OutputKind::VoxelMatrix:
        return ".vm";
    case OutputKind::Stl:
        return ".stl";
    case OutputKind::TriMesh:
        return ".tm";
    case OutputKind::QuadMesh:
        return ".qm";
    case OutputKind::Tiff:
        return ".tif";
    case OutputKind::Ply:
        return ".ply";
    case OutputKind::Obj:
        return ".obj";
    }
    return "";
}

void checkExtension(const std::string& file, const std::vector<OutputKind>& kinds, const std::string& what)
{
    const std::string extension = fs::path(file).extension().string();
    std::string list;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (extension == extensionOf(kinds[i]))
            return;
        list += (i == 0 ? "" : i + 1 == kinds.size() ? " or " : ", ") + extensionOf(kinds[i]);
    }
    throw ArgumentError(what + " must end in " + list + ", not \"" + file + "\"");
}

void checkOutput(const std::string& file, OutputKind kind, const InputFiles& inputs)
{
    if (const std::string input = inputs.find(file); !input.empty())
        throw ArgumentError("the output " + file + " is the input " +
                            (input == file ? std::string("itself") : input + " (the same file)") +
                            ": an output never replaces an input");
    const FileContent content(file);
    struct stat status {};
    switch (content.getKind()) {
    case FileContent::Missing:
        break;
    case FileContent::Directory:
        throw ArgumentError("the output " + file + " is a directory");
    default:
        if (content.getKind() != FileContent::Empty && !holds(content, kind))
            throw ArgumentError("the output " + file + " is " + content.describe() + ", not " + kindName(kind) +
                                ": it is not replaced");
        if (::stat(file.c_str(), &status) == 0 && isReadOnly(file, status))
            throw CommandError(file + ": read-only, not replaced");
        break;
    }
    checkWritableDirectory(directoryOf(file), file);
}

void checkOutputDirectory(const std::string& directory)
{
    // The nearest directory that exists must take the new ones.
    fs::path path = directory.empty() ? fs::path(".") : fs::path(directory);
    std::error_code error;
    while (!fs::exists(path, error) && path.has_parent_path() && path.parent_path() != path)
        path = path.parent_path();
    if (!fs::exists(path, error))
        path = ".";
    checkWritableDirectory(path.string(), directory);
}

template <typename T>
void writeVolume(const VoxelMatrix<T>& volume, const std::string& file)
{
    PendingFile pending(file);
    try {
        std::ofstream stream(pending.getPath(), std::ios::out | std::ios::binary | std::ios::trunc);
        if (!stream)
            throw FileWriteError("void writeVolume(const VoxelMatrix<T>&, const string&)",
                                 "Cannot open file for writing", file);
        volume.saveUnderFormat1(stream);
        stream.close();
        if (!stream)
            throw FileWriteError("void writeVolume(const VoxelMatrix<T>&, const string&)",
                                 "Cannot write voxel matrix data", file);
    } catch (FileError& e) {
        if (e.getFile().empty())
            e.setFile(file);
        throw;
    }
    pending.commit();
}

template void writeVolume<float>(const VoxelMatrix<float>&, const std::string&);

void writeVolume(const AnyVoxelMatrix& volume, const std::string& file)
{
    volume.visit([&](const auto& m) { writeVolume(m, file); });
}

// Volumes --------------------------------------------------------------------------

VoxelType voxelType(const std::string& file)
{
    const FileContent content(file);
    if (content.isKind(FileContent::Missing) || content.isKind(FileContent::Unreadable))
        throw FileReadError("VoxelType voxelType(const string&)", "Cannot open file for reading", file);
    if (!content.isKind(FileContent::VoxelMatrix))
        throw CommandError(file + ": " + content.describe() + ", not a voxel matrix (.vm)");
    if (content.getVoxelFormat() == 0) {
        // The old format names no type: its voxels are taken as floats.
        if (content.getVoxelElementSize() != 4)
            throw CommandError(file + ": a voxel matrix of the old format with voxels of " +
                               std::to_string(content.getVoxelElementSize()) +
                               " bytes, whose type it does not tell (only 4-byte voxels are read, as float)");
        return VoxelType::Float;
    }
    float size[3];
    std::memcpy(size, content.getFirstBlock().data() + 36, sizeof size);
    for (const float s : size)
        if (!(std::isfinite(s) && s > 0.0f)) {
            std::string text;
            for (int a = 0; a < 3; ++a) {
                char buffer[32];
                const auto written = std::to_chars(buffer, buffer + sizeof buffer, size[a]);
                text += (a == 0 ? "" : " x ") + std::string(buffer, written.ptr);
            }
            throw CommandError(file + ": the voxel size " + text + " is not made of positive numbers");
        }
    switch (content.getVoxelTypeId()) {
    case 2:
        return VoxelType::Int;
    case 3:
        return VoxelType::UnsignedInt;
    case 5:
        return VoxelType::Float;
    case 6:
        return VoxelType::Double;
    case 7:
        return VoxelType::LongDouble;
    case 0:
        return content.getVoxelElementSize() == 2 ? VoxelType::UnsignedShort : VoxelType::UnsignedChar;
    case 1:
        return VoxelType::Char;
    case 4:
        return VoxelType::Short;
    default:
        throw CommandError(file + ": voxels of an unknown type");
    }
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
    case VoxelType::UnsignedChar:
        return "unsigned char";
    case VoxelType::Char:
        return "char";
    case VoxelType::UnsignedShort:
        return "unsigned short";
    case VoxelType::Short:
        return "short";
    }
    return "unknown";
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

AnyVoxelMatrix loadAnyVolume(const std::string& file)
{
    voxelType(file);
    AnyVoxelMatrix volume;
    volume.load(file);
    return volume;
}

// Tables -------------------------------------------------------------------------

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
