#include "stack/stackexporter.h"

#include "geometry/curvestack.h"
#include "geometry/quadmesh.h"
#include "geometry/trimesh.h"
#include "numerics/elementtype.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <locale>
#include <memory>
#include <system_error>

namespace {

const char* const exportWhere = "void StackExporter::export2AsciiSTL(...)";

// Quad meshes beyond this many vertices are refused.
constexpr std::uint64_t maxMeshVertices = std::uint64_t(1) << 24;

bool exists(const std::string& file)
{
    std::error_code error;
    return std::filesystem::exists(file, error);
}

} // namespace

std::string StackExporter::fileName(const Model& model, const std::string& directory, const std::string& prefix)
{
    std::string name;
    if (!directory.empty())
        name = directory + "/";
    if (!prefix.empty())
        name += prefix + "-";
    return name + model.getName() + ".stl";
}

template <typename T>
void StackExporter::export2AsciiSTL(const Model& model, const StackReconstruction<T>& reconstruction,
                                    const std::string& directory, const std::string& prefix, bool overwrite)
{
    if (model.getGeometry() == MPrimitive::Polypoint)
        return;
    const std::string stl = fileName(model, directory, prefix);
    const std::string mesh = stl.substr(0, stl.size() - 4) + ".qm";
    if (!overwrite) {
        if (exists(stl))
            throw FileWriteError(exportWhere, stl + " : file exists", stl);
        if (exists(mesh))
            throw FileWriteError(exportWhere, mesh + " : file exists", mesh);
    }

    const std::unique_ptr<VertexStack<T>> levels = reconstruction.apply(model);
    const auto* contours = dynamic_cast<const CurveStack<T>*>(levels.get());
    if (!contours || contours->getHeight() == 0 || contours->isBranching())
        return;

    const ModelProperties& p = model.getProperties();
    const unsigned int width = p.getQuadMeshWidth();
    const unsigned int height = model.getNumItems() > 1 ? p.getQuadMeshHeight() : 1u;
    if (std::uint64_t(width) * height > maxMeshVertices)
        throw SizeError(exportWhere, "Resampling grid is too large");
    const QuadMesh<T> quads = contours->resample(static_cast<int>(height), static_cast<int>(width));
    try {
        quads.save(mesh, overwrite);
    } catch (Exception& e) {
        e.addCall(exportWhere);
        throw;
    }

    TriMesh<T> triangles = quads.toTriMesh();
    triangles.setName(model.getName());
    std::ofstream out(stl, std::ios::out | std::ios::trunc);
    if (!out)
        throw FileWriteError(exportWhere, "Cannot open file for writing", stl);
    out.imbue(std::locale::classic());
    try {
        triangles.export2AsciiSTL(out);
        out.close();
    } catch (Exception& e) {
        e.addCall(exportWhere);
        throw;
    }
    if (!out)
        throw FileWriteError(exportWhere, "Cannot write file", stl);
}

void StackExporter::export2AsciiSTL(const Stack& stack, const std::string& directory, bool overwrite)
{
    const StackReconstruction<float> reconstruction(stack);
    for (int i = 0; i < stack.getNumModels(); ++i)
        export2AsciiSTL(*stack.getModel(i), reconstruction, directory, stack.getName(), overwrite);
}

#define PLEXAN_INSTANTIATE_EXPORT(T)                                                                            \
    template void StackExporter::export2AsciiSTL<T>(const Model&, const StackReconstruction<T>&,               \
                                                    const std::string&, const std::string&, bool);
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE_EXPORT)
#undef PLEXAN_INSTANTIATE_EXPORT
