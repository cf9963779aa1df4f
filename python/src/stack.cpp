// Stacks: reading and writing stack files, slices, models and their items,
// the 3D reconstruction of models, their measures, slice registration and
// the volume of the slice images.

#include "common.h"

#include "geometry/curvestack.h"
#include "geometry/curvestacktriangulation.h"
#include "geometry/vertexstack.h"
#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/modelmorphometry.h"
#include "stack/morphometrytable.h"
#include "stack/sliceregistration.h"
#include "stack/stack.h"
#include "stack/stackbackups.h"
#include "stack/stackreader.h"
#include "stack/stackreconstruction.h"
#include "stack/stackslice.h"
#include "stack/stackvolumeconversion.h"
#include "stack/stackwriter.h"

#include <memory>

namespace plexanpy {

namespace {

// A stack document with what its reading said. Slices, models and items are
// handed out as references that keep the document alive.
struct StackObject {
    Stack stack;
    std::string file;
    std::vector<std::string> log;
    int fatalErrors = 0;
};
using StackPointer = std::shared_ptr<StackObject>;

struct SliceRef {
    StackPointer owner;
    StackSlice* slice;
};
struct ModelRef {
    StackPointer owner;
    Model* model;
};
struct ItemRef {
    StackPointer owner;
    ModelItem* item;
};

const char* geometryName(MPrimitive g)
{
    switch (g) {
    case MPrimitive::Polygon:
        return "polygon";
    case MPrimitive::Polyline:
        return "polyline";
    case MPrimitive::Polypoint:
        return "polypoint";
    default:
        return "unknown";
    }
}

MPrimitive geometryOf(const std::string& name)
{
    if (name == "polygon")
        return MPrimitive::Polygon;
    if (name == "polyline")
        return MPrimitive::Polyline;
    if (name == "polypoint")
        return MPrimitive::Polypoint;
    throw py::value_error("geometry must be \"polygon\", \"polyline\" or \"polypoint\", not \"" + name + "\"");
}

StackPointer readStack(py::handle path, py::object progress)
{
    auto result = std::make_shared<StackObject>();
    result->file = fileName(path);
    StackReader reader;
    ProgressCallback callback(progress);
    callback.watch(reader);
    bool opened;
    {
        py::gil_scoped_release release;
        opened = reader.read(result->stack, result->file);
    }
    callback.finish("read_stack");
    if (!opened)
        throw FileReadError("read_stack(path)", "Cannot open stack file for reading", result->file);
    result->log = reader.getLog();
    result->fatalErrors = reader.getNumFatalErrors();
    return result;
}

Model& findModel(const StackObject& s, const std::string& name)
{
    const int index = s.stack.findModel(name);
    if (index < 0)
        throw py::key_error("stack \"" + s.stack.getName() + "\" has no model \"" + name + "\"");
    return *s.stack.getModel(index);
}

py::object cellValue(const MorphometryTable::Cell& cell)
{
    switch (cell.getKind()) {
    case MorphometryTable::Cell::Text:
        return py::str(cell.toString());
    case MorphometryTable::Cell::Integer:
        return py::int_(static_cast<long long>(cell.getValue()));
    case MorphometryTable::Cell::Real:
        return py::float_(cell.getValue());
    default:
        return py::none();
    }
}

py::list tableRows(const MorphometryTable& table)
{
    std::vector<py::str> keys;
    for (std::string header : table.getHeaders()) {
        for (char& c : header)
            if (c == '\n')
                c = ' ';
        keys.emplace_back(header);
    }
    py::list rows;
    for (int r = 0; r < table.getNumRows(); ++r) {
        py::dict row;
        for (int c = 0; c < table.getNumColumns(); ++c)
            row[keys[static_cast<std::size_t>(c)]] = cellValue(table.getCell(r, c));
        rows.append(row);
    }
    return rows;
}

template <typename T>
py::array pointsOf(const Vertices<T>& vertices)
{
    const int n = vertices.getNumVertices();
    const int space = n > 0 ? vertices.vertex(0).getSize() : 3;
    py::array out = newArray(Element::Double, {n, space});
    double* p = dataOf<double>(out);
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < space; ++c)
            p[i * space + c] = static_cast<double>(vertices.vertex(i)[c]);
    return out;
}

// The levels of a model placed in 3D: one per item, slices in stack order.
std::unique_ptr<VertexStack<double>> reconstruct(const StackObject& s, const Model& model)
{
    StackReconstruction<double> reconstruction(s.stack);
    return reconstruction.apply(model);
}

py::object registrationTuple(const Registration& r)
{
    return py::make_tuple(r.getHorizontalShift(), r.getVerticalShift(), r.getRotationAngle());
}

py::list itemsOf(const StackPointer& owner, const std::vector<ModelItem*>& items)
{
    py::list out;
    for (ModelItem* item : items)
        out.append(ItemRef{owner, item});
    return out;
}

py::object optionalMeasure(double value)
{
    return value < 0 ? py::none() : py::object(py::float_(value));
}

} // namespace

