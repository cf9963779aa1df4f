// Neighbourhood and separable filters, gradients and resizing of pixel and
// voxel matrices, and the mean filter of byte images.

#include "common.h"

#include "imageprocessing/derichegradient.h"
#include "imageprocessing/gaussianfilter.h"
#include "imageprocessing/isotropyfilter.h"
#include "imageprocessing/matrixresize.h"
#include "imageprocessing/maxfilter.h"
#include "imageprocessing/meanfilter.h"
#include "imageprocessing/medianfilter.h"
#include "imageprocessing/minfilter.h"
#include "imageprocessing/separablefilter.h"
#include "imageprocessing/sumfilter.h"
#include "imageprocessing/volumeresize.h"

namespace plexanpy {

namespace {

using RankTypes = Types<unsigned char, short, unsigned short, int, unsigned int, float, double, long double>;
using ExtremeTypes = Types<short, unsigned short, int, unsigned int, float, double, long double>;

// Real filters work on float32, float64 and longdouble arrays as they are,
// and on any other array as float64.
py::array realOperand(py::handle object, const std::string& what)
{
    py::array array = operand(object, what);
    const std::optional<Element> e = elementOf(array.dtype());
    if (e && accepts(RealTypes{}, *e))
        return array;
    return contiguousAs(array, static_cast<int>(array.ndim()), Element::Double, what);
}

// The mask of an operand: the same shape, converted to the operand's type.
py::array maskFor(py::handle mask, const py::array& array, Element e, const std::string& what)
{
    py::array m = contiguousAs(mask, static_cast<int>(array.ndim()), e, what + " (mask)");
    for (py::ssize_t d = 0; d < array.ndim(); ++d)
        if (m.shape(d) != array.shape(d))
            throw py::value_error(what + ": the mask must have the array's shape");
    return m;
}

template <typename Filter, typename T>
py::array applyFilter(Filter& filter, py::handle object, const py::array& array, bool inplace, const std::string& what)
{
    return applyTo<T>(target(object, array, inplace, what), [&](auto& matrix) {
        if constexpr (requires { filter.apply(matrix); })
            filter.apply(matrix);
    });
}

// Runs filter (with a mask when given) on the array; Filter<T> derives from
// the masked processing bases.
template <typename T, typename Filter>
py::array applyMasked(Filter& filter, py::handle object, const py::array& array, py::handle mask, bool inplace,
                      const std::string& what)
{
    if (mask.is_none())
        return applyFilter<Filter, T>(filter, object, array, inplace, what);
    py::array m = maskFor(mask, array, elementFor<T>(), what);
    py::array out = target(object, array, inplace, what);
    if (out.ndim() == 2) {
        const PixelMatrix<T> maskView = pixelView<T>(m);
        return applyTo<T>(out, [&](auto& matrix) {
            if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, PixelMatrix<T>>)
                filter.apply(matrix, maskView);
        });
    }
    const VoxelMatrix<T> maskView = voxelView<T>(m);
    return applyTo<T>(out, [&](auto& matrix) {
        if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, VoxelMatrix<T>>)
            filter.apply(matrix, maskView);
    });
}

// A kernel per array axis: one kernel for every axis, or a sequence of them,
// axis 0 first.
std::vector<py::array> kernelsFor(py::handle kernels, int ndim, Element e, const std::string& what)
{
    std::vector<py::array> result;
    // A sequence of numbers is one kernel; a sequence of sequences one per axis.
    py::module_ numpy = py::module_::import("numpy");
    bool perAxis;
    if (py::isinstance<py::array>(kernels))
        perAxis = kernels.cast<py::array>().ndim() == 2;
    else
        perAxis = py::isinstance<py::sequence>(kernels) && py::len(kernels) > 0 &&
                  numpy.attr("ndim")(kernels[py::int_(0)]).cast<int>() > 0;
    if (!perAxis) {
        result.assign(static_cast<std::size_t>(ndim), contiguousAs(kernels, 1, e, what));
        return result;
    }
    for (py::handle kernel : kernels)
        result.push_back(contiguousAs(kernel, 1, e, what));
    if (static_cast<int>(result.size()) != ndim)
        throw py::value_error(what + ": one kernel for every axis, or one per axis (" + std::to_string(ndim) + ")");
    return result;
}

