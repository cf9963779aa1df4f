#pragma once
// The files the commands read and write, handled alike by all of them.
//
// Stacks are read with StackReader; the reader's log lines are warnings, and
// a stack whose read had fatal errors (slice images that cannot be read) is
// refused by the commands that need its images. A stack file written over
// keeps rotating backups ("~1" the newest) and is replaced only once the new
// one is complete.
//
// Voxel-matrix files hold one element type; the commands read those of type
// int, unsigned int, float, double and long double (format 0 files, which
// name no type, are read as float).

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class Stack;
template <typename T> class VoxelMatrix;
struct CommandContext;

struct StackInput {
    std::unique_ptr<Stack> stack;
    std::string file;
    std::vector<std::string> log;
    int fatalErrors = 0;
};

// Reads a stack file, its log lines shown as warnings unless quiet.
// FileReadError when it cannot be opened; CommandError when it holds no
// stack at all (no name, slice, model or pose) and, with needImages, when the
// read had fatal errors.
StackInput readStack(const std::string& file, CommandContext& context, bool needImages, bool quiet = false);

// Writes the stack to file through a temporary file and backups of the
// previous version. FileWriteError when it cannot be written.
void writeStack(const Stack& stack, const std::string& file, CommandContext& context);

// The element type of a voxel-matrix file.
enum class VoxelType { Int, UnsignedInt, Float, Double, LongDouble };
// The file's element type: the library's read errors for a missing or
// malformed file, CommandError for a type the commands do not read.
VoxelType voxelType(const std::string& file);
std::string toString(VoxelType type);
// Loads a voxel-matrix file of element type T (the library's read errors,
// naming the file).
template <typename T>
VoxelMatrix<T> loadVolume(const std::string& file);

// Tables -------------------------------------------------------------------------

class Arguments;
class MorphometryTable;

// Declares "--format tsv|csv"; the chosen form (ArgumentError for another);
// writes a table in that form.
void declareFormat(Arguments& arguments);
std::string tableFormat(const Arguments& arguments);
void writeTable(const MorphometryTable& table, const std::string& format, std::ostream& out);

// A single-precision value as the double its shortest text denotes (0.8f
// gives 0.8, not 0.800000011920929), for tables of stored floats.
double shortest(float value);
