#pragma once
// Image: a display image of bytes. Depth 8 holds one grey level per pixel, or
// a colour index when the header has a colormap (an indexed image); depth 16
// one 16-bit grey sample in the machine's byte order; depth 24 red, green,
// blue; depth 32 red, green, blue and a fourth byte. Rows run from the top in
// one contiguous buffer; pixel (x, y) is at byte y x bytesPerLine() +
// x x bytesPerPixel(). Numeric work converts images to PixelMatrix<T>.

#include "image/imagechannel.h"
#include "image/imagecolorcontent.h"
#include "image/imageheader.h"

#include <cstddef>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

template <typename T> class PixelMatrix;

class Image {
public:
    Image() = default;
    Image(int width, int height, int depth) { init(width, height, depth); }
    Image(const Image& other);
    Image(Image&& other) noexcept;
    Image& operator=(const Image& other);
    Image& operator=(Image&& other) noexcept;
    ~Image() = default;

    void swap(Image& other) noexcept;
    // Frees the pixels and clears the header.
    void reset();
    // Frees the pixels; the header is kept.
    void destroy();

    // Allocates width x height pixels of the given depth (8, 16, 24 or 32),
    // contents undefined; nothing is done when the sizes and depth are
    // unchanged and pixels exist. A bad depth raises DepthError after the old
    // pixels have been freed. The rest of the header is kept.
    void init(int width, int height, int depth);
    bool hasData() const { return m_data != nullptr; }
    // Zero-fills the pixels.
    void clear();

    // The header: init() keeps its sizes; setHeader() initialises the image to
    // the header's sizes and depth (so a header without a valid depth raises
    // DepthError), then copies all of it.
    const ImageHeader& getHeader() const { return m_header; }
    void setHeader(const ImageHeader& header);

    int getWidth() const { return m_header.getWidth(); }
    int getHeight() const { return m_header.getHeight(); }
    int getDepth() const { return m_header.getDepth(); }
    ImageFormat getImageFormat() const { return m_header.getImageFormat(); }
    void setImageFormat(ImageFormat format) { m_header.setImageFormat(format); }
    const PixelCalibration& getPixelCalibration() const { return m_header.getPixelCalibration(); }
    PixelCalibration& getPixelCalibration() { return m_header.getPixelCalibration(); }
    void setPixelCalibration(const PixelCalibration& c) { m_header.setPixelCalibration(c); }

    bool hasColormap() const { return m_header.hasColormap(); }
    const Colormap* getColormap() const { return m_header.getColormap(); }
    Colormap* getColormap() { return m_header.getColormap(); }
    void setColormap(const Colormap& colormap) { m_header.setColormap(colormap); }
    void deleteColormap() { m_header.deleteColormap(); }
    // Depth 8 with a colormap.
    bool isIndexed() const { return getDepth() == 8 && hasColormap(); }

    // depth / 8 for the four allowed depths, 0 otherwise.
    int bytesPerPixel() const;
    int bytesPerLine() const { return getWidth() * bytesPerPixel(); }
    std::size_t dataLength() const
    {
        return static_cast<std::size_t>(getHeight()) * static_cast<std::size_t>(bytesPerLine());
    }

    // The pixel buffer, and the table of row pointers into it.
    unsigned char* getData() { return m_data.get(); }
    const unsigned char* getData() const { return m_data.get(); }
    unsigned char** getPixels() { return m_rows.data(); }
    const unsigned char* const* getPixels() const { return m_rows.data(); }
    unsigned char* getRow(int y) { return m_rows[static_cast<std::size_t>(y)]; }
    const unsigned char* getRow(int y) const { return m_rows[static_cast<std::size_t>(y)]; }

    // Copies src with its top-left corner at column x, row y. Checks, in
    // order: equal depths (DepthError), an equal colormap in src when this
    // image is indexed (ColormapError), src inside this image (SizeError).
    void paste(const Image& src, int x, int y);

    // The content of one pixel: grey when r = g = b, a single primary when only
    // that component is non-zero, colour otherwise.
    static ImageColorContent colorContent(unsigned char r, unsigned char g, unsigned char b);
    // 8- and 16-bit grey images are grey; indexed images are judged by their
    // colormap; 24- and 32-bit images have the content of their first pixel
    // when every pixel shares it, and are colour otherwise.
    ImageColorContent colorContent() const;
    bool isGrayscale() const { return colorContent() == ImageColorContent::Grayscale; }
    bool isRedOnly() const { return colorContent() == ImageColorContent::RedOnly; }
    bool isGreenOnly() const { return colorContent() == ImageColorContent::GreenOnly; }
    bool isBlueOnly() const { return colorContent() == ImageColorContent::BlueOnly; }

    // 8-bit images only: n < 1 removes the colormap, otherwise installs a grey
    // ramp of n cells.
    void setGrayscale(int n);

    // Conversions in place ------------------------------------------------------

    // Indexed: the colormap turns grey ((r + g + b) / 3). 16-bit: samples are
    // scaled to 0..255 by the largest one when it reaches 256, copied
    // otherwise. 24- and 32-bit: each pixel becomes (r + g + b) / 3. Other
    // 8-bit images are left alone.
    void make8bitsGrayscale();
    // 8-bit images (grey or indexed) become red, green, blue; 24-bit images are
    // left alone; other depths raise DepthError.
    void make24bits();
    // 24-bit images gain a zero fourth byte; other depths are left alone.
    void make32bits();

    // Channels -------------------------------------------------------------------

    // An 8-bit grey image of the same size holding channel c: the byte at
    // offset c of 24/32-bit pixels, the colormap component of indexed pixels,
    // the grey level of grey images (16-bit ones scaled as by
    // make8bitsGrayscale). A channel the image does not have reads as 0.
    Image channel(ImageChannel c) const;
    // Writes m (height x width, SizeError otherwise) into channel c of a 24- or
    // 32-bit image, or as the grey level of an 8-bit grey image.
    void setChannel(ImageChannel c, const PixelMatrix<unsigned char>& m);

    // Files ------------------------------------------------------------------------

    // Reads the file dir + name (plain concatenation): TIFF or IMG.
    void readFile(const std::string& name, const std::string& dir = "");
    // Writes the TIFF file dir + "/" + name (name alone when dir is empty).
    void writeFile(const std::string& name, const std::string& dir = "", bool overwrite = false) const;

    // Equal headers and equal pixels.
    bool operator==(const Image& other) const;
    bool operator!=(const Image& other) const { return !(*this == other); }

    // Sizes, depth, colormap, data length and format, then the pixel values
    // when withData is true.
    void print(const std::string& title = "", bool withData = false,
               std::ostream& stream = std::cout) const;

private:
    void setRows();

    ImageHeader m_header;
    std::unique_ptr<unsigned char[]> m_data;
    std::vector<unsigned char*> m_rows;
};