template <typename T>
Vector<T> vectorOf(const py::array& kernel)
{
    Vector<T> v(static_cast<unsigned int>(kernel.shape(0)));
    for (int i = 0; i < v.getSize(); ++i)
        v[i] = dataOf<T>(kernel)[i];
    return v;
}

} // namespace

void bindFilters(py::module_& m)
{
    m.def(
        "sum_filter",
        [](py::handle a, int halfSize, bool ball, bool inplace) {
            py::array array = operand(a, "sum_filter");
            return returnLike(a, dispatch(RankTypes{}, elementOf(array, "sum_filter"), "sum_filter", [&](auto tag) {
                using T = typename decltype(tag)::type;
                SumFilter<T> filter(halfSize);
                filter.setBallMode(ball);
                return py::object(applyFilter<SumFilter<T>, T>(filter, a, array, inplace, "sum_filter"));
            }).cast<py::array>());
        },
        py::arg("array"), py::arg("half_size") = 1, py::arg("ball") = false, py::arg("inplace") = false,
        R"(The sum over the (2h + 1)-wide square (cube) around every element, or over the disc (ball) of
radius h with ball=True. Square sums treat an element closer than h to the end of a line as if
the window were filled with its own value. Types: uint8, int16, uint16, int32, uint32, float32,
float64, longdouble (sums in that type). Works in place with inplace=True.)");

    auto extreme = [&m](const char* name, bool maximum) {
        m.def(
            name,
            [name, maximum](py::handle a, int halfSize, py::handle mask, bool inplace) {
                py::array array = operand(a, name);
                return returnLike(a, dispatch(ExtremeTypes{}, elementOf(array, name), name, [&](auto tag) {
                    using T = typename decltype(tag)::type;
                    if (maximum) {
                        MaxFilter<T> filter(halfSize);
                        return py::object(applyMasked<T>(filter, a, array, mask, inplace, name));
                    }
                    MinFilter<T> filter(halfSize);
                    return py::object(applyMasked<T>(filter, a, array, mask, inplace, name));
                }).cast<py::array>());
            },
            py::arg("array"), py::arg("half_size") = 1, py::arg("mask") = py::none(), py::arg("inplace") = false,
            maximum ? "The maximum over the (2h + 1)-wide square (cube) around every element, clipped at the borders. "
                      "With a mask (same shape), elements whose mask is 0 keep their value and take no part in "
                      "the others' windows. Types: int16, uint16, int32, uint32, float32, float64, longdouble."
                    : "The minimum over the (2h + 1)-wide square (cube) around every element, clipped at the borders. "
                      "With a mask (same shape), elements whose mask is 0 keep their value and take no part in "
                      "the others' windows. Types: int16, uint16, int32, uint32, float32, float64, longdouble.");
    };
    extreme("min_filter", false);
    extreme("max_filter", true);

    m.def(
        "median_filter",
        [](py::handle a, int halfSize, int iterations, bool inplace) {
            py::array array = operand(a, "median_filter");
            return returnLike(a, dispatch(RankTypes{}, elementOf(array, "median_filter"), "median_filter", [&](auto tag) {
                using T = typename decltype(tag)::type;
                MedianFilter<T> filter(halfSize);
                filter.setNumIterations(iterations);
                return py::object(applyFilter<MedianFilter<T>, T>(filter, a, array, inplace, "median_filter"));
            }).cast<py::array>());
        },
        py::arg("array"), py::arg("half_size") = 1, py::arg("iterations") = 1, py::arg("inplace") = false,
        R"(The median over the (2h + 1)-wide square (cube) around every element at least h from every
border; border elements keep their values. Applied `iterations` times in a row. Types as
sum_filter.)");

    m.def(
        "gaussian_filter",
        [](py::handle a, double sigma, py::handle mask, bool inplace) {
            py::array array = realOperand(a, "gaussian_filter");
            return returnLike(a, dispatch(RealTypes{}, elementOf(array, "gaussian_filter"), "gaussian_filter", [&](auto tag) {
                using T = typename decltype(tag)::type;
                GaussianFilter<T> filter(static_cast<T>(sigma));
                if (mask.is_none())
                    return py::object(applyFilter<GaussianFilter<T>, T>(filter, a, array, inplace, "gaussian_filter"));
                py::array m = maskFor(mask, array, elementFor<T>(), "gaussian_filter");
                py::array out = target(a, array, inplace, "gaussian_filter");
                if (out.ndim() == 2) {
                    const PixelMatrix<T> maskView = pixelView<T>(m);
                    return py::object(applyTo<T>(out, [&](auto& matrix) {
                        if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, PixelMatrix<T>>)
                            filter.maskedApply(matrix, maskView);
                    }));
                }
                const VoxelMatrix<T> maskView = voxelView<T>(m);
                return py::object(applyTo<T>(out, [&](auto& matrix) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, VoxelMatrix<T>>)
                        filter.maskedApply(matrix, maskView);
                }));
            }).cast<py::array>());
        },
        py::arg("array"), py::arg("sigma") = 1.0, py::arg("mask") = py::none(), py::arg("inplace") = false,
        R"(Separable Gaussian smoothing: 2r + 1 taps, r = ceil(2 sigma), summing to 1; taps outside the
