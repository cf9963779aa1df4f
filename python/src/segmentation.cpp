// Thresholding, boundaries and contours, component labelling, grey-level
// erosion and dilation, and histogram expansion.

#include "common.h"

#include "geometry/curve.h"
#include "imageprocessing/componentlabelling.h"
#include "imageprocessing/isodatathresholding.h"
#include "imageprocessing/thresholding.h"
#include "imageprocessing/volumehistogramexpansion.h"
#include "imageprocessing/voxelmatrixdilatation.h"
#include "imageprocessing/voxelmatrixerosion.h"

#include <limits>

namespace plexanpy {

namespace {

using ThresholdTypes = Types<int, float, double, long double>;
using LabelTypes = Types<short, unsigned short, int, unsigned int, float, double, long double>;

// Thresholding works on int32, float32, float64 and longdouble arrays as they
// are; other integer arrays as int32 (values beyond it as float64).
py::array thresholdOperand(py::handle object, const std::string& what)
{
    py::array array = operand(object, what);
    const std::optional<Element> e = elementOf(array.dtype());
    if (e && accepts(ThresholdTypes{}, *e))
        return array;
    const char kind = array.dtype().kind();
    const bool fitsInt = (kind == 'b') || ((kind == 'i' || kind == 'u') && array.itemsize() < 4);
    return contiguousAs(array, static_cast<int>(array.ndim()), fitsInt ? Element::Int : Element::Double, what);
}

template <typename T>
void configure(Thresholding<T>& t, double foreground, double background)
{
    t.setForeground(static_cast<T>(foreground));
    t.setBackground(static_cast<T>(background));
}

// The array of one structuring element for erosion and dilation: the flat
// 3 x 3 x 3 cube when none is given.
py::array structuringElement(py::handle element, Element e, const std::string& what)
{
    if (element.is_none()) {
        py::array flat = newArray(e, {3, 3, 3});
        py::module_::import("numpy").attr("copyto")(flat, 0);
        return flat;
    }
    return contiguousAs(element, 3, e, what + " (structure)");
}

template <typename Morphology, typename T>
py::array morphology(py::handle volume, const py::array& array, py::handle element, const std::string& what)
{
    Morphology operation;
    py::array s = structuringElement(element, elementFor<T>(), what);
    operation.setStructElt(voxelView<T>(s));
    return applyTo<T>(copyOf(array), [&](auto& matrix) {
        if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, VoxelMatrix<T>>)
            operation.apply(matrix);
    });
}

} // namespace

