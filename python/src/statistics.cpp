// Spatial statistics: density maps of point models pooled over stacks, the
// density of point patterns given as arrays, and the fusion of specimens.

#include "common.h"

#include "geometry/quadmesh.h"
#include "geometry/shapeset.h"
#include "geometry/vertexstack.h"
#include "geometry/vertices.h"
#include "stack/model.h"
#include "stack/stack.h"
#include "statistics/fusion.h"
#include "statistics/histogramdensityestimator.h"
#include "statistics/modeldensitymap.h"
#include "statistics/poissondensityestimator.h"

#include <memory>
#include <set>

namespace plexanpy {

namespace {

py::object namespaceOf(py::dict values)
{
    return py::module_::import("types").attr("SimpleNamespace")(**values);
}

template <typename T>
py::array pointArray(const Vertices<T>& vertices)
{
    const int n = vertices.getNumVertices();
    py::array out = newArray(Element::Double, {n, 3});
    double* p = dataOf<double>(out);
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c)
            p[3 * i + c] = static_cast<double>(vertices.vertex(i)[c]);
    return out;
}

// A shape of a fusion as an array: a quadrilateral mesh as (levels, width,
// 3), any other vertex stack as its (n, 3) points; None for no shape.
py::object shapeArray(const Shape<double>* shape)
{
    if (!shape)
        return py::none();
    if (const auto* mesh = dynamic_cast<const QuadMesh<double>*>(shape)) {
        const int height = mesh->getHeight();
        const int width = height > 0 ? (*mesh)[0].getNumVertices() : 0;
        py::array out = newArray(Element::Double, {height, width, 3});
        double* p = dataOf<double>(out);
        for (int k = 0; k < height; ++k)
            for (int i = 0; i < width; ++i)
                for (int c = 0; c < 3; ++c)
                    p[(static_cast<std::size_t>(k) * width + i) * 3 + c] = (*mesh)[k].vertex(i)[c];
        return out;
    }
    if (const auto* stack = dynamic_cast<const VertexStack<double>*>(shape))
        return pointArray(stack->cat());
    if (const auto* vertices = dynamic_cast<const Vertices<double>*>(shape))
        return pointArray(*vertices);
    return py::none();
}

struct FusionObject {
    std::vector<py::object> stacks; // keeps the documents alive
    std::vector<std::string> names; // the structures, sorted, as the fusion lists them
    std::unique_ptr<Fusion<double>> fusion = std::make_unique<Fusion<double>>();
    bool completed = false;
};

py::dict shapeSetDict(const std::vector<std::string>& names, const ShapeSet<double>& set)
{
    py::dict out;
    for (int i = 0; i < set.getNumShapes() && i < static_cast<int>(names.size()); ++i)
        out[py::str(names[static_cast<std::size_t>(i)])] = shapeArray(set[i]);
    return out;
}

} // namespace