array contribute nothing. With a mask, elements whose mask is 0 keep their value and masked taps
borrow the mirror sample. float32, float64 and longdouble arrays keep their type; any other
array is smoothed as float64.)");

    m.def(
        "separable_filter",
        [](py::handle a, py::handle kernels, double factor, bool divide, bool inplace) {
            py::array array = realOperand(a, "separable_filter");
            const Element e = elementOf(array, "separable_filter");
            const std::vector<py::array> k = kernelsFor(kernels, static_cast<int>(array.ndim()), e, "separable_filter");
            return returnLike(a, dispatch(RealTypes{}, e, "separable_filter", [&](auto tag) {
                using T = typename decltype(tag)::type;
                SeparableFilter<T> filter;
                if (array.ndim() == 2) {
                    filter.setVMask(vectorOf<T>(k[0]));
                    filter.setHMask(vectorOf<T>(k[1]));
                } else {
                    filter.setKernel3(vectorOf<T>(k[0]));
                    filter.setKernel2(vectorOf<T>(k[1]));
                    filter.setKernel1(vectorOf<T>(k[2]));
                }
                if (divide)
                    filter.setDivideBy(static_cast<T>(factor));
                else
                    filter.setMultiplyBy(static_cast<T>(factor));
                return py::object(applyFilter<SeparableFilter<T>, T>(filter, a, array, inplace, "separable_filter"));
            }).cast<py::array>());
        },
        py::arg("array"), py::arg("kernels"), py::arg("factor") = 1.0, py::arg("divide") = true,
        py::arg("inplace") = false,
        R"(Separable convolution: every line along each axis is convolved with that axis's kernel (one
kernel for all axes, or a sequence with one per array axis, axis 0 first), the kernel reversed
and centred on its middle tap, taps outside the array contributing nothing; then the result is
divided by factor (or multiplied with divide=False). Real types as gaussian_filter.)");

    m.def(
        "deriche_gradient",
        [](py::handle a, double alpha, py::object axis) {
            py::array array = realOperand(a, "deriche_gradient");
            const int ndim = static_cast<int>(array.ndim());
            int along = -1;
            if (!axis.is_none()) {
                along = axis.cast<int>();
                if (along < 0)
                    along += ndim;
                if (along < 0 || along >= ndim)
                    throw py::value_error("deriche_gradient: no axis " + py::str(axis).cast<std::string>());
            }
            return returnLike(a, dispatch(RealTypes{}, elementOf(array, "deriche_gradient"), "deriche_gradient", [&](auto tag) {
                using T = typename decltype(tag)::type;
                DericheGradient<T> filter(static_cast<T>(alpha));
                return py::object(applyTo<T>(copyOf(array), [&](auto& matrix) {
                    using M = std::decay_t<decltype(matrix)>;
                    if (along < 0)
                        filter.apply(matrix);
                    else if constexpr (std::is_same_v<M, PixelMatrix<T>>)
                        along == 0 ? filter.gradient1(matrix) : filter.gradient2(matrix);
                    else
                        along == 0 ? filter.gradient3(matrix) : along == 1 ? filter.gradient1(matrix) : filter.gradient2(matrix);
                }));
            }).cast<py::array>());
        },
        py::arg("array"), py::arg("alpha") = 1.0, py::arg("axis") = py::none(),
        R"(Deriche's recursive gradient (a smaller alpha smooths more): with axis=None the gradient norm,
else the derivative along that array axis (smoothed along the others). Real types as
gaussian_filter.)");

    m.def(
        "gradient_angle",
        [](py::handle a, double alpha) {
            py::array array = realOperand(a, "gradient_angle");
            if (array.ndim() != 2)
                throw py::value_error("gradient_angle: expected a 2-D array");
            return dispatch(RealTypes{}, elementOf(array, "gradient_angle"), "gradient_angle", [&](auto tag) {
                using T = typename decltype(tag)::type;
                DericheGradient<T> filter(static_cast<T>(alpha));
                return py::object(applyTo<T>(copyOf(array), [&](auto& matrix) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, PixelMatrix<T>>)
                        filter.angle(matrix);
                }));
            });
        },
        py::arg("array"), py::arg("alpha") = 1.0,
        "The direction atan2(gy, gx) of the Deriche gradient of a 2-D array (x along a row, y down the rows).");

    m.def(
        "nonmax_suppression",
        [](py::handle a, double alpha) {
            py::array array = realOperand(a, "nonmax_suppression");
            if (array.ndim() != 2)
                throw py::value_error("nonmax_suppression: expected a 2-D array");
            return dispatch(RealTypes{}, elementOf(array, "nonmax_suppression"), "nonmax_suppression", [&](auto tag) {
                using T = typename decltype(tag)::type;
                DericheGradient<T> filter(static_cast<T>(alpha));
                return py::object(applyTo<T>(copyOf(array), [&](auto& matrix) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, PixelMatrix<T>>)
                        filter.nonmaxSuppression(matrix);
                }));
            });
        },
        py::arg("array"), py::arg("alpha") = 1.0,
        "The Deriche gradient norm of a 2-D array thinned to its ridges along the gradient direction "
        "(8-neighbour non-maximum suppression); the outermost rows and columns become 0.");

    m.def(
        "hysteresis_threshold",
        [](py::handle a, double low, double high) {
            py::array array = realOperand(a, "hysteresis_threshold");
            if (array.ndim() != 2)
                throw py::value_error("hysteresis_threshold: expected a 2-D array");
            return dispatch(RealTypes{}, elementOf(array, "hysteresis_threshold"), "hysteresis_threshold", [&](auto tag) {
                using T = typename decltype(tag)::type;
                DericheGradient<T> filter;
                return py::object(applyTo<T>(copyOf(array), [&](auto& matrix) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, PixelMatrix<T>>)
                        filter.hysteresisThresholding(matrix, static_cast<T>(low), static_cast<T>(high));
                }));
            });
        },
        py::arg("array"), py::arg("low"), py::arg("high"),
        R"(Hysteresis thresholding of a 2-D array over its interior elements: at or above high becomes 1,