void bindSegmentation(py::module_& m)
{
    m.def(
        "threshold",
        [](py::handle a, double threshold, double foreground, double background, bool above, bool inplace) {
            py::array array = thresholdOperand(a, "threshold");
            return returnLike(a, dispatch(ThresholdTypes{}, elementOf(array, "threshold"), "threshold", [&](auto tag) {
                using T = typename decltype(tag)::type;
                Thresholding<T> t;
                configure(t, foreground, background);
                t.setThreshold(static_cast<T>(threshold));
                t.setForegroundIsAbove(above);
                return py::object(applyTo<T>(target(a, array, inplace, "threshold"), [&](auto& matrix) { t.apply(matrix); }));
            }).cast<py::array>());
        },
        py::arg("array"), py::arg("threshold"), py::arg("foreground") = 255, py::arg("background") = 0,
        py::arg("above") = true, py::arg("inplace") = false,
        R"(Binarises: an element at or above the threshold becomes foreground, any other background (the
other way round with above=False). int32, float32, float64 and longdouble arrays keep their
type; smaller integer and bool arrays become int32, others float64.)");

    m.def(
        "isodata_threshold",
        [](py::handle a, py::object origin, py::object width, unsigned int bins) {
            py::array array = thresholdOperand(a, "isodata_threshold");
            return dispatch(ThresholdTypes{}, elementOf(array, "isodata_threshold"), "isodata_threshold", [&](auto tag) {
                using T = typename decltype(tag)::type;
                IsodataThresholding<T> t;
                t.setBins(origin.is_none() ? t.getOrigin() : origin.cast<T>(),
                          width.is_none() ? t.getBinWidth() : width.cast<T>(), bins);
                T value;
                if (array.ndim() == 2) {
                    const PixelMatrix<T> view = pixelView<T>(array);
                    py::gil_scoped_release release;
                    value = t.computeThreshold(view);
                } else {
                    const VoxelMatrix<T> view = voxelView<T>(array);
                    py::gil_scoped_release release;
                    value = t.computeThreshold(view);
                }
                return py::cast(static_cast<double>(value));
            });
        },
        py::arg("array"), py::arg("origin") = py::none(), py::arg("bin_width") = py::none(), py::arg("bins") = 256,
        R"(The isodata threshold of the array's histogram (bins of bin_width from origin; by default bins
centred on the integers 0..255 for real arrays, [b, b + 1) for integer ones): the split between
two classes moved to the middle of their means until it settles.)");

    m.def(
        "level_set_mask",
        [](py::handle a, double level, double foreground, double background) {
            py::array array = thresholdOperand(a, "level_set_mask");
            return returnLike(a, dispatch(ThresholdTypes{}, elementOf(array, "level_set_mask"), "level_set_mask", [&](auto tag) {
                using T = typename decltype(tag)::type;
                Thresholding<T> t;
                configure(t, foreground, background);
                return py::object(applyTo<T>(copyOf(array), [&](auto& matrix) { t.levelSetMask(matrix, static_cast<T>(level)); }));
            }).cast<py::array>());
        },
        py::arg("array"), py::arg("level"), py::arg("foreground") = 255, py::arg("background") = 0,
        "Elements equal to level become foreground, all others background.");

    m.def(
        "boundaries",
        [](py::handle a, double foreground, double background) {
            py::array array = thresholdOperand(a, "boundaries");
            if (array.ndim() != 2)
                throw py::value_error("boundaries: expected a 2-D array");
            return dispatch(ThresholdTypes{}, elementOf(array, "boundaries"), "boundaries", [&](auto tag) {
                using T = typename decltype(tag)::type;
                Thresholding<T> t;
                configure(t, foreground, background);
                return py::object(applyTo<T>(copyOf(array), [&](auto& matrix) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, PixelMatrix<T>>)
                        t.contours(matrix);
                }));
            });
        },
        py::arg("array"), py::arg("foreground") = 255, py::arg("background") = 0,
        R"(Thins the foreground regions of a binarised 2-D array to their one-element-wide boundaries:
