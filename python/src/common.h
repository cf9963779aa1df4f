#pragma once
// What the binding files share: the library's element types as numpy dtypes,
// pixel and voxel matrices that are views of numpy arrays, progress callbacks
// and atomic file writes.
//
// Axis order. A pixel matrix of rows x columns is an array of shape
// (rows, columns): element (i, j) is array[i, j]. A voxel matrix is a stack of
// planes stored plane after plane and row after row, so its array has shape
// (planes, rows, columns) and element (i, j, k) (row, column, plane) is
// array[k, i, j]. Coordinates (mesh vertices, voxel sizes) keep the
// library's (i, j, k) order.
//
// Views. A C-contiguous array of native byte order and of one of the
// library's element types is used in place: the matrix's rows point into the
// array's memory. Any other array is first copied into such an array.

#include "image/image.h"
#include "image/pixelmatrix.h"
#include "image/voxelcalibration.h"
#include "image/voxelmatrix.h"
#include "numerics/progressmonitor.h"
#include "numerics/progresssubject.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace py = pybind11;

class Stack;

namespace plexanpy {

// The element types of the library's matrices.
enum class Element { Char, UChar, Short, UShort, Int, UInt, Float, Double, LongDouble, Bool };

template <typename T> constexpr Element elementFor();
template <> constexpr Element elementFor<char>() { return Element::Char; }
template <> constexpr Element elementFor<unsigned char>() { return Element::UChar; }
template <> constexpr Element elementFor<short>() { return Element::Short; }
template <> constexpr Element elementFor<unsigned short>() { return Element::UShort; }
template <> constexpr Element elementFor<int>() { return Element::Int; }
template <> constexpr Element elementFor<unsigned int>() { return Element::UInt; }
template <> constexpr Element elementFor<float>() { return Element::Float; }
template <> constexpr Element elementFor<double>() { return Element::Double; }
template <> constexpr Element elementFor<long double>() { return Element::LongDouble; }
template <> constexpr Element elementFor<bool>() { return Element::Bool; }

// The numpy name of an element type ("int8" for char, "longdouble", ...).
const char* dtypeName(Element e);
py::dtype dtypeOf(Element e);
// The element type of a dtype, or none when the library has no such type.
std::optional<Element> elementOf(const py::dtype& dtype);

template <typename... Ts> struct Types {};
template <typename T> struct Tag {
    using type = T;
};

using AllTypes = Types<char, unsigned char, short, unsigned short, int, unsigned int, float, double, long double, bool>;
using NumericTypes = Types<char, unsigned char, short, unsigned short, int, unsigned int, float, double, long double>;
using RealTypes = Types<float, double, long double>;

// py::type_error "<what>: no <dtype> elements (accepted: ...)".
[[noreturn]] void refuseElement(const std::string& what, const py::dtype& dtype, const std::vector<Element>& accepted);

// Calls f(Tag<T>{}) for the type T of Ts that is element e; py::type_error
// naming `what` when e is none of them.
template <typename... Ts, typename F>
py::object dispatch(Types<Ts...>, Element e, const std::string& what, F&& f)
{
    py::object result;
    bool done = false;
    ((!done && e == elementFor<Ts>() ? (result = f(Tag<Ts>{}), done = true) : false), ...);
    if (!done)
        refuseElement(what, dtypeOf(e), {elementFor<Ts>()...});
    return result;
}

template <typename... Ts>
bool accepts(Types<Ts...>, Element e)
{
    return ((e == elementFor<Ts>()) || ...);
}

// Arrays ----------------------------------------------------------------------

// The object (a numpy array, anything numpy turns into one, or a
// PixelMatrix/VoxelMatrix object) as a C-contiguous array of native byte
// order: the same array when it already is one. py::value_error when it does
// not have `ndim` dimensions (0: any).
py::array contiguous(py::handle object, int ndim, const std::string& what);
// The same converted to dtype (numpy's astype) unless it already has it.
py::array contiguousAs(py::handle object, int ndim, Element e, const std::string& what);
// The element type of a contiguous array; py::type_error when the library
// has none for its dtype.
Element elementOf(const py::array& array, const std::string& what);
// A new C-contiguous array of that element type and shape (contents
// undefined).
py::array newArray(Element e, const std::vector<py::ssize_t>& shape);
// A copy of a contiguous array, C-contiguous.
py::array copyOf(const py::array& array);

template <typename T>
T* dataOf(const py::array& array)
{
    return static_cast<T*>(const_cast<void*>(array.data()));
}

// A pixel matrix whose rows are the rows of a contiguous 2-D array of T.
template <typename T>
PixelMatrix<T> pixelView(const py::array& array)
{
    const int rows = static_cast<int>(array.shape(0));
    const int columns = static_cast<int>(array.shape(1));
    PixelMatrix<T> m(rows, columns);
    T* data = dataOf<T>(array);
    for (int i = 0; i < rows; ++i)
        m[i].setShallow(data + static_cast<std::size_t>(i) * columns, columns);
    return m;
}

// A voxel matrix whose rows are the rows of a contiguous 3-D array of T of
// shape (planes, rows, columns).
template <typename T>
VoxelMatrix<T> voxelView(const py::array& array)
{
    const int planes = static_cast<int>(array.shape(0));
    const int rows = static_cast<int>(array.shape(1));
    const int columns = static_cast<int>(array.shape(2));
    VoxelMatrix<T> v(rows, columns, planes);
    T* data = dataOf<T>(array);
    for (int k = 0; k < planes; ++k)
        for (int i = 0; i < rows; ++i)
            v[k][i].setShallow(data + (static_cast<std::size_t>(k) * rows + i) * columns, columns);
    return v;
}

// New arrays holding a copy of a matrix.
template <typename T>
py::array toArray(const PixelMatrix<T>& m)
{
    py::array out = newArray(elementFor<T>(), {m.getSize1(), m.getSize2()});
    T* data = dataOf<T>(out);
    const std::size_t columns = static_cast<std::size_t>(m.getSize2());
    for (int i = 0; i < m.getSize1(); ++i)
        if (columns > 0)
            std::memcpy(data + i * columns, m[i].data(), columns * sizeof(T));
    return out;
}

template <typename T>
py::array toArray(const VoxelMatrix<T>& v)
{
    py::array out = newArray(elementFor<T>(), {v.getSize3(), v.getSize1(), v.getSize2()});
    T* data = dataOf<T>(out);
    const std::size_t rows = static_cast<std::size_t>(v.getSize1());
    const std::size_t columns = static_cast<std::size_t>(v.getSize2());
    if (columns > 0 && v.hasPlanes())
        for (int k = 0; k < v.getSize3(); ++k)
            for (std::size_t i = 0; i < rows; ++i)
                std::memcpy(data + (k * rows + i) * columns, v[k][static_cast<int>(i)].data(), columns * sizeof(T));
    return out;
}

template <typename T>
py::array toArray(const Vector<T>& v)
{
    py::array out = newArray(elementFor<T>(), {v.getSize()});
    if (v.getSize() > 0)
        std::memcpy(dataOf<T>(out), v.data(), static_cast<std::size_t>(v.getSize()) * sizeof(T));
    return out;
}

// The array a view was made on, after an operation on the view. An
// operation may have replaced the view's rows (moving a result in): the
// rows that no longer point into the array are copied back into it. When
// the operation changed the sizes, a new array holding the result.
template <typename T>
py::array settle(const PixelMatrix<T>& m, const py::array& array)
{
    if (m.getSize1() != array.shape(0) || m.getSize2() != array.shape(1))
        return toArray(m);
    T* data = dataOf<T>(array);
    const std::size_t columns = static_cast<std::size_t>(m.getSize2());
    for (int i = 0; i < m.getSize1(); ++i) {
        T* row = data + i * columns;
        if (m[i].data() != row && columns > 0)
            std::memcpy(row, m[i].data(), columns * sizeof(T));
    }
    return array;
}

template <typename T>
py::array settle(const VoxelMatrix<T>& v, const py::array& array)
{
    if (v.getSize3() != array.shape(0) || v.getSize1() != array.shape(1) || v.getSize2() != array.shape(2))
        return toArray(v);
    T* data = dataOf<T>(array);
    const std::size_t rows = static_cast<std::size_t>(v.getSize1());
    const std::size_t columns = static_cast<std::size_t>(v.getSize2());
    for (int k = 0; k < v.getSize3(); ++k)
        for (std::size_t i = 0; i < rows; ++i) {
            T* row = data + (k * rows + i) * columns;
            const T* current = v[k][static_cast<int>(i)].data();
            if (current != row && columns > 0)
                std::memcpy(row, current, columns * sizeof(T));
        }
    return array;
}

// The object as a contiguous array of 2 or 3 dimensions (py::value_error
// otherwise).
py::array operand(py::handle object, const std::string& what);
// The array an operation writes its result into: with inplace the input's
// own array (py::value_error when it is not an array the library can work
// on in place: C-contiguous, native byte order, of the element type used),
// else a copy of `array`.
py::array target(py::handle object, const py::array& array, bool inplace, const std::string& what);

// Runs op on the array as a pixel (2-D) or voxel (3-D) matrix of T, in place
// and without the GIL, and returns the array holding the result (see
// settle). op takes PixelMatrix<T>& and VoxelMatrix<T>& (a generic lambda).
template <typename T, typename Op>
py::array applyTo(const py::array& array, Op&& op)
{
    if (array.ndim() == 2) {
        PixelMatrix<T> m = pixelView<T>(array);
        {
            py::gil_scoped_release release;
            op(m);
        }
        return settle(m, array);
    }
    VoxelMatrix<T> v = voxelView<T>(array);
    {
        py::gil_scoped_release release;
        op(v);
    }
    return settle(v, array);
}

// Vectors of the library from Python sequences and back.
template <typename T>
Vector<T> toVector(const std::vector<T>& values)
{
    Vector<T> v(static_cast<unsigned int>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i)
        v[static_cast<int>(i)] = values[i];
    return v;
}

// Matrix objects -------------------------------------------------------------------

// A pixel matrix seen from Python: a contiguous 2-D array of one of the
// library's element types.
struct PixelMatrixObject {
    py::array array;
    Element element;
};

// A voxel matrix seen from Python: a contiguous (planes, rows, columns)
// array of one of the library's numeric types, and the voxel calibration.
struct VoxelMatrixObject {
    py::array array;
    Element element;
    VoxelCalibration calibration;
};

// A Python VoxelMatrix object of a library matrix (its array a copy).
template <typename T>
py::object voxelObject(const VoxelMatrix<T>& v)
{
    return py::cast(VoxelMatrixObject{toArray(v), elementFor<T>(), v.getVoxelCalibration()});
}

// The calibration of a VoxelMatrix object, none for any other object.
std::optional<VoxelCalibration> calibrationOf(py::handle object);
// What a function returns for a voxel array computed from `input`: a
// VoxelMatrix with the input's calibration when the input was one, else the
// array itself.
py::object returnLike(py::handle input, const py::array& result);

// Progress --------------------------------------------------------------------------

// Relays the progress of a computation to a Python callable
// callback(fraction, text): fraction from 0 to 1 (None before the first
// step), text the current stage. A callback returning False cancels the
// computation; one that raises cancels it too, and its exception reaches the
// caller. Handlers take the GIL, so the computation may run without it.
class ProgressCallback : public ProgressMonitor {
public:
    explicit ProgressCallback(py::object callback) : m_callback(std::move(callback)) {}
    ~ProgressCallback() override;

