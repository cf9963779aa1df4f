#include "common.h"

#include "numerics/exception.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace plexanpy {

namespace {

struct ElementInfo {
    Element element;
    const char* name;
    char kind;
    py::ssize_t size;
};

// long double is numpy's longdouble, which is the platform's long double.
const ElementInfo elements[] = {
    {Element::Char, "int8", 'i', 1},          {Element::UChar, "uint8", 'u', 1},
    {Element::Short, "int16", 'i', 2},        {Element::UShort, "uint16", 'u', 2},
    {Element::Int, "int32", 'i', 4},          {Element::UInt, "uint32", 'u', 4},
    {Element::Float, "float32", 'f', 4},      {Element::Double, "float64", 'f', 8},
    {Element::LongDouble, "longdouble", 'f', static_cast<py::ssize_t>(sizeof(long double))},
    {Element::Bool, "bool", 'b', 1},
};

static_assert(std::is_signed_v<char>, "char elements travel as int8");
static_assert(sizeof(bool) == 1, "bool elements travel as numpy bool");

py::module_ numpy()
{
    return py::module_::import("numpy");
}

} // namespace

const char* dtypeName(Element e)
{
    for (const ElementInfo& info : elements)
        if (info.element == e)
            return info.name;
    return "?";
}

py::dtype dtypeOf(Element e)
{
    return py::dtype(dtypeName(e));
}

std::optional<Element> elementOf(const py::dtype& dtype)
{
    const char kind = dtype.kind();
    const py::ssize_t size = dtype.itemsize();
    for (const ElementInfo& info : elements)
        if (info.kind == kind && info.size == size) {
            // float128 on platforms whose long double is shorter is no long double.
            if (info.element == Element::LongDouble && !dtype.equal(py::dtype("longdouble")))
                continue;
            return info.element;
        }
    return std::nullopt;
}

void refuseElement(const std::string& what, const py::dtype& dtype, const std::vector<Element>& accepted)
{
    std::string text = what + ": no " + dtype.attr("name").cast<std::string>() + " elements (accepted:";
    for (std::size_t i = 0; i < accepted.size(); ++i)
        text += std::string(i == 0 ? " " : ", ") + dtypeName(accepted[i]);
    throw py::type_error(text + ")");
}

py::array contiguous(py::handle object, int ndim, const std::string& what)
{
    py::object value = py::reinterpret_borrow<py::object>(object);
    if (py::isinstance<PixelMatrixObject>(value))
        value = value.cast<const PixelMatrixObject&>().array;
    else if (py::isinstance<VoxelMatrixObject>(value))
        value = value.cast<const VoxelMatrixObject&>().array;
    py::array array = numpy().attr("asarray")(value);
    if (ndim > 0 && array.ndim() != ndim)
        throw py::value_error(what + ": expected an array of " + std::to_string(ndim) + " dimensions, not " +
                              std::to_string(array.ndim()));
    const bool native = array.dtype().attr("isnative").cast<bool>();
    if (!native)
        return numpy().attr("ascontiguousarray")(array, array.dtype().attr("newbyteorder")("="));
    if (!(array.flags() & py::array::c_style))
        return numpy().attr("ascontiguousarray")(array);
    return array;
}

py::array contiguousAs(py::handle object, int ndim, Element e, const std::string& what)
{
    py::array array = contiguous(object, ndim, what);
    if (elementOf(array.dtype()) == e)
        return array;
    return numpy().attr("ascontiguousarray")(array, dtypeOf(e));
}

Element elementOf(const py::array& array, const std::string& what)
{
    const std::optional<Element> e = elementOf(array.dtype());
    if (!e) {
        std::vector<Element> all;
        for (const ElementInfo& info : elements)
            all.push_back(info.element);
        refuseElement(what, array.dtype(), all);
    }
    return *e;
}

py::array newArray(Element e, const std::vector<py::ssize_t>& shape)
{
    return py::array(dtypeOf(e), shape);
}

py::array copyOf(const py::array& array)
{
    return numpy().attr("array")(array, py::arg("copy") = true, py::arg("order") = "C");
}

py::array operand(py::handle object, const std::string& what)
{
    py::array array = contiguous(object, 0, what);
    if (array.ndim() != 2 && array.ndim() != 3)
        throw py::value_error(what + ": expected a 2-D (rows, columns) or 3-D (planes, rows, columns) array, not " +
                              std::to_string(array.ndim()) + "-D");
    return array;
}

