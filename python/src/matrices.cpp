// PixelMatrix and VoxelMatrix: numpy arrays seen as the library's matrices,
// and voxel-matrix files (".vm").

#include "common.h"

#include "image/lengthunit.h"
#include "numerics/exception.h"

namespace plexanpy {

namespace {

// One element of a contiguous array as a numpy scalar of its own type.
py::object scalar(Element e, const void* value)
{
    py::array one = newArray(e, {1});
    std::memcpy(one.mutable_data(), value, static_cast<std::size_t>(one.itemsize()));
    return one.attr("__getitem__")(0);
}

std::tuple<float, float, float> voxelSize(const VoxelCalibration& c)
{
    return {c.getVoxelHeight(), c.getVoxelWidth(), c.getVoxelDepth()};
}

VoxelCalibration calibration(const std::tuple<float, float, float>& size, int unit)
{
    VoxelCalibration c;
    c.setVoxelSize(Vector<float>{std::get<0>(size), std::get<1>(size), std::get<2>(size)});
    c.setLengthUnit(LengthUnit(unit));
    return c;
}

void checkIndex(long index, long size, const char* name)
{
    if (index < 0 || index >= size)
        throw py::index_error(std::string(name) + " " + std::to_string(index) + " outside 0.." +
                              std::to_string(size - 1));
}

PixelMatrixObject makePixelMatrix(py::handle object, bool copy)
{
    py::array array = contiguous(object, 2, "PixelMatrix");
    const Element e = elementOf(array, "PixelMatrix");
    if (copy)
        array = copyOf(array);
    return PixelMatrixObject{array, e};
}

VoxelMatrixObject makeVoxelMatrix(py::handle object, bool copy)
{
    py::array array = contiguous(object, 3, "VoxelMatrix");
    const Element e = elementOf(array, "VoxelMatrix");
    if (!accepts(NumericTypes{}, e))
        refuseElement("VoxelMatrix", array.dtype(),
                      {Element::Char, Element::UChar, Element::Short, Element::UShort, Element::Int, Element::UInt,
                       Element::Float, Element::Double, Element::LongDouble});
    if (copy)
        array = copyOf(array);
    return VoxelMatrixObject{array, e, VoxelCalibration()};
}

// The element type of a voxel-matrix file: the first type whose header the
// file accepts (the unsigned 8- and 16-bit types share one identifier, the
// file's length telling which; the signed ones have their own).
Element fileElement(const std::string& file)
{
    Element found = Element::Float;
    bool done = false;
    auto attempt = [&](auto tag) {
        using T = typename decltype(tag)::type;
        if (done)
            return;
        try {
            VoxelMatrix<T>().loadHeader(file);
            found = elementFor<T>();
            done = true;
        } catch (const TypeError&) {
        }
    };
    attempt(Tag<float>{});
    attempt(Tag<double>{});
    attempt(Tag<int>{});
    attempt(Tag<unsigned int>{});
    attempt(Tag<long double>{});
    attempt(Tag<unsigned char>{});
    attempt(Tag<unsigned short>{});
    attempt(Tag<char>{});
    attempt(Tag<short>{});
    if (!done)
        throw TypeError("VoxelMatrix.load", "No element type matches the voxel-matrix file " + file);
    return found;
}

py::object loadVoxelMatrix(py::handle path, py::object dtype)
{
    const std::string file = fileName(path);
    Element e = Element::Float;
    {
        py::gil_scoped_release release;
        if (dtype.is_none())
            e = fileElement(file);
    }
    if (!dtype.is_none()) {
        const std::optional<Element> given = elementOf(py::dtype::from_args(dtype));
        if (!given)
            refuseElement("VoxelMatrix.load", py::dtype::from_args(dtype), {});
        e = *given;
    }
    return dispatch(NumericTypes{}, e, "VoxelMatrix.load", [&](auto tag) {
        using T = typename decltype(tag)::type;
        VoxelMatrix<T> v;
        {
            py::gil_scoped_release release;
            v.load(file);
        }
        return voxelObject(v);
    });
}

} // namespace

void bindMatrices(py::module_& m)
{
    py::class_<PixelMatrixObject>(m, "PixelMatrix", R"(A 2-D image of numbers: the library's PixelMatrix over a numpy array.

Element (i, j), row i and column j, is array[i, j]; the array has shape
(rows, columns). Element types: int8 (the library's char), uint8, int16,
uint16, int32, uint32, float32, float64, longdouble and bool.

PixelMatrix(array, copy=True): with copy=False a C-contiguous array of
native byte order is used as it is (no copy), and changes made through
either are seen by both.)")
        .def(py::init(&makePixelMatrix), py::arg("array"), py::arg("copy") = true)
        .def_property_readonly("array", [](const PixelMatrixObject& p) { return p.array; },
                               "The elements, shape (rows, columns), without copy.")
        .def(
            "__array__",
            [](const PixelMatrixObject& p, py::object dtype) -> py::object {
                return dtype.is_none() ? py::object(p.array) : p.array.attr("astype")(dtype);
            },
            py::arg("dtype") = py::none())
        .def_property_readonly("dtype", [](const PixelMatrixObject& p) { return p.array.dtype(); })
        .def_property_readonly("shape", [](const PixelMatrixObject& p) { return p.array.attr("shape"); })
        .def(
            "element",
            [](const PixelMatrixObject& p, long i, long j) {
                checkIndex(i, p.array.shape(0), "row");
                checkIndex(j, p.array.shape(1), "column");
                return dispatch(AllTypes{}, p.element, "PixelMatrix.element", [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    const PixelMatrix<T> view = pixelView<T>(p.array);
                    const T value = view(static_cast<int>(i), static_cast<int>(j));
                    return scalar(p.element, &value);
                });
            },
            py::arg("i"), py::arg("j"), "Element (i, j) as the library reads it: array[i, j].")
        .def(
            "copy",
            [](const PixelMatrixObject& p) {
                return dispatch(AllTypes{}, p.element, "PixelMatrix.copy", [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    const PixelMatrix<T> copy(pixelView<T>(p.array));
                    return py::cast(PixelMatrixObject{toArray(copy), p.element});
                });
            },
            "A deep copy made by the library (its own rows), as a new PixelMatrix.")
        .def(
            "cat",
            [](const PixelMatrixObject& p) {
                return dispatch(AllTypes{}, p.element, "PixelMatrix.cat", [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    return py::object(toArray(pixelView<T>(p.array).cat()));
                });
            },
            "Every element, row after row, as a 1-D array (the library's cat()).")
        .def(
            "transpose",
            [](const PixelMatrixObject& p) {
                return dispatch(AllTypes{}, p.element, "PixelMatrix.transpose", [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    const PixelMatrix<T> t(pixelView<T>(p.array).transpose());
                    return py::cast(PixelMatrixObject{toArray(t), p.element});
                });
            },
            "The transposed matrix, computed by the library.")
        .def("__repr__", [](const PixelMatrixObject& p) {
            return "PixelMatrix(" + std::to_string(p.array.shape(0)) + " x " + std::to_string(p.array.shape(1)) +
                   ", " + dtypeName(p.element) + ")";
        });

    py::class_<VoxelMatrixObject>(m, "VoxelMatrix", R"(A 3-D image: the library's VoxelMatrix over a numpy array, with its calibration.

A voxel matrix is a stack of planes of rows x columns. Its array has shape
(planes, rows, columns), the order in which the planes are stored and
written to voxel-matrix files: element (i, j, k), row i, column j of
plane k, is array[k, i, j]. The voxel size is given in the library's
(i, j, k) order: (height, width, depth), the extent of a voxel along the
rows, the columns and between planes, in the length unit 10**unit metre.
Element types: int8 (the library's char), uint8, int16, uint16, int32,
uint32, float32, float64 and longdouble.

VoxelMatrix(array, voxel_size=(1, 1, 1), unit=0, copy=True): with
copy=False a C-contiguous array of native byte order is used as it is (no
copy). numpy.asarray(volume) is the array itself.)")
        .def(py::init([](py::handle array, std::tuple<float, float, float> size, int unit, bool copy) {
                 VoxelMatrixObject v = makeVoxelMatrix(array, copy);
                 v.calibration = calibration(size, unit);
                 return v;
             }),
             py::arg("array"), py::arg("voxel_size") = std::make_tuple(1.0f, 1.0f, 1.0f), py::arg("unit") = 0,
             py::arg("copy") = true)
        .def_property_readonly("array", [](const VoxelMatrixObject& v) { return v.array; },
                               "The voxels, shape (planes, rows, columns), without copy.")
        .def(
            "__array__",
            [](const VoxelMatrixObject& v, py::object dtype) -> py::object {
                return dtype.is_none() ? py::object(v.array) : v.array.attr("astype")(dtype);
            },
            py::arg("dtype") = py::none())
        .def_property_readonly("dtype", [](const VoxelMatrixObject& v) { return v.array.dtype(); })
        .def_property_readonly("shape", [](const VoxelMatrixObject& v) { return v.array.attr("shape"); })
        .def_property(
            "voxel_size", [](const VoxelMatrixObject& v) { return voxelSize(v.calibration); },
            [](VoxelMatrixObject& v, std::tuple<float, float, float> size) {
                v.calibration = calibration(size, v.calibration.getLengthUnit().getScale());
            },
            "(height, width, depth) of a voxel: along the rows, the columns and between planes.")
        .def_property(
            "unit", [](const VoxelMatrixObject& v) { return v.calibration.getLengthUnit().getScale(); },
            [](VoxelMatrixObject& v, int unit) { v.calibration.setLengthUnit(LengthUnit(unit)); },
            "The length unit as a power of ten of the metre (-6 for micrometres).")
        .def_property_readonly(
            "unit_symbol", [](const VoxelMatrixObject& v) { return v.calibration.getLengthUnit().symbol(); },
            "The length unit's symbol (\"µm\").")
        .def(
            "element",
            [](const VoxelMatrixObject& v, long i, long j, long k) {
                checkIndex(i, v.array.shape(1), "row");
                checkIndex(j, v.array.shape(2), "column");
                checkIndex(k, v.array.shape(0), "plane");
                return dispatch(NumericTypes{}, v.element, "VoxelMatrix.element", [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    const VoxelMatrix<T> view = voxelView<T>(v.array);
                    const T value = view(static_cast<int>(i), static_cast<int>(j), static_cast<int>(k));
                    return scalar(v.element, &value);
                });
            },
            py::arg("i"), py::arg("j"), py::arg("k"),
            "Element (i, j, k) (row, column, plane) as the library reads it: array[k, i, j].")
        .def(
            "copy",
            [](const VoxelMatrixObject& v) {
                return dispatch(NumericTypes{}, v.element, "VoxelMatrix.copy", [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    VoxelMatrix<T> view = voxelView<T>(v.array);
                    view.setVoxelCalibration(v.calibration);
                    const VoxelMatrix<T> copy(view);
                    return voxelObject(copy);
                });
            },
            "A deep copy made by the library (its own planes), as a new VoxelMatrix.")
        .def(
            "cat",
            [](const VoxelMatrixObject& v) {
                return dispatch(NumericTypes{}, v.element, "VoxelMatrix.cat", [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    return py::object(toArray(voxelView<T>(v.array).cat()));
                });
            },
            "Every voxel in the library's order (plane by plane, row by row) as a 1-D array.")
        .def(
            "projection",
            [](const VoxelMatrixObject& v, const std::string& kind) {
                if (kind != "sum" && kind != "min" && kind != "max")
                    throw py::value_error("projection: kind must be \"sum\", \"min\" or \"max\", not \"" + kind + "\"");
                return dispatch(NumericTypes{}, v.element, "VoxelMatrix.projection", [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    const VoxelMatrix<T> view = voxelView<T>(v.array);
                    PixelMatrix<T> p;
                    {
                        py::gil_scoped_release release;
                        p = kind == "sum" ? view.sum() : kind == "min" ? view.min() : view.max();
                    }
                    return py::object(toArray(p));
                });
            },
            py::arg("kind") = "max",
            "The projection along the planes (rows x columns): \"max\" (maximum intensity), \"min\" or \"sum\" "
            "(accumulated in the element type).")
        .def(
            "range",
            [](const VoxelMatrixObject& v) {
                return dispatch(NumericTypes{}, v.element, "VoxelMatrix.range", [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    const Vector<T> r = voxelView<T>(v.array).range();
                    return py::object(py::make_tuple(scalar(v.element, &r[0]), scalar(v.element, &r[1])));
                });
            },
            "(minimum, maximum) of the voxels.")
        .def(
            "save",
            [](const VoxelMatrixObject& v, py::handle path, bool overwrite) {
                const std::string file = fileName(path);
                dispatch(NumericTypes{}, v.element, "VoxelMatrix.save", [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    VoxelMatrix<T> view = voxelView<T>(v.array);
                    view.setVoxelCalibration(v.calibration);
                    {
                        py::gil_scoped_release release;
                        view.save(file, overwrite);
                    }
                    return py::object();
                });
            },
            py::arg("path"), py::arg("overwrite") = false,
            "Writes a voxel-matrix file (.vm) with the element type and calibration. An existing file is "
            "refused unless overwrite is true, and is replaced only once the new one is complete.")
        .def_static("load", &loadVoxelMatrix, py::arg("path"), py::arg("dtype") = py::none(),
                    "Reads a voxel-matrix file. Without dtype the file's element type is used (the 8- and "
                    "16-bit types, which files do not tell apart from their signed forms, are read as uint8 "
                    "and uint16; older files without a type as float32).")
        .def("__repr__", [](const VoxelMatrixObject& v) {
            const auto [h, w, d] = voxelSize(v.calibration);
            return "VoxelMatrix(" + std::to_string(v.array.shape(0)) + " planes of " +
                   std::to_string(v.array.shape(1)) + " x " + std::to_string(v.array.shape(2)) + ", " +
                   dtypeName(v.element) + ", voxel " + py::str(py::make_tuple(h, w, d)).cast<std::string>() + " " +
                   v.calibration.getLengthUnit().symbol() + ")";
        });

    m.def("read_volume", &loadVoxelMatrix, py::arg("path"), py::arg("dtype") = py::none(),
          "Reads a voxel-matrix file (.vm) as a VoxelMatrix: VoxelMatrix.load.");
}

} // namespace plexanpy
