#pragma once
// The mesh files isosurface and export-stl write (STL, PLY, OBJ, Plexan
// mesh files; stack/meshfile.h), chosen by extension, written aside and
// renamed into place once complete, with progress on a terminal.

#include "stack/meshfile.h"

#include <array>
#include <string>
#include <vector>

class Arguments;
struct CommandContext;
enum class OutputKind;

// The output kind of a mesh file name (.stl, .ply, .obj, .tm).
OutputKind meshKind(const std::string& file);
// The colour of --color R,G,B (default 200,200,200); ArgumentError for
// anything but three integers from 0 to 255.
std::array<unsigned char, 3> meshColour(const Arguments& arguments);
// Writes the parts into file in the format its extension names (binary STL
// when asked or when the ASCII form would exceed 50 MB).
void writeMesh(const std::string& file, const std::vector<MeshFile::Part>& parts, bool binary,
               CommandContext& context);
