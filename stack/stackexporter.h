#pragma once
// StackExporter: writes the surface models of a stack as ASCII STL files,
// one file per model, named "<directory>/<prefix>-<model name>.stl" (the
// "/" only with a directory, the "-" only with a prefix).
//
// A model is placed in 3D by the stack reconstruction, one contour per item,
// and resampled into a closed quadrilateral mesh (the model's quad-mesh
// width, and its quad-mesh height when it has more than one item, else one
// row), which is also saved beside the STL file with the extension ".qm".
// Point models, models without items and branching models (two contours on
// one slice) are not exported.

#include <string>

class Model;
class Stack;
template <typename T> class StackReconstruction;

class StackExporter {
public:
    // An existing file without overwrite (STL or quad mesh) raises
    // FileWriteError "<file> : file exists" naming that file; a file that
    // cannot be written raises FileWriteError too. A resampling grid beyond
    // 2^24 vertices raises SizeError "Resampling grid is too large".
    // T: float, double, long double.
    template <typename T>
    static void export2AsciiSTL(const Model& model, const StackReconstruction<T>& reconstruction,
                                const std::string& directory, const std::string& prefix, bool overwrite);

    // Every model of the stack, with the stack's name as prefix and a
    // reconstruction of the stack; the first failure stops the export.
    static void export2AsciiSTL(const Stack& stack, const std::string& directory, bool overwrite);

    // The STL file name of a model.
    static std::string fileName(const Model& model, const std::string& directory, const std::string& prefix);
};