void bindStatistics(py::module_& m)
{
    m.def(
        "density_map",
        [](py::list stacks, const std::string& modelName, std::tuple<int, int, int> grid, const std::string& method, int k,
           double margin, py::object box, std::vector<float> percentiles, py::object progress) {
            ModelDensityMap<float> map;
            map.setModelName(modelName);
            if (method == "poisson")
                map.setMethod(ModelDensityMap<float>::Poisson);
            else if (method == "histogram")
                map.setMethod(ModelDensityMap<float>::Histogram);
            else
                throw py::value_error("density_map: method must be \"poisson\" or \"histogram\"");
            map.setNeighbourRank(k);
            map.setGridSize(std::get<0>(grid), std::get<1>(grid), std::get<2>(grid));
            map.setMargin(margin);
            if (!box.is_none()) {
                const auto corners = box.cast<std::pair<std::tuple<float, float, float>, std::tuple<float, float, float>>>();
                const auto& [a0, a1, a2] = corners.first;
                const auto& [b0, b1, b2] = corners.second;
                BoundingBox<float> fixed(Vector<float>{a0, a1, a2}, Vector<float>{b0, b1, b2});
                fixed.rectify();
                map.setBoundingBox(fixed);
            }
            for (py::handle stack : stacks)
                map.addStack(stackDocument(stack));
            ProgressCallback callback(progress);
            callback.watch(map);
            {
                py::gil_scoped_release release;
                map.compute();
            }
            callback.finish("density_map");
            py::dict values;
            values["density"] = voxelObject(map.getDensity());
            const BoundingBox<float>& b = map.getBoundingBox();
            values["lower"] = py::make_tuple(b.min(0), b.min(1), b.min(2));
            values["upper"] = py::make_tuple(b.max(0), b.max(1), b.max(2));
            values["points"] = map.getNumPoints();
            py::list patterns;
            for (int s = 0; s < map.getNumPatterns(); ++s)
                patterns.append(pointArray(map.getPattern(s)));
            values["patterns"] = patterns;
            py::list levels;
            if (!percentiles.empty()) {
                const Vector<float> l = map.percentiles(percentiles);
                for (int i = 0; i < l.getSize(); ++i)
                    levels.append(l[i]);
            }
            values["levels"] = levels;
            return namespaceOf(values);
        },
        py::arg("stacks"), py::arg("model"), py::arg("grid"), py::arg("method") = "poisson", py::arg("k") = 5,
        py::arg("margin") = 0.1, py::arg("box") = py::none(), py::arg("percentiles") = std::vector<float>{},
        py::arg("progress") = py::none(),
        R"(The density of the point model `model` pooled over stacks (each placed in its own 3D frame), as
plexan-cli density computes it. grid: samples (poisson) or cells (histogram) along X, Y, Z.
method "poisson": the pooled k-th nearest neighbour density (k m - 1) / (4/3 pi sum r_s^3)
sampled on the grid's corners; "histogram": the points per cell. The box is that of the points
enlarged by margin times its largest extent, or box=((x0, y0, z0), (x1, y1, z1)).

Returns a namespace: density (a float32 VoxelMatrix: element (i, j, k) at X_i, Y_j, Z_k, that is
density.array[k, i, j], voxel size the sample spacing), lower and upper (the box), points,
patterns (the (n, 3) points of each stack) and levels (the density below which lie each of the
given percentiles of the points). progress(fraction, text) is called as planes are done; returning
False raises Cancelled once the computation stops.)");

    m.def(
        "point_density",
        [](py::list patterns, std::tuple<int, int, int> grid, std::tuple<double, double, double> lower,
           std::tuple<double, double, double> upper, int k, const std::string& method) {
            std::vector<std::unique_ptr<Vertices<double>>> shapes;
            for (py::handle pattern : patterns) {
                py::array points = contiguousAs(pattern, 2, Element::Double, "point_density");
                if (points.shape(1) != 3)
                    throw py::value_error("point_density: every pattern is an (n, 3) array of points");
                const int n = static_cast<int>(points.shape(0));
                auto shape = std::make_unique<Vertices<double>>(3, n);
                for (int i = 0; i < n; ++i)
                    for (int c = 0; c < 3; ++c)
                        shape->vertex(i)[c] = dataOf<double>(points)[3 * i + c];
                shapes.push_back(std::move(shape));
            }
            const auto [n1, n2, n3] = grid;
            if (n1 < 1 || n2 < 1 || n3 < 1)
                throw py::value_error("point_density: grid sizes must be at least 1");
            std::unique_ptr<DensityEstimator<double>> estimator;
            if (method == "poisson") {
                auto poisson = std::make_unique<PoissonDensityEstimator<double>>();
                poisson->setNeighbourRank(k);
                estimator = std::move(poisson);
            } else if (method == "histogram") {
                estimator = std::make_unique<HistogramDensityEstimator<double>>();
            } else {
                throw py::value_error("point_density: method must be \"poisson\" or \"histogram\"");
            }
            for (auto& shape : shapes)
                estimator->addShape(*shape);
            const BoundingBox<double> box(Vector<double>{std::get<0>(lower), std::get<1>(lower), std::get<2>(lower)},
                                          Vector<double>{std::get<0>(upper), std::get<1>(upper), std::get<2>(upper)});
            VoxelMatrix<double> density(n1, n2, n3);
            {
                py::gil_scoped_release release;
                estimator->compute(density, box);
            }
            return voxelObject(density);
        },
        py::arg("patterns"), py::arg("grid"), py::arg("lower"), py::arg("upper"), py::arg("k") = 1,
        py::arg("method") = "poisson",
        R"(The density of point patterns (a list of (n, 3) arrays, one per specimen) over the box from
lower to upper, as a float64 VoxelMatrix with grid (n1, n2, n3) samples along the box's three
axes: element (i, j, k) is density.array[k, i, j]. "poisson": the pooled k-th nearest neighbour
density sampled on the grid's corners (the first sample on lower, the last on upper);
"histogram": the points of each of the grid's cells (points outside the box discarded).)");

    py::class_<FusionObject>(m, "Fusion", R"(The fusion of several specimens (stacks) into one frame.

Fusion(stacks, structures, alignment=False, registration=None, reference_stack="", warping=None,
degree=2, name="fusion"). Every stack becomes a shape set with one entry per structure (model
name) found in any stack, sorted by name: a quadrilateral mesh for an outlined model, the points
for a point model, None where the stack lacks it. structures names the reference structures,
which drive the steps: each a name, or a dict with "name", "reference" (default True), "height"
and "width" (the mesh's resampling levels and vertices per level; the model's own by default).
The steps run in this order: alignment on the references' centre and principal axes;
registration "global" (joint registration and averaging) or "pairwise" (each specimen on
reference_stack); averaging; warping onto the mean, "polynomials" (of the given degree) or
"thin-plate splines".

run(progress=None) runs it without holding the GIL; progress(fraction, text) may return False
to cancel, and cancel() may be called from another thread: a cancelled run raises Cancelled and
keeps no result.)")
        .def(py::init([](py::list stacks, py::list structures, bool alignment, py::object registration,
                         const std::string& referenceStack, py::object warping, unsigned int degree,
                         const std::string& name) {
                 auto f = std::make_unique<FusionObject>();
                 FusionConfig<double> config;
                 config.name = name;
                 std::set<std::string> names;
                 for (py::handle stack : stacks) {
                     const Stack& document = stackDocument(stack);
                     f->stacks.push_back(py::reinterpret_borrow<py::object>(stack));
                     config.stacks.push_back(&document);
                     for (int i = 0; i < document.getNumModels(); ++i)
                         names.insert(document.getModel(i)->getName());
                 }
                 f->names.assign(names.begin(), names.end());
                 for (py::handle s : structures) {
                     FusionSurfaceStructure<double> structure;
                     structure.reference = true;
                     if (py::isinstance<py::str>(s)) {
                         structure.name = s.cast<std::string>();
                     } else {
                         py::dict d = py::reinterpret_borrow<py::dict>(s);
                         structure.name = d["name"].cast<std::string>();
                         if (d.contains("reference"))
                             structure.reference = d["reference"].cast<bool>();
                         if (d.contains("height"))
                             structure.resamplingHeight = d["height"].cast<int>();
                         if (d.contains("width"))
                             structure.resamplingWidth = d["width"].cast<int>();
                     }
                     config.surfaceStructures.push_back(structure);
                 }
                 FusionStrategy& strategy = config.strategy;
                 strategy.alignment = alignment;
                 if (!registration.is_none()) {
                     const std::string r = registration.cast<std::string>();
                     strategy.registration = true;
                     if (r == "global")
                         strategy.registrationAlgorithm = FusionRegistrationAlgorithm::Global;
                     else if (r == "pairwise")
                         strategy.registrationAlgorithm = FusionRegistrationAlgorithm::Pairwise;
                     else
                         throw py::value_error("Fusion: registration must be None, \"global\" or \"pairwise\"");
                 }
                 strategy.referenceStack = referenceStack;
                 if (!warping.is_none()) {
                     const std::string w = warping.cast<std::string>();
                     strategy.warping = true;
                     if (w == "polynomials")
                         strategy.warpingModel = FusionWarpingModel::Polynomials;
                     else if (w == "thin-plate splines")
                         strategy.warpingModel = FusionWarpingModel::ThinPlateSplines;
                     else
                         throw py::value_error("Fusion: warping must be None, \"polynomials\" or \"thin-plate splines\"");
                 }
                 strategy.polynomialDegree = degree;
                 f->fusion->setConfig(config);
                 return f;
             }),
             py::arg("stacks"), py::arg("structures"), py::arg("alignment") = false,
             py::arg("registration") = py::none(), py::arg("reference_stack") = "", py::arg("warping") = py::none(),
             py::arg("degree") = 2, py::arg("name") = "fusion")
        .def(
            "run",
            [](FusionObject& f, py::object progress) {
                f.completed = false;
                bool completed;
                {
                    ProgressCallback callback(progress);
                    callback.watch(*f.fusion);
                    {
                        py::gil_scoped_release release;
                        completed = f.fusion->run();
                    }
                    callback.finish("Fusion.run");
                }
                if (!completed)
                    throwCancelled("Fusion.run");
                f.completed = true;
            },
            py::arg("progress") = py::none())
        .def(
            "cancel", [](FusionObject& f) { f.fusion->cancel(); },
            "Asks a run under way (in another thread) to stop at its next stage.")
        .def_readonly("structures", &FusionObject::names, "The structure names, in the order of the shape sets.")
        .def_property_readonly(
            "shape_sets",
            [](const FusionObject& f) {
                py::list out;
                for (const ShapeSet<double>* set : f.fusion->getShapeSets())
                    out.append(shapeSetDict(f.names, *set));
                return out;
            },
            "One dict per stack: structure name -> (levels, width, 3) mesh, (n, 3) points or None, in the "
            "common frame after the run.")
        .def_property_readonly(
            "mean",
            [](const FusionObject& f) -> py::object {
                const ShapeSet<double>* mean = f.fusion->getMeanShapeSet();
                if (!mean)
                    return py::none();
                return shapeSetDict(f.names, *mean);
            },
            "The structure-wise mean of the shape sets (None where the specimens' vertex counts differ).")
        .def_property_readonly("distances", [](const FusionObject& f) { return toArray(f.fusion->getDistances()); },
                               "For each stack, the mean RMS distance of its reference shapes to the mean's.")
        .def_property_readonly("log", [](const FusionObject& f) { return f.fusion->getLog(); },
                               "The HTML summary of the run.")
        .def_readonly("completed", &FusionObject::completed);
}

} // namespace plexanpy
