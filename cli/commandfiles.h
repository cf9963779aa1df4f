#pragma once
// The files the commands read and write, handled alike by all of them.
//
// Inputs are recognised by their content, not by their names: a stack file
// is text whose first word is a stack keyword, a voxel-matrix file has a
// header consistent with its length. Anything else (a TIFF given as a stack,
// a NIfTI volume given as a voxel matrix, a directory, an empty file) is
// refused with its name, what it is and what was expected.
//
// Stacks are read with StackReader, whose log is part of the result: its
// lines go to the error stream as "FILE:LINE: TEXT", and a log with errors
// fails the command unless --lenient is given (warnings never do). Commands
// that need the slice images refuse a stack whose images could not be read,
// lenient or not. A stack file written over keeps rotating backups ("~1" the
// newest) and is replaced only once the new one is complete.
//
// Outputs are checked before any work: the extension of the kind written,
// an existing directory that can be written, and an existing file that is
// none of the inputs (by identity: device and inode, so that a symbolic or
// hard link to an input is that input), not read-only (no write permission
// for anyone counts, also for the superuser), and of the kind written or
// empty. A refusal names the file and why.
//
// Voxel-matrix files hold one element type; the commands read every type:
// 8- and 16-bit integers (signed or not), int, unsigned int, float, double
// and long double (format 0 files, which name no type, are read as float
// when their length fits 4-byte voxels).

#include "image/anyvoxelmatrix.h"
#include "stack/stackio.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class Arguments;
class Stack;
template <typename T> class VoxelMatrix;
struct CommandContext;

// The files a command reads, by identity.
class InputFiles {
public:
    // Adds a file (nothing when it cannot be examined: it is then no file
    // an output could replace).
    void add(const std::string& file);
    // Adds the image files of the stack's slices (tiles and voxel-matrix
    // files included).
    void addImages(const Stack& stack);
    // The input that file is (its name as given), empty when none.
    std::string find(const std::string& file) const;

private:
    struct Identity {
        dev_t device;
        ino_t inode;
        std::string name;
    };
    std::vector<Identity> m_files;
};

// Declares "--lenient".
void declareLenient(Arguments& arguments);

struct StackInput {
    std::unique_ptr<Stack> stack;
    // The file read (the name given, with ".sdf" appended when the reader
    // appends it).
    std::string file;
    std::vector<StackIO::LogEntry> log;
    int fatalErrors = 0;
    int errors = 0;
};

// How a stack is read.
struct StackReading {
    // The command needs the slice images: a stack with fatal errors is
    // refused even when lenient.
    bool needImages = false;
    // Errors in the log are printed and reading goes on.
    bool lenient = false;
    // The log is left to the caller (info prints it as a table); errors
    // still fail unless lenient.
    bool quiet = false;
};

// Reads a stack file. FileReadError when it cannot be opened; CommandError
// when it is no stack file (by content, or because it gave nothing at all),
// when its log holds errors and the reading is not lenient, and, with
// needImages, when the read had fatal errors.
StackInput readStack(const std::string& file, CommandContext& context, const StackReading& reading);
// The log line of an entry as the commands print it: "FILE:LINE: TEXT".
std::string logLine(const std::string& file, const StackIO::LogEntry& entry);
// The CommandError for a log with errors: "FILE: N errors while reading ...".
[[noreturn]] void failOnErrors(const StackInput& input);

// Writes the stack to file through a temporary file and backups of the
// previous version. FileWriteError when it cannot be written.
void writeStack(const Stack& stack, const std::string& file, CommandContext& context);

// Outputs ------------------------------------------------------------------------

enum class OutputKind { Stack, VoxelMatrix, Stl, TriMesh, QuadMesh, Tiff, Ply, Obj };

// The extension of a kind (".sdf", ".vm", ".stl", ".tm", ".qm", ".tif",
// ".ply", ".obj").
std::string extensionOf(OutputKind kind);
// ArgumentError unless file ends with one of the kinds' extensions (what
// names the output in the message, as "-o").
void checkExtension(const std::string& file, const std::vector<OutputKind>& kinds, const std::string& what);
// Checks an output file before any work, as described above: ArgumentError
// for an input or a file of another kind, CommandError or FileWriteError
// for a directory that cannot be written and a read-only file.
void checkOutput(const std::string& file, OutputKind kind, const InputFiles& inputs);
// Checks a directory outputs go into: it must be a directory (or not exist
// yet, when it is to be created) and be writable when it exists.
void checkOutputDirectory(const std::string& directory);

// Writes a voxel matrix to file through a temporary file. FileWriteError
// when it cannot be written.
template <typename T>
void writeVolume(const VoxelMatrix<T>& volume, const std::string& file);
void writeVolume(const AnyVoxelMatrix& volume, const std::string& file);

// Volumes --------------------------------------------------------------------------

// The element type of a voxel-matrix file.
enum class VoxelType { Int, UnsignedInt, Float, Double, LongDouble, UnsignedChar, Char, UnsignedShort, Short };
// The file's element type, recognised from its content: FileReadError for a
// missing file, CommandError for a file that is no voxel-matrix file, for
// voxels of a type the commands do not read and for voxel sizes that are
// not positive finite numbers.
VoxelType voxelType(const std::string& file);
std::string toString(VoxelType type);
// Loads a voxel-matrix file of element type T (the library's read errors,
// naming the file).
template <typename T>
VoxelMatrix<T> loadVolume(const std::string& file);
// Loads a voxel-matrix file of any element type, after the checks of
// voxelType().
AnyVoxelMatrix loadAnyVolume(const std::string& file);

// Tables -------------------------------------------------------------------------

class MorphometryTable;

// Declares "--format tsv|csv"; the chosen form (ArgumentError for another);
// writes a table in that form.
void declareFormat(Arguments& arguments);
std::string tableFormat(const Arguments& arguments);
void writeTable(const MorphometryTable& table, const std::string& format, std::ostream& out);

// A single-precision value as the double its shortest text denotes (0.8f
// gives 0.8, not 0.800000011920929), for tables of stored floats.
double shortest(float value);