a foreground element whose eight neighbours are all foreground becomes background.)");

    m.def(
        "extract_contour",
        [](py::handle a, int i, int j, int tolerance, double foreground) {
            py::array array = thresholdOperand(a, "extract_contour");
            if (array.ndim() != 2)
                throw py::value_error("extract_contour: expected a 2-D array");
            if (i < 0 || j < 0 || i >= array.shape(0) || j >= array.shape(1))
                throw py::index_error("extract_contour: (" + std::to_string(i) + ", " + std::to_string(j) +
                                      ") lies outside the array");
            return dispatch(ThresholdTypes{}, elementOf(array, "extract_contour"), "extract_contour", [&](auto tag) {
                using T = typename decltype(tag)::type;
                Thresholding<T> t;
                t.setForeground(static_cast<T>(foreground));
                const PixelMatrix<T> view = pixelView<T>(array);
                Curve<int> curve;
                {
                    py::gil_scoped_release release;
                    t.extractCurve(curve, i, j, view, tolerance);
                }
                py::array out = newArray(Element::Int, {curve.getNumVertices(), 2});
                int* data = dataOf<int>(out);
                for (int v = 0; v < curve.getNumVertices(); ++v) {
                    data[2 * v] = curve.vertex(v)[0];
                    data[2 * v + 1] = curve.vertex(v)[1];
                }
                return py::object(out);
            });
        },
        py::arg("array"), py::arg("i"), py::arg("j"), py::arg("tolerance") = 0, py::arg("foreground") = 255,
        R"(Follows the boundary of the foreground region through element (i, j) (on its boundary) and
returns its corners as an (n, 2) int32 array of (row, column), counter-clockwise in the
(row, column) plane; straight runs collapse to their ends, and with a positive tolerance nearly
straight ones too.)");

    m.def(
        "label",
        [](py::handle a) {
            py::array array = operand(a, "label");
            const std::optional<Element> e = elementOf(array.dtype());
            if (!e || !accepts(LabelTypes{}, *e))
                array = contiguousAs(py::module_::import("numpy").attr("not_equal")(array, 0), static_cast<int>(array.ndim()),
                                     Element::Int, "label");
            int count = 0;
            py::object labels = dispatch(LabelTypes{}, elementOf(array, "label"), "label", [&](auto tag) {
                using T = typename decltype(tag)::type;
                ComponentLabelling<T> labelling;
                py::array out = applyTo<T>(copyOf(array), [&](auto& matrix) { labelling.apply(matrix); });
                count = labelling.getNumLabels();
                return py::object(out);
            });
            return py::make_tuple(returnLike(a, labels.cast<py::array>()), count);
        },
        py::arg("array"),
        R"((labels, count): the connected components of the non-zero elements (4-connected in 2-D,
6-connected in 3-D) numbered 1..count in raster order of their first element (plane by plane,
row by row), the background 0. int16, uint16, int32, uint32 and real arrays keep their type;
others are labelled as int32.)");

    auto morph = [&m](const char* name, bool dilate) {
        m.def(
            name,
            [name, dilate](py::handle a, py::handle structure) {
                py::array array = operand(a, name);
                if (array.ndim() != 3)
                    throw py::value_error(std::string(name) + ": expected a 3-D array");
                return returnLike(a, dispatch(LabelTypes{}, elementOf(array, name), name, [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    if (dilate)
                        return py::object(morphology<VoxelMatrixDilatation<T>, T>(a, array, structure, name));
                    return py::object(morphology<VoxelMatrixErosion<T>, T>(a, array, structure, name));
                }).cast<py::array>());
            },
            py::arg("volume"), py::arg("structure") = py::none(),
            dilate ? "Grey-level dilation by a structuring element s of odd sizes (planes, rows, columns) centred on "
                     "the voxel: the maximum of the shifted volume plus s; outside the volume the lowest value of the "
                     "type. Default: the flat 3 x 3 x 3 cube. Types: int16, uint16, int32, uint32, float32, float64, "
                     "longdouble (integers saturate)."
                   : "Grey-level erosion by a structuring element s of odd sizes (planes, rows, columns) centred on "
                     "the voxel: the minimum of the shifted volume minus s; outside the volume the highest value of the "
                     "type. Default: the flat 3 x 3 x 3 cube. Types: int16, uint16, int32, uint32, float32, float64, "
                     "longdouble (integers saturate).");
    };
    morph("erode", false);
    morph("dilate", true);

    m.def(
        "expand_histogram",
        [](py::handle a, double low, double high, bool inplace) {
            py::array array = operand(a, "expand_histogram");
            if (array.ndim() != 3)
                throw py::value_error("expand_histogram: expected a 3-D array");
            return returnLike(a, dispatch(LabelTypes{}, elementOf(array, "expand_histogram"), "expand_histogram", [&](auto tag) {
                using T = typename decltype(tag)::type;
                VolumeHistogramExpansion<T> expansion;
                expansion.setMinMax(static_cast<T>(low), static_cast<T>(high));
                return py::object(applyTo<T>(target(a, array, inplace, "expand_histogram"), [&](auto& matrix) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, VoxelMatrix<T>>)
                        expansion.apply(matrix);
                }));
            }).cast<py::array>());
        },
        py::arg("volume"), py::arg("min") = 0, py::arg("max") = 255, py::arg("inplace") = false,
        "Maps the volume's value range (lo, hi) linearly onto (min, max): v becomes (v - lo)(max - min) / (hi - lo) "
        "+ min. Types as erode.");
}

} // namespace plexanpy