as does every element between low and high 8-connected to such an element; all others 0. The
outermost rows and columns are left as they are.)");

    m.def(
        "resize",
        [](py::handle a, std::vector<int> shape, bool linear, bool lowPass) {
            py::array array = realOperand(a, "resize");
            if (static_cast<py::ssize_t>(shape.size()) != array.ndim())
                throw py::value_error("resize: the shape needs one size per array axis");
            for (int s : shape)
                if (s < 1)
                    throw py::value_error("resize: sizes must be at least 1");
            py::object result = returnLike(a, dispatch(RealTypes{}, elementOf(array, "resize"), "resize", [&](auto tag) {
                using T = typename decltype(tag)::type;
                const int mode = linear ? LinearInterpolationMode : NearestInterpolationMode;
                if (array.ndim() == 2) {
                    MatrixResize<T> filter(shape[0], shape[1]);
                    filter.setInterpolationMode(mode);
                    filter.setLowPassFilteringEnabled(lowPass);
                    return py::object(applyFilter<MatrixResize<T>, T>(filter, a, array, false, "resize"));
                }
                VolumeResize<T> filter(shape[1], shape[2], shape[0]);
                filter.setInterpolationMode(mode);
                filter.setLowPassFilteringEnabled(lowPass);
                return py::object(applyFilter<VolumeResize<T>, T>(filter, a, array, false, "resize"));
            }).cast<py::array>());
            // The new grid spans the old one corner to corner: its voxels are
            // (old size - 1) / (new size - 1) times the old ones.
            if (py::isinstance<VoxelMatrixObject>(result)) {
                VoxelMatrixObject& v = result.cast<VoxelMatrixObject&>();
                const Vector<float> old = v.calibration.getVoxelSize();
                const py::ssize_t before[3] = {array.shape(1), array.shape(2), array.shape(0)};
                const int after[3] = {shape[1], shape[2], shape[0]};
                Vector<float> size(3u);
                for (int d = 0; d < 3; ++d)
                    size[d] = after[d] > 1 ? old[d] * static_cast<float>(before[d] - 1) / static_cast<float>(after[d] - 1)
                                           : old[d];
                v.calibration.setVoxelSize(size);
            }
            return result;
        },
        py::arg("array"), py::arg("shape"), py::arg("linear") = false, py::arg("low_pass") = false,
        R"(The array resampled to a new shape (in array axis order), the new grid spanning the old one
corner to corner, with nearest-neighbour or (linear=True) bi- or trilinear interpolation; a
reduction with low_pass=True first averages over a box of the reduction's size. Real types as
gaussian_filter.)");

    m.def(
        "isotropy_filter",
        [](py::handle a, int halfSize, const std::string& analysis) {
            py::array array = realOperand(a, "isotropy_filter");
            if (array.ndim() != 3)
                throw py::value_error("isotropy_filter: expected a 3-D array");
            IsotropyAnalysis mode;
            if (analysis == "min/max")
                mode = IsotropyMinOverMax;
            else if (analysis == "middle/max")
                mode = IsotropyMiddleOverMax;
            else if (analysis == "min/middle")
                mode = IsotropyMinOverMiddle;
            else
                throw py::value_error("isotropy_filter: analysis must be \"min/max\", \"middle/max\" or \"min/middle\"");
            return returnLike(a, dispatch(RealTypes{}, elementOf(array, "isotropy_filter"), "isotropy_filter", [&](auto tag) {
                using T = typename decltype(tag)::type;
                IsotropyFilter<T> filter(halfSize);
                filter.setAnalysis(mode);
                return py::object(applyTo<T>(copyOf(array), [&](auto& matrix) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(matrix)>, VoxelMatrix<T>>)
                        filter.apply(matrix);
                }));
            }).cast<py::array>());
        },
        py::arg("volume"), py::arg("half_size") = 1, py::arg("analysis") = "min/max",
        R"(How isotropic the grey levels of the (2h + 1)^3 neighbourhood of every voxel are: a ratio of the
eigenvalues l1 >= l2 >= l3 of their weighted position covariance, "min/max" (l3 / l1),
"middle/max" (l2 / l1) or "min/middle" (l3 / l2); 1 for a ball, near 0 for a sheet or a thread.)");

    m.def(
        "mean_filter",
        [](py::handle image, int halfSize, py::handle colormap) {
            Image picture = imageOf(image, colormap, "mean_filter");
            {
                py::gil_scoped_release release;
                MeanFilter(halfSize).apply(picture);
            }
            return pixelsOf(std::move(picture));
        },
        py::arg("image"), py::arg("half_size") = 1, py::arg("colormap") = py::none(),
        R"(The box mean of a byte image (an array as Image.array describes), channel by channel: the
(2h + 1) x (2h + 1) box sum (the window of an element near a border filled with its own value)
divided by (2h + 1)^2 in integer division. An indexed image (with a colormap) is first made
direct: grey or, for a colour colormap, 24-bit.)");
}

} // namespace plexanpy