py::array target(py::handle object, const py::array& array, bool inplace, const std::string& what)
{
    if (!inplace)
        return copyOf(array);
    py::object given = py::reinterpret_borrow<py::object>(object);
    if (py::isinstance<PixelMatrixObject>(given))
        given = given.cast<const PixelMatrixObject&>().array;
    else if (py::isinstance<VoxelMatrixObject>(given))
        given = given.cast<const VoxelMatrixObject&>().array;
    if (given.ptr() != array.ptr())
        throw py::value_error(what + ": inplace needs a C-contiguous array of native byte order and of the "
                                     "element type computed (" +
                              array.dtype().attr("name").cast<std::string>() + ")");
    if (!array.writeable())
        throw py::value_error(what + ": inplace needs a writeable array");
    return array;
}

std::optional<VoxelCalibration> calibrationOf(py::handle object)
{
    if (py::isinstance<VoxelMatrixObject>(object))
        return object.cast<const VoxelMatrixObject&>().calibration;
    return std::nullopt;
}

py::object returnLike(py::handle input, const py::array& result)
{
    const std::optional<VoxelCalibration> calibration = calibrationOf(input);
    if (!calibration || result.ndim() != 3)
        return result;
    const std::optional<Element> e = elementOf(result.dtype());
    return py::cast(VoxelMatrixObject{result, *e, *calibration});
}

// Progress -----------------------------------------------------------------------------

ProgressCallback::~ProgressCallback()
{
    for (ProgressSubject* subject : m_subjects)
        subject->removeMonitor(*this);
}

void ProgressCallback::watch(ProgressSubject& subject)
{
    if (!isActive())
        return;
    subject.addMonitor(*this);
    m_subjects.push_back(&subject);
}

void ProgressCallback::call(std::optional<double> fraction, const std::string& text)
{
    if (!isActive() || m_error)
        return;
    py::gil_scoped_acquire gil;
    try {
        py::object answer = m_callback(fraction ? py::cast(*fraction) : py::none(), text);
        if (!answer.is_none() && !answer.cast<bool>()) {
            m_cancel = true;
            if (currentSubject())
                currentSubject()->cancel();
        }
    } catch (py::error_already_set& e) {
        m_error.emplace(std::move(e));
        m_cancel = true;
        if (currentSubject())
            currentSubject()->cancel();
    }
}

void ProgressCallback::subjectStarted(const std::string& text)
{
    m_text = text;
    call(m_fraction, m_text);
}

void ProgressCallback::subjectFinished(const std::string& text)
{
    if (!text.empty())
        m_text = text;
    m_fraction = 1.0;
    call(m_fraction, m_text);
}

void ProgressCallback::subjectCanceled(const std::string& text)
{
    if (!text.empty())
        m_text = text;
}

void ProgressCallback::subjectProgressed(const std::string& text)
{
    m_text = text;
    call(m_fraction, m_text);
}

void ProgressCallback::subjectProgressed(unsigned int i, unsigned int n)
{
    m_fraction = n > 0 ? std::min(1.0, static_cast<double>(i) / n) : 0.0;
    call(m_fraction, m_text);
}

void ProgressCallback::finish(const std::string& what)
{
    if (m_error) {
        py::error_already_set error = std::move(*m_error);
        m_error.reset();
        throw error;
    }
    if (m_cancel)
        throwCancelled(what);
}

void throwCancelled(const std::string& what)
{
    py::object cancelled = py::module_::import("plexan.errors").attr("Cancelled");
    PyErr_SetObject(cancelled.ptr(), cancelled(what + ": canceled").ptr());
    throw py::error_already_set();
}

// Files ------------------------------------------------------------------------------------

PendingFile::PendingFile(const std::string& target, bool overwrite, const std::string& where)
    : m_target(target), m_where(where)
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (!overwrite && fs::exists(target, error))
        throw FileWriteError(where, "File already exists", target);
    const fs::path t(target);
    const fs::path directory = t.has_parent_path() ? t.parent_path() : fs::path(".");
    const std::string pattern = (directory / ("." + t.filename().string() + ".plexan-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw FileWriteError(where, "Cannot write in the directory", target);
    // mkstemp makes the file private; the file gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    m_path = name.data();
}

PendingFile::~PendingFile()
{
    if (!m_committed)
        std::remove(m_path.c_str());
}

void PendingFile::commit()
{
    std::error_code error;
    std::filesystem::rename(m_path, m_target, error);
    if (error)
        throw FileWriteError(m_where, "Cannot replace the file: " + error.message(), m_target);
    m_committed = true;
}

std::string fileName(py::handle path)
{
    return py::str(py::module_::import("os").attr("fspath")(path)).cast<std::string>();
}

} // namespace plexanpy