const Stack& stackDocument(py::handle stack)
{
    if (!py::isinstance<StackObject>(stack))
        throw py::type_error("expected a plexan.Stack, not " + py::str(py::type::of(stack)).cast<std::string>());
    return stack.cast<const StackObject&>().stack;
}

void bindStack(py::module_& m)
{
    py::class_<StackObject, StackPointer> stack(m, "Stack", R"(A stack document: its slices (each names its image and carries its
calibration, position and registration), the models outlined on them and their items.

Read one with read_stack(path). The reader goes on past statements it cannot use; what it
said is in log and fatal_errors (the slice images it could not find, say). Slices, models
and items keep their stack alive. A stack is used from one thread at a time.)");
    py::class_<SliceRef> slice(m, "Slice", "A slice of a stack.");
    py::class_<ModelRef> model(m, "Model", "A model of a stack: a named group of items of one geometry.");
    py::class_<ItemRef> item(m, "ModelItem", "One outline, line or point set of a model on a slice.");

    m.def("read_stack", &readStack, py::arg("path"), py::arg("progress") = py::none(),
          "Reads a stack file (.sdf), of any version; FileReadError when it cannot be opened.");

    stack.def_static("read", &readStack, py::arg("path"), py::arg("progress") = py::none(), "As read_stack.")
        .def_property(
            "name", [](const StackObject& s) { return s.stack.getName(); },
            [](StackObject& s, const std::string& name) { s.stack.setName(name); })
        .def_property(
            "annotation", [](const StackObject& s) { return s.stack.getAnnotation(); },
            [](StackObject& s, const std::string& text) { s.stack.setAnnotation(text); })
        .def_readonly("file", &StackObject::file, "The file it was read from.")
        .def_readonly("log", &StackObject::log, "The reader's messages, in order.")
        .def_readonly("fatal_errors", &StackObject::fatalErrors,
                      "The fatal errors of the reading (slice images that could not be read).")
        .def_property_readonly("unit", [](const StackObject& s) { return s.stack.getLengthUnit().getScale(); },
                               "The length unit as a power of ten of the metre (-6 for micrometres).")
        .def_property_readonly("unit_symbol", [](const StackObject& s) { return s.stack.getLengthUnit().symbol(); })
        .def_property_readonly("slices",
                               [](const StackPointer& s) {
                                   py::list out;
                                   for (int i = 0; i < s->stack.getNumSlices(); ++i)
                                       out.append(SliceRef{s, s->stack.getSlice(i)});
                                   return out;
                               })
        .def_property_readonly("models",
                               [](const StackPointer& s) {
                                   py::list out;
                                   for (int i = 0; i < s->stack.getNumModels(); ++i)
                                       out.append(ModelRef{s, s->stack.getModel(i)});
                                   return out;
                               })
        .def(
            "slice",
            [](const StackPointer& s, const std::string& name) {
                const int index = s->stack.findSlice(name);
                if (index < 0)
                    throw py::key_error("stack \"" + s->stack.getName() + "\" has no slice \"" + name + "\"");
                return SliceRef{s, s->stack.getSlice(index)};
            },
            py::arg("name"))
        .def(
            "model", [](const StackPointer& s, const std::string& name) { return ModelRef{s, &findModel(*s, name)}; },
            py::arg("name"))
        .def(
            "add_model",
            [](const StackPointer& s, const std::string& name, const std::string& geometry) {
                if (s->stack.findModel(name) >= 0)
                    throw py::value_error("stack \"" + s->stack.getName() + "\" already has a model \"" + name + "\"");
                const MPrimitive g = geometryOf(geometry);
                auto model = std::make_unique<Model>(name);
                model->getProperties().setGeometry(g);
                Model* added = model.release();
                s->stack.addModel(added);
                return ModelRef{s, added};
            },
            py::arg("name"), py::arg("geometry") = "polygon",
            "Adds a new model (red, drawn as a surface) of geometry \"polygon\", \"polyline\" or \"polypoint\".")
        .def(
            "measure",
            [](const StackObject& s, const std::string& geometry, py::object modelName) {
                MorphometryTable table;
                if (!modelName.is_none()) {
                    const Model& model = findModel(s, modelName.cast<std::string>());
                    py::gil_scoped_release release;
                    table = MorphometryTable::itemTable(s.stack, model);
                } else {
                    const MPrimitive g = geometryOf(geometry);
                    py::gil_scoped_release release;
                    table = MorphometryTable::modelTable(s.stack, g);
                }
                return tableRows(table);
            },
            py::arg("geometry") = "polygon", py::arg("model") = py::none(),
            R"(The morphometry table as a list of dicts, one per row, keyed by the column headers (with their
units, "Area [µm^2]"): by default the model table of the models of one geometry that have
items (vertex count, centre, contours, surface area, slab volume; None where a measure cannot be
made), or with model="name" the item table of that model. The numbers are those of
plexan-cli measure.)")
        .def(
            "morphometry",
            [](const StackObject& s, const std::string& name) {
                const Model& model = findModel(s, name);
                ModelMorphometry morphometry;
                morphometry.setModel(model);
                {
                    py::gil_scoped_release release;
                    morphometry.run();
                }
                py::dict out;
                out["vertices"] = morphometry.getNumVertices();
                out["contours"] = morphometry.getNumContours();
                out["area"] = optionalMeasure(morphometry.getArea());
                out["volume"] = optionalMeasure(morphometry.getVolume());
                out["equivalent_radius"] = optionalMeasure(morphometry.getEquivRadius());
                out["centre"] = toArray(morphometry.getIsobarycenter());
                out["axis_lengths"] = toArray(morphometry.getMainAxesLengths());
                const SquareMatrix<double>& axes = morphometry.getMainAxes();
                py::array a = newArray(Element::Double, {axes.getSize1(), axes.getSize2()});
                for (int i = 0; i < axes.getSize1(); ++i)
                    for (int j = 0; j < axes.getSize2(); ++j)
                        dataOf<double>(a)[i * axes.getSize2() + j] = axes(i, j);
                out["axes"] = a;
                return out;
            },
            py::arg("model"),
            R"(The measures of one model in the stack's 3D frame and length unit: vertex and contour counts,
centre, principal axes (one unit vector per column, by decreasing spread) and their lengths
(standard deviations), surface area and volume (None when they cannot be made).)")
        .def(
            "contours",
            [](const StackObject& s, const std::string& name) {
                const std::unique_ptr<VertexStack<double>> levels = reconstruct(s, findModel(s, name));
                py::list out;
                if (levels)
                    for (int k = 0; k < levels->getHeight(); ++k)
                        out.append(pointsOf((*levels)[k]));
                return out;
            },
            py::arg("model"),
            "The model's items placed in the stack's 3D frame: one (n, 3) array (X, Y, Z) per item, slices in "
            "stack order.")
        .def(
            "surface",
            [](const StackObject& s, const std::string& name, int method) {
                const Model& model = findModel(s, name);
                if (model.getGeometry() != MPrimitive::Polygon && model.getGeometry() != MPrimitive::Polyline)
                    throw py::value_error("model \"" + name + "\" has no surface: it is a point model");
                if (method < 1 || method > 4)
                    throw py::value_error("surface: method must be 1, 2, 3 or 4");
                const std::unique_ptr<VertexStack<double>> levels = reconstruct(s, model);
                auto* contours = dynamic_cast<CurveStack<double>*>(levels.get());
                CurveStackTriangulation<double> triangulation(method);
                if (contours) {
                    py::gil_scoped_release release;
                    triangulation.apply(*contours);
                }
                const TriMesh<double>& mesh = triangulation.getTriMesh();
                py::array vertices = pointsOf(mesh);
                py::array faces = newArray(Element::UInt, {mesh.getNumTriangles(), 3});
                for (int t = 0; t < mesh.getNumTriangles(); ++t)
                    for (int c = 0; c < 3; ++c)
                        dataOf<unsigned int>(faces)[3 * t + c] = mesh.triangleIndexes(static_cast<unsigned int>(t))[c];
                return py::make_tuple(vertices, faces);
            },
            py::arg("model"), py::arg("method") = 2,
            "(vertices, faces) of the surface skinning the model's contours in 3D, as triangulate_contours.")
        .def(
            "to_volume",
            [](const StackObject& s, py::object dtype, const std::string& content) {
                ImageColorContent c;
                if (content == "grey")
                    c = ImageColorContent::Grayscale;
                else if (content == "red")
                    c = ImageColorContent::RedOnly;
                else if (content == "green")
                    c = ImageColorContent::GreenOnly;
                else if (content == "blue")
                    c = ImageColorContent::BlueOnly;
                else
                    throw py::value_error("to_volume: content must be \"grey\", \"red\", \"green\" or \"blue\"");
                const std::optional<Element> e = elementOf(py::dtype::from_args(dtype));
                return dispatch(Types<int, float, double, long double>{}, e.value_or(Element::Bool), "to_volume",
                                [&](auto tag) {
                                    using T = typename decltype(tag)::type;
                                    StackVolumeConversion conversion;
                                    conversion.setContent(c);
                                    VoxelMatrix<T> volume;
                                    {
                                        py::gil_scoped_release release;
                                        volume = conversion.apply<T>(s.stack);
                                    }
                                    return voxelObject(volume);
                                });
            },
            py::arg("dtype") = "float32", py::arg("content") = "grey",
            R"(The slice images as a VoxelMatrix, plane k for slice k, at their display size and as they are
(registrations not applied): grey levels or one colour component, with the voxel size of the
first slice's display pixel and the mean spacing of the slices. dtype: int32, float32, float64
or longdouble.)")
        .def(
            "register_slices",
            [](StackObject& s, py::object progress) {
                SliceRegistration registration;
                ProgressCallback callback(progress);
                callback.watch(registration);
                bool completed;
                {
                    py::gil_scoped_release release;
                    completed = registration.registerAllSlices(s.stack);
                }
                callback.finish("register_slices");
                if (!completed)
                    throwCancelled("register_slices");
                py::list out;
                for (int i = 0; i < s.stack.getNumSlices(); ++i)
                    out.append(registrationTuple(s.stack.getSlice(i)->getRegistration()));
                return out;
            },
            py::arg("progress") = py::none(),
            R"(Registers every slice from the second on on the previous one (principal axes of the grey
levels) and returns every slice's registration. progress(fraction, text) is called as slices
are done; returning False stops, keeping the slices registered so far, and raises Cancelled.)")
        .def(
            "write",
            [](const StackObject& s, py::handle path, bool overwrite) {
                const std::string file = fileName(path);
                const char* where = "Stack.write(path)";
                py::gil_scoped_release release;
                PendingFile pending(file, overwrite, where);
                StackWriter writer;
                if (!writer.write(s.stack, pending.getPath()))
                    throw FileWriteError(where, "Cannot write stack file", file);
                StackBackups().make(file);
                pending.commit();
            },
            py::arg("path"), py::arg("overwrite") = false,
            R"(Writes the stack file. An existing file is refused unless overwrite is true; it is replaced only
once the new file is complete, its previous versions kept as NAME~1 (the newest) to NAME~5.)")
        .def("__repr__", [](const StackObject& s) {
            return "Stack(\"" + s.stack.getName() + "\", " + std::to_string(s.stack.getNumSlices()) + " slices, " +
                   std::to_string(s.stack.getNumModels()) + " models)";
        });

    slice.def_property_readonly("name", [](const SliceRef& r) { return r.slice->getName(); })
        .def_property_readonly("annotation", [](const SliceRef& r) { return r.slice->getAnnotation(); })
        .def_property_readonly("index", [](const SliceRef& r) { return r.owner->stack.findSlice(r.slice); })
        .def_property_readonly(
            "image_file",
            [](const SliceRef& r) -> py::object {
                if (!r.slice->hasImageSource())
                    return py::none();
                const ImageSource& source = r.slice->getImageSource();
                if (const auto* file = dynamic_cast<const ImageSourceFile*>(&source))
                    return py::str(file->getFilename());
                if (const auto* plane = dynamic_cast<const ImageSourceVoxelMatrixPlane*>(&source))
                    return py::str(plane->getVoxelMatrixFilename());
                return py::none();
            },
            "The image file (or the voxel-matrix file of a plane), None for a mosaic or no image.")
        .def_property_readonly("position", [](const SliceRef& r) { return r.slice->getAbsolutePosition(); },
                               "The position along the stack axis.")
        .def_property_readonly("spacing", [](const SliceRef& r) { return r.slice->getRelativePosition(); },
                               "The distance from the previous slice.")
        .def_property_readonly("pixel_width", [](const SliceRef& r) { return r.slice->getPixelCalibration().getPixelWidth(); })
        .def_property_readonly("pixel_height",
                               [](const SliceRef& r) { return r.slice->getPixelCalibration().getPixelHeight(); })
        .def_property_readonly("size", [](const SliceRef& r) { return py::make_tuple(r.slice->width(), r.slice->height()); },
                               "(width, height) at the display size, in pixels.")
        .def_property(
            "registration", [](const SliceRef& r) { return registrationTuple(r.slice->getRegistration()); },
            [](SliceRef& r, std::tuple<int, int, float> value) {
                r.slice->setRegistration(Registration(std::get<0>(value), std::get<1>(value), std::get<2>(value)));
            },
            "(horizontal shift, vertical shift, rotation angle in degrees) relative to the previous slice.")
        .def_property_readonly("items", [](const SliceRef& r) { return itemsOf(r.owner, r.slice->getItems()); })
        .def(
            "read_image",
            [](const SliceRef& r) {
                Image image;
                {
                    py::gil_scoped_release release;
                    r.slice->load(image);
                }
                return pixelsOf(std::move(image));
            },
            "The slice image at its display size, as an array (see Image.array).")
        .def("__eq__", [](const SliceRef& a, const SliceRef& b) { return a.slice == b.slice; })
        .def("__hash__", [](const SliceRef& r) { return std::hash<const void*>()(r.slice); })
        .def("__repr__", [](const SliceRef& r) { return "Slice(\"" + r.slice->getName() + "\")"; });

    model.def_property_readonly("name", [](const ModelRef& r) { return r.model->getName(); })
        .def_property_readonly("geometry", [](const ModelRef& r) { return geometryName(r.model->getGeometry()); },
                               "\"polygon\", \"polyline\" or \"polypoint\".")
        .def_property_readonly(
            "color",
            [](const ModelRef& r) -> py::object {
                const ModelItemProperties& p = r.model->getItemProperties();
                if (!p.definesColor())
                    return py::none();
                const Vector<int> c = p.getColor();
                return py::make_tuple(c[0], c[1], c[2]);
            },
            "(red, green, blue) from 0 to 255 of the model's items.")
        .def_property_readonly("items", [](const ModelRef& r) { return itemsOf(r.owner, r.model->getItems()); })
        .def(
            "add_item",
            [](const ModelRef& r, const SliceRef& s, py::handle vertices) {
                if (r.owner != s.owner)
                    throw py::value_error("add_item: the slice belongs to another stack");
                py::array points = contiguousAs(vertices, 2, Element::Int, "add_item");
                if (points.shape(1) != 2)
                    throw py::value_error("add_item: vertices are an (n, 2) array of (x, y) pixel coordinates");
                const int n = static_cast<int>(points.shape(0));
                Vertices<int> list(2, n);
                for (int i = 0; i < n; ++i) {
                    list.vertex(i)[0] = dataOf<int>(points)[2 * i];
                    list.vertex(i)[1] = dataOf<int>(points)[2 * i + 1];
                }
                auto* added = new ModelItem(r.model, s.slice);
                added->attach();
                added->setVertices(list);
                return ItemRef{r.owner, added};
            },
            py::arg("slice"), py::arg("vertices"),
            "Adds an item on a slice of the same stack: an (n, 2) array of (x, y) pixel coordinates.")
        .def("__eq__", [](const ModelRef& a, const ModelRef& b) { return a.model == b.model; })
        .def("__hash__", [](const ModelRef& r) { return std::hash<const void*>()(r.model); })
        .def("__repr__", [](const ModelRef& r) {
            return "Model(\"" + r.model->getName() + "\", " + geometryName(r.model->getGeometry()) + ", " +
                   std::to_string(r.model->getNumItems()) + " items)";
        });

    item.def_property_readonly(
            "vertices",
            [](const ItemRef& r) {
                const Vertices<int>& v = r.item->getVertices();
                py::array out = newArray(Element::Int, {v.getNumVertices(), 2});
                for (int i = 0; i < v.getNumVertices(); ++i) {
                    dataOf<int>(out)[2 * i] = v.vertex(i)[0];
                    dataOf<int>(out)[2 * i + 1] = v.vertex(i)[1];
                }
                return out;
            },
            "The (n, 2) int32 array of (x, y) pixel coordinates on the slice image, y pointing down.")
        .def_property_readonly("slice", [](const ItemRef& r) { return SliceRef{r.owner, r.item->getSlice()}; })
        .def_property_readonly("model", [](const ItemRef& r) { return ModelRef{r.owner, r.item->getModel()}; })
        .def(
            "points",
            [](const ItemRef& r) {
                StackReconstruction<double> reconstruction(r.owner->stack);
                Vertices<double> out;
                reconstruction.map(out, *r.item);
                return pointsOf(out);
            },
            "The vertices placed in the stack's 3D frame: an (n, 3) array of (X, Y, Z).")
        .def("__eq__", [](const ItemRef& a, const ItemRef& b) { return a.item == b.item; })
        .def("__hash__", [](const ItemRef& r) { return std::hash<const void*>()(r.item); })
        .def("__repr__", [](const ItemRef& r) {
            return "ModelItem(\"" + (r.item->getModel() ? r.item->getModel()->getName() : std::string()) + "\" on \"" +
                   (r.item->getSlice() ? r.item->getSlice()->getName() : std::string()) + "\", " +
                   std::to_string(r.item->getSize()) + " vertices)";
        });
}

} // namespace plexanpy
