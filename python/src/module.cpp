// The extension module plexan._plexan: library failures become the Python
// exceptions of plexan.errors, then each file binds one area.

#include "common.h"

#include "numerics/exception.h"

namespace {

// Raises the class of plexan.errors named `name` with the exception's texts.
void raise(const char* name, const Exception& e, const std::string& file = {})
{
    py::object cls = py::module_::import("plexan.errors").attr(name);
    py::object error = cls(e.getWhat(), py::arg("where") = e.getWhere(), py::arg("calls") = e.getCalls(),
                           py::arg("file") = file);
    PyErr_SetObject(cls.ptr(), error.ptr());
}

void translate(std::exception_ptr pointer)
{
    // The most derived classes first.
    try {
        std::rethrow_exception(pointer);
    } catch (const FileReadError& e) {
        raise("FileReadError", e, e.getFile());
    } catch (const FileWriteError& e) {
        raise("FileWriteError", e, e.getFile());
    } catch (const FileFormatError& e) {
        raise("FileFormatError", e, e.getFile());
    } catch (const FileError& e) {
        raise("FileError", e, e.getFile());
    } catch (const ValueError& e) {
        raise("ValueError", e);
    } catch (const UsageError& e) {
        raise("UsageError", e);
    } catch (const TypeError& e) {
        raise("TypeError", e);
    } catch (const SizeError& e) {
        raise("SizeError", e);
    } catch (const RangeError& e) {
        raise("RangeError", e);
    } catch (const ProgramError& e) {
        raise("ProgramError", e);
    } catch (const MathError& e) {
        raise("MathError", e);
    } catch (const DepthError& e) {
        raise("DepthError", e);
    } catch (const ColormapError& e) {
        raise("ColormapError", e);
    } catch (const Exception& e) {
        raise("Error", e);
    }
}

} // namespace

PYBIND11_MODULE(_plexan, m)
{
    m.doc() = "The Plexan library: pixel and voxel matrices, image and volume files, filters, segmentation, "
              "surfaces, stacks and their measures, density maps and fusion.";
    py::register_exception_translator(translate);
    plexanpy::bindMatrices(m);
    plexanpy::bindFiles(m);
    plexanpy::bindFilters(m);
    plexanpy::bindSegmentation(m);
    plexanpy::bindSurfaces(m);
    plexanpy::bindStack(m);
    plexanpy::bindStatistics(m);
}