    bool isActive() const { return m_callback && !m_callback.is_none(); }
    // Monitors subject until the end of the object's life (none for a
    // callback of None).
    void watch(ProgressSubject& subject);
    bool cancelRequested() const { return m_cancel; }
    // With the GIL: rethrows what the callback raised, then raises
    // plexan.Cancelled when the callback asked to cancel (`what` names the
    // computation).
    void finish(const std::string& what);

protected:
    void subjectStarted(const std::string& text) override;
    void subjectFinished(const std::string& text) override;
    void subjectCanceled(const std::string& text) override;
    void subjectProgressed(const std::string& text) override;
    void subjectProgressed(unsigned int i, unsigned int n) override;

private:
    void call(std::optional<double> fraction, const std::string& text);

    py::object m_callback;
    std::vector<ProgressSubject*> m_subjects;
    std::optional<double> m_fraction;
    std::string m_text;
    bool m_cancel = false;
    std::optional<py::error_already_set> m_error;
};

// Raises plexan.Cancelled.
[[noreturn]] void throwCancelled(const std::string& what);

// Files ------------------------------------------------------------------------------

// A file written under a temporary name beside its target and renamed onto it
// by commit(); removed when not committed.
class PendingFile {
public:
    // FileWriteError "File already exists" when the target exists and
    // overwrite is false, or when the directory cannot be written.
    PendingFile(const std::string& target, bool overwrite, const std::string& where);
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();
    const std::string& getPath() const { return m_path; }
    void commit();

private:
    std::string m_target;
    std::string m_path;
    std::string m_where;
    bool m_committed = false;
};

// Path-like objects (str, pathlib.Path) as file names.
std::string fileName(py::handle path);

// Byte images: an array of shape (height, width) of uint8 (depth 8) or uint16
// (depth 16), or (height, width, 3 or 4) of uint8 (depth 24 or 32), the rows
// from the top; an 8-bit image may have a colormap, an (n, 3) uint8 array.
Image imageOf(py::handle array, py::handle colormap, const std::string& what);
// The pixels of an image as such an array, without copy (the array owns the
// image).
py::array pixelsOf(Image image);
// The colormap of an image as an (n, 3) uint8 array, None without one.
py::object colormapOf(const Image& image);

// The document of a plexan.Stack object (py::type_error for anything else).
const Stack& stackDocument(py::handle stack);

// Module parts --------------------------------------------------------------------------

void bindMatrices(py::module_& m);
void bindFiles(py::module_& m);
void bindFilters(py::module_& m);
void bindSegmentation(py::module_& m);
void bindSurfaces(py::module_& m);
void bindStack(py::module_& m);
void bindStatistics(py::module_& m);

} // namespace plexanpy
