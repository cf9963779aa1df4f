// Slice images: reading TIFF and IMG files, writing TIFF and IMG files.

#include "common.h"

#include "image/colormap.h"
#include "image/imageformat.h"
#include "image/imagereader.h"
#include "image/imagewriter.h"
#include "numerics/exception.h"

#include <filesystem>
#include <fstream>

namespace plexanpy {

namespace {

constexpr int imgSide = 512;

struct ImageObject {
    py::array array;
    int depth = 8;
    py::object colormap;
    std::string format;
    PixelCalibration calibration;
};

bool isImgName(const std::string& file)
{
    const std::string extension = std::filesystem::path(file).extension().string();
    return extension == ".img" || extension == ".IMG";
}

// An IMG file: "0000" and eight zero bytes, then 512 x 512 grey bytes.
void writeImg(const Image& image, const std::string& file, bool overwrite)
{
    const char* where = "write_image(path, image) [IMG]";
    if (image.getDepth() != 8 || image.getWidth() != imgSide || image.getHeight() != imgSide)
        throw FileWriteError(where, "IMG files hold 512 x 512 grey bytes", file);
    PendingFile pending(file, overwrite, where);
    {
        std::ofstream stream(pending.getPath(), std::ios::out | std::ios::binary | std::ios::trunc);
        const char header[12] = {'0', '0', '0', '0', 0, 0, 0, 0, 0, 0, 0, 0};
        stream.write(header, sizeof header);
        stream.write(reinterpret_cast<const char*>(image.getData()),
                     static_cast<std::streamsize>(image.dataLength()));
        stream.close();
        if (!stream)
            throw FileWriteError(where, "Cannot write IMG file", file);
    }
    pending.commit();
}

} // namespace

Image imageOf(py::handle object, py::handle colormap, const std::string& what)
{
    py::array array = contiguous(object, 0, what);
    const std::optional<Element> e = elementOf(array.dtype());
    int depth = 0;
    if (array.ndim() == 2 && e == Element::UChar)
        depth = 8;
    else if (array.ndim() == 2 && e == Element::UShort)
        depth = 16;
    else if (array.ndim() == 3 && e == Element::UChar && (array.shape(2) == 3 || array.shape(2) == 4))
        depth = array.shape(2) == 3 ? 24 : 32;
    else
        throw py::type_error(what + ": an image is a (height, width) array of uint8 or uint16, or a (height, "
                                    "width, 3 or 4) array of uint8, not " +
                             py::str(array.attr("shape")).cast<std::string>() + " of " +
                             array.dtype().attr("name").cast<std::string>());
    Image image(static_cast<int>(array.shape(1)), static_cast<int>(array.shape(0)), depth);
    if (image.dataLength() > 0)
        std::memcpy(image.getData(), array.data(), image.dataLength());
    if (!colormap.is_none()) {
        if (depth != 8)
            throw py::value_error(what + ": only 8-bit images have a colormap");
        py::array cells = contiguousAs(colormap, 2, Element::UChar, what);
        if (cells.shape(1) != 3 || cells.shape(0) > 256)
            throw py::value_error(what + ": a colormap is an (n, 3) array of red, green and blue, n <= 256");
        Colormap c(static_cast<int>(cells.shape(0)));
        const unsigned char* rgb = dataOf<unsigned char>(cells);
        for (int i = 0; i < c.getSize(); ++i)
            c.setCell(i, rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
        image.setColormap(c);
    }
    return image;
}

py::array pixelsOf(Image image)
{
    const int depth = image.getDepth();
    const py::ssize_t height = image.getHeight();
    const py::ssize_t width = image.getWidth();
    auto* owner = new Image(std::move(image));
    py::capsule base(owner, [](void* p) { delete static_cast<Image*>(p); });
    void* data = owner->getData();
    if (depth == 16)
        return py::array(dtypeOf(Element::UShort), {height, width}, {width * 2, py::ssize_t(2)}, data, base);
    if (depth == 24 || depth == 32) {
        const py::ssize_t channels = depth / 8;
        return py::array(dtypeOf(Element::UChar), {height, width, channels},
                         {width * channels, channels, py::ssize_t(1)}, data, base);
    }
    return py::array(dtypeOf(Element::UChar), {height, width}, {width, py::ssize_t(1)}, data, base);
}

py::object colormapOf(const Image& image)
{
    const Colormap* c = image.getColormap();
    if (!c)
        return py::none();
    py::array cells = newArray(Element::UChar, {c->getSize(), 3});
    unsigned char* rgb = dataOf<unsigned char>(cells);
    for (int i = 0; i < c->getSize(); ++i) {
        rgb[3 * i] = c->getRed()[i];
        rgb[3 * i + 1] = c->getGreen()[i];
        rgb[3 * i + 2] = c->getBlue()[i];
    }
    return cells;
}

void bindFiles(py::module_& m)
{
    py::class_<ImageObject>(m, "Image", R"(A slice image as read from a file.

array: (height, width) uint8 for 8-bit grey or indexed images, (height,
width) uint16 for 16-bit ones, (height, width, 3) or (height, width, 4)
uint8 for colour ones; rows from the top. colormap: the (n, 3) uint8 table
of red, green and blue of an indexed image, else None. format: "Tiff" or
"IMG". numpy.asarray(image) is its array.)")
        .def_readonly("array", &ImageObject::array)
        .def_readonly("depth", &ImageObject::depth, "Bits per pixel: 8, 16, 24 or 32.")
        .def_readonly("colormap", &ImageObject::colormap)
        .def_readonly("format", &ImageObject::format)
        .def_property_readonly("pixel_width", [](const ImageObject& i) { return i.calibration.getPixelWidth(); })
        .def_property_readonly("pixel_height", [](const ImageObject& i) { return i.calibration.getPixelHeight(); })
        .def(
            "__array__",
            [](const ImageObject& i, py::object dtype) -> py::object {
                return dtype.is_none() ? py::object(i.array) : i.array.attr("astype")(dtype);
            },
            py::arg("dtype") = py::none())
        .def("__repr__", [](const ImageObject& i) {
            return "Image(" + std::to_string(i.array.shape(1)) + " x " + std::to_string(i.array.shape(0)) + ", " +
                   std::to_string(i.depth) + " bits, " + i.format + (i.colormap.is_none() ? "" : ", indexed") + ")";
        });

    m.def(
        "read_image",
        [](py::handle path, py::object progress) {
            const std::string file = fileName(path);
            ImageReader reader;
            ProgressCallback callback(progress);
            callback.watch(reader);
            Image image;
            {
                py::gil_scoped_release release;
                reader.read(image, file);
            }
            callback.finish("read_image");
            ImageObject result;
            result.depth = image.getDepth();
            result.colormap = colormapOf(image);
            result.format = imageFormatName(image.getImageFormat());
            result.calibration = image.getPixelCalibration();
            result.array = pixelsOf(std::move(image));
            return result;
        },
        py::arg("path"), py::arg("progress") = py::none(),
        "Reads a slice image: a TIFF file (its first image) or an IMG file (512 x 512 grey bytes), as an Image.");

    m.def(
        "write_image",
        [](py::handle path, py::handle image, py::handle colormap, bool overwrite) {
            const std::string file = fileName(path);
            py::object pixels = py::reinterpret_borrow<py::object>(image);
            py::object cells = py::reinterpret_borrow<py::object>(colormap);
            if (py::isinstance<ImageObject>(image)) {
                pixels = image.cast<const ImageObject&>().array;
                if (cells.is_none())
                    cells = image.cast<const ImageObject&>().colormap;
            }
            const Image written = imageOf(pixels, cells, "write_image");
            py::gil_scoped_release release;
            if (isImgName(file)) {
                writeImg(written, file, overwrite);
                return;
            }
            PendingFile pending(file, overwrite, "void ImageWriter::write(...)");
            ImageWriter().write(written, pending.getPath(), true);
            pending.commit();
        },
        py::arg("path"), py::arg("image"), py::arg("colormap") = py::none(), py::arg("overwrite") = false,
        R"(Writes a slice image: an IMG file when the name ends in .img (a 512 x 512 uint8 array),
else an uncompressed TIFF file. image is an Image or an array as Image.array
describes; an 8-bit image with a colormap is written as a palette image. An
existing file is refused unless overwrite is true, and is replaced only once
the new one is complete.)");
}

} // namespace plexanpy
