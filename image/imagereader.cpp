#include "image/imagereader.h"

#include "image/colormap.h"
#include "image/image.h"
#include "image/imageheader.h"
#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "image/tifffile.h"
#include "image/voxelmatrix.h"

#include <tiffio.h>

#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace {

const char* const openWhere = "void ImageReader::readHeader(ImageHeader&,const string&)";
const char* const formatWhere = "void ImageReader::readHeader(ImageHeader&,const string&) const";
const char* const tiffHeaderWhere = "void ImageReader::readTiffHeader(ImageHeader&, TIFF*)";
const char* const tiffColormapWhere = "void ImageReader::readTiffColormap(ImageHeader&, TIFF*)";
const char* const tiffPixelsWhere = "void Image::readTiffPixels(Image&, TIFF*)";
const char* const readWhere = "void ImageReader::read(...)";

// Plain reads rather than mapping the file ("m"), strips as stored rather
// than cut into small pieces ("c"): uncompressed strips then go from the
// file straight into the image rows, a chunk of lines per read (readChunk),
// compressed ones through libtiff's decoder a strip at a time.
const char* const readMode = "rmc";

// The bytes of uncompressed lines read at a time: a tenth of a millisecond
// of reading between a cancel and the read's end. Read through a band of
// the strip's size instead (8 MiB for a 2048 x 2048 16-bit image in one
// strip), the file's bytes crossed the memory three times, not once, and a
// 16-bit image took a fifth longer; through a band of a chunk that stays in
// the cache, twice, and still as long.
constexpr std::int64_t chunkBytes = std::int64_t(1) << 20;

constexpr int imgSide = 512;
constexpr std::streamsize imgHeaderBytes = 12;
constexpr std::streamsize imgPixelBytes = std::streamsize(imgSide) * imgSide;

enum class FileKind { Unknown, Img, Tiff };

std::string suffix(const std::string& file)
{
    const auto dot = file.rfind('.');
    return dot == std::string::npos ? std::string() : file.substr(dot + 1);
}

// Tells the format of a file from its first four bytes (and, for IMG, its name).
FileKind detect(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw FileReadError(openWhere, "Cannot open file for reading", file);
    unsigned char b[4] = {0, 0, 0, 0};
    in.read(reinterpret_cast<char*>(b), 4);
    const std::string ext = suffix(file);
    if (std::memcmp(b, "0000", 4) == 0 && (ext == "img" || ext == "IMG"))
        return FileKind::Img;
    if ((b[0] == 'I' && b[1] == 'I' && b[2] == '*') || (b[0] == 'M' && b[1] == 'M' && b[3] == '*'))
        return FileKind::Tiff;
    return FileKind::Unknown;
}

void setImgHeader(ImageHeader& header)
{
    header.setImageFormat(ImageFormat::Img);
    header.setWidth(imgSide);
    header.setHeight(imgSide);
    header.setDepth(8);
}

std::string tiffName(TIFF* tif)
{
    const char* name = TIFFFileName(tif);
    return name ? name : "";
}

// Reads the bytes at `offset` of the file into `pieces`, one after
// another; how many it got (fewer at the end of the file or on an error).
std::size_t readAt(int fd, std::vector<iovec>& pieces, std::uint64_t offset)
{
    std::size_t got = 0;
    for (std::size_t first = 0; first < pieces.size() && offset + got <= std::uint64_t(INT64_MAX);) {
        const int count = static_cast<int>(std::min<std::size_t>(pieces.size() - first, IOV_MAX));
        const ssize_t n = preadv(fd, pieces.data() + first, count, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
        for (std::size_t left = static_cast<std::size_t>(n); left > 0 && first < pieces.size();) {
            const std::size_t used = std::min(left, pieces[first].iov_len);
            pieces[first].iov_base = static_cast<unsigned char*>(pieces[first].iov_base) + used;
            pieces[first].iov_len -= used;
            left -= used;
            if (pieces[first].iov_len == 0)
                ++first;
        }
    }
    return got;
}

// Lines first .. first + lines - 1 of uncompressed strip `strip` (whose
// first line is stripFirst) from the file into `rows`, 16-bit samples in
// the machine's byte order. Rows that follow each other in memory take one
// piece of the read: a piece per row cost a third more for rows of 1 KiB.
void readChunk(TIFF* tif, std::uint32_t strip, int stripFirst, int first, int lines, std::int64_t lineBytes,
               int bitsPerSample, unsigned char* const* rows)
{
    std::vector<iovec> pieces;
    for (int l = 0; l < lines; ++l) {
        if (!pieces.empty() && static_cast<unsigned char*>(pieces.back().iov_base) + pieces.back().iov_len == rows[l])
            pieces.back().iov_len += static_cast<std::size_t>(lineBytes);
        else
            pieces.push_back({rows[l], static_cast<std::size_t>(lineBytes)});
    }
    const std::size_t bytes = static_cast<std::size_t>(lines * lineBytes);
    int failed = 0;
    std::size_t got = 0;
    if (strip < TIFFNumberOfStrips(tif)) {
        const std::uint64_t start = TIFFGetStrileOffsetWithErr(tif, strip, &failed);
        if (!failed)
            got = readAt(TIFFFileno(tif), pieces, start + static_cast<std::uint64_t>((first - stripFirst) * lineBytes));
    }
    if (got != bytes)
        throw FileReadError(tiffPixelsWhere,
                            "Cannot read TIFF image data: got " + std::to_string(got) + " of the " +
                                std::to_string(bytes) + " bytes of lines " + std::to_string(first) + " to " +
                                std::to_string(first + lines - 1),
                            tiffName(tif));
    if (TIFFIsByteSwapped(tif) && bitsPerSample == 16)
        for (int l = 0; l < lines; ++l)
            TIFFSwabArrayOfShort(reinterpret_cast<std::uint16_t*>(rows[l]), static_cast<tmsize_t>(lineBytes / 2));
}

std::uint64_t fileSize(TIFF* tif)
{
    struct stat st;
    const int fd = TIFFFileno(tif);
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size <= 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

} // namespace

void ImageReader::read(ImageHeader& header, const std::string& file)
{
    const FileKind kind = detect(file);
    header.clear();
    header.setImageFormat(ImageFormat::Unknown);
    if (kind == FileKind::Img) {
        setImgHeader(header);
    } else if (kind == FileKind::Tiff) {
        header.setImageFormat(ImageFormat::Tiff);
        TiffFile tif(file, readMode);
        if (!tif.isOpen())
            throw FileFormatError(openWhere, TiffFile::explain("Cannot read TIFF file"), file);
        readTiffHeader(header, tif.get());
    } else {
        throw FileFormatError(formatWhere, "Unrecognized image file format", file);
    }
}

void ImageReader::readTiffHeader(ImageHeader& header, TIFF* tif)
{
    std::uint16_t samples = 1, bits = 1, photometric = PHOTOMETRIC_MINISBLACK;
    std::uint32_t length = 0, width = 0;
    float xResolution = 0.0f, yResolution = 0.0f;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length);
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xResolution);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yResolution);

    if (bits != 8 && bits != 16)
        throw FileFormatError(tiffHeaderWhere,
                              "Cannot read TIFF with " + std::to_string(bits) + " bits per sample",
                              tiffName(tif));
    if (samples != 1 && samples != 3 && samples != 4)
        throw FileFormatError(tiffHeaderWhere,
                              "Cannot read TIFF with " + std::to_string(samples) +
                                  " samples per pixel",
                              tiffName(tif));

    // Sizes a user's file may declare but no image of ours can hold.
    if (width < 1 || length < 1 || width > INT_MAX || length > INT_MAX)
        throw FileFormatError(tiffHeaderWhere, "Invalid TIFF image size", tiffName(tif));
    const std::uint64_t pixels = std::uint64_t(width) * length;
    const std::uint64_t bytes = pixels * (bits / 8u) * samples;
    if (pixels > INT_MAX || bytes > INT_MAX)
        throw FileFormatError(tiffHeaderWhere, "TIFF image is too large", tiffName(tif));
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    const std::uint64_t stored = fileSize(tif);
    if (stored > 0 && bytes > stored * TiffFile::maxExpansion(compression))
        throw FileFormatError(tiffHeaderWhere, "TIFF image size exceeds the file contents",
                              tiffName(tif));

    header.setHeight(static_cast<int>(length));
    header.setWidth(static_cast<int>(width));
    header.setDepth(bits * samples);

    PixelCalibration& calibration = header.getPixelCalibration();
    calibration.clear();
    if (xResolution > FLT_EPSILON)
        calibration.setPixelWidth(1.0f / xResolution);
    if (yResolution > FLT_EPSILON)
        calibration.setPixelHeight(1.0f / yResolution);
    calibration.compute();

    if (photometric == PHOTOMETRIC_PALETTE)
        readTiffColormap(header, tif);
}

void ImageReader::readTiffColormap(ImageHeader& header, TIFF* tif)
{
    std::uint16_t bits = 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (bits > 16 || !TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue))
        throw FileFormatError(tiffColormapWhere, "Cannot read TIFF colormap", tiffName(tif));
    const int cells = 1 << bits;
    Colormap colormap(cells);
    for (int i = 0; i < cells; ++i)
        colormap.setCell(i, static_cast<unsigned char>(red[i] >> 8),
                         static_cast<unsigned char>(green[i] >> 8),
                         static_cast<unsigned char>(blue[i] >> 8));
    header.setColormap(colormap);
}

void ImageReader::readTiffPixels(Image& image, TIFF* tif)
{
    notifyStarted("");
    const int depth = image.getDepth();
    if (depth == 24 || depth == 32) {
        std::uint16_t planar = PLANARCONFIG_CONTIG;
        TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
        if (planar == PLANARCONFIG_SEPARATE)
            throw FileFormatError(tiffPixelsWhere, "Cannot read TIFF with separate planes",
                                  tiffName(tif));
    }
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) {
        finishTiffPixels();
        return;
    }

    // The image must have been sized from this file's header: libtiff writes
    // whole lines (or tiles) into it.
    std::uint32_t width = 0, length = 0;
    std::uint16_t samples = 1, bits = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    const int height = image.getHeight();
    const std::int64_t lineBytes = image.bytesPerLine();
    if (std::int64_t(width) != image.getWidth() || std::int64_t(length) != height ||
        bits * samples != depth)
        throw SizeError(tiffPixelsWhere, "Image and TIFF file differ in size or depth");
    unsigned char** rows = image.getPixels();

    // Lines are decoded a strip (or a row of tiles) at a time, but handed to
    // the image one by one: cancellation is polled before each line and
    // progress reported after it, so a cancelled read leaves exactly the lines
    // reported and the rows below as they were. A band holds the decoded lines
    // still to be handed over; one-line strips go straight into their row.
    // Uncompressed strips are read a chunk of lines at a time straight into
    // the rows: a cancel leaves the rest of that chunk's rows with their lines.
    // The band and the tile are written whole before they are read: left
    // uninitialised, not cleared (clearing an 8 MB strip took a tenth of a
    // 16-bit image's read).
    std::unique_ptr<unsigned char[]> band;
    if (TIFFIsTiled(tif)) {
        std::uint32_t tileWidth = 0, tileLength = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
        const std::int64_t tileBytes = TIFFTileSize64(tif);
        const std::int64_t tileLineBytes = std::int64_t(tileWidth) * (depth / 8);
        if (tileWidth < 1 || tileLength < 1 || tileLineBytes * tileLength != tileBytes ||
            tileBytes > std::max<std::int64_t>(4 * lineBytes * height, 1 << 24))
            throw FileFormatError(tiffPixelsWhere, "Invalid TIFF tile size", tiffName(tif));
        const int bandLines = static_cast<int>(std::min<std::int64_t>(tileLength, height));
        const auto tile = std::make_unique_for_overwrite<unsigned char[]>(static_cast<std::size_t>(tileBytes));
        band = std::make_unique_for_overwrite<unsigned char[]>(static_cast<std::size_t>(bandLines * lineBytes));
        for (int y = 0; y < height; ++y) {
            if (isCanceled()) {
                notifyCanceled("canceled");
                return;
            }
            const int y0 = y - y % bandLines;
            if (y == y0) {
                const int lines = std::min(bandLines, height - y0);
                for (std::int64_t x0 = 0; x0 < width; x0 += tileWidth) {
                    TiffFile::clearError();
                    if (TIFFReadTile(tif, tile.get(), static_cast<std::uint32_t>(x0),
                                     static_cast<std::uint32_t>(y0), 0, 0) < 0)
                        throw FileReadError(tiffPixelsWhere,
                                            TiffFile::explain("Cannot read TIFF image data"),
                                            tiffName(tif));
                    const std::int64_t offset = x0 * (depth / 8);
                    const std::int64_t count = std::min(tileLineBytes, lineBytes - offset);
                    for (int l = 0; l < lines; ++l)
                        std::memcpy(band.get() + l * lineBytes + offset, tile.get() + l * tileLineBytes,
                                    static_cast<std::size_t>(count));
                }
            }
            std::memcpy(rows[y], band.get() + (y - y0) * lineBytes, static_cast<std::size_t>(lineBytes));
            notifyProgressed(static_cast<unsigned>(y + 1), static_cast<unsigned>(height));
        }
    } else {
        if (static_cast<std::int64_t>(TIFFScanlineSize64(tif)) != lineBytes)
            throw FileFormatError(tiffPixelsWhere, "Cannot read TIFF with this sample layout",
                                  tiffName(tif));
        std::uint32_t rowsPerStrip = 0;
        std::uint16_t compression = COMPRESSION_NONE, fillOrder = FILLORDER_MSB2LSB;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fillOrder);
        const int stripLines =
            static_cast<int>(std::clamp<std::uint32_t>(rowsPerStrip, 1, static_cast<std::uint32_t>(height)));
        // Uncompressed strips of several lines, in bytes as stored (or byte
        // swapped), are read a chunk of lines at a time straight into the
        // rows; other strips are decoded by libtiff into the band, one-line
        // strips into their row.
        const bool chunked = stripLines > 1 && compression == COMPRESSION_NONE && fillOrder == FILLORDER_MSB2LSB &&
                             (bits == 8 || bits == 16) && TIFFFileno(tif) >= 0;
        const int chunkLines = static_cast<int>(std::clamp<std::int64_t>(chunkBytes / lineBytes, 1, stripLines));
        if (stripLines > 1 && !chunked)
            band = std::make_unique_for_overwrite<unsigned char[]>(static_cast<std::size_t>(stripLines * lineBytes));
        int chunkEnd = 0;
        for (int y = 0; y < height; ++y) {
            if (isCanceled()) {
                notifyCanceled("canceled");
                return;
            }
            const int y0 = y - y % stripLines;
            if (chunked) {
                if (y == chunkEnd) {
                    chunkEnd = std::min({y + chunkLines, y0 + stripLines, height});
                    readChunk(tif, static_cast<std::uint32_t>(y0 / stripLines), y0, y, chunkEnd - y, lineBytes, bits,
                              rows + y);
                }
            } else if (y == y0) {
                const int lines = std::min(stripLines, height - y0);
                const tmsize_t bytes = static_cast<tmsize_t>(lines) * lineBytes;
                TiffFile::clearError();
                if (TIFFReadEncodedStrip(tif, static_cast<std::uint32_t>(y0 / stripLines),
                                         stripLines > 1 ? band.get() : rows[y], bytes) != bytes)
                    throw FileReadError(tiffPixelsWhere,
                                        TiffFile::explain("Cannot read TIFF image data"),
                                        tiffName(tif));
            }
            if (stripLines > 1 && !chunked)
                std::memcpy(rows[y], band.get() + (y - y0) * lineBytes, static_cast<std::size_t>(lineBytes));
            notifyProgressed(static_cast<unsigned>(y + 1), static_cast<unsigned>(height));
        }
    }
    finishTiffPixels();
}

// A cancel asked for while the last line was reported still ends the read as
// cancelled: the caller asked to stop and must not be told all went well.
void ImageReader::finishTiffPixels()
{
    if (isCanceled())
        notifyCanceled("canceled");
    else
        notifyFinished("finished");
}

bool ImageReader::readImgPixels(Image& image, const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    char header[imgHeaderBytes];
    in.read(header, imgHeaderBytes);
    if (in.gcount() != imgHeaderBytes)
        return false;
    in.read(reinterpret_cast<char*>(image.getData()), imgPixelBytes);
    return in.gcount() == imgPixelBytes;
}

void ImageReader::read(Image& image, const std::string& file)
{
    try {
        ImageHeader header;
        const FileKind kind = detect(file);
        if (kind == FileKind::Img) {
            setImgHeader(header);
            image.init(imgSide, imgSide, 8);
            image.setHeader(header);
            if (!readImgPixels(image, file))
                throw FileFormatError(readWhere, "Incomplete IMG file (expected 12 + 262144 bytes)",
                                      file);
        } else if (kind == FileKind::Tiff) {
            header.setImageFormat(ImageFormat::Tiff);
            TiffFile tif(file, readMode);
            if (!tif.isOpen())
                throw FileFormatError(openWhere, TiffFile::explain("Cannot read TIFF file"), file);
            readTiffHeader(header, tif.get());
            image.init(header.getWidth(), header.getHeight(), header.getDepth());
            image.setHeader(header);
            readTiffPixels(image, tif.get());
        } else {
            throw FileFormatError(formatWhere, "Unrecognized image file format", file);
        }
    } catch (Exception& e) {
        e.addCall(readWhere);
        throw Exception(e);
    }
}

void ImageReader::read(Image& image, const ImageSource* source)
{
    if (source)
        read(image, *source);
}

void ImageReader::read(Image& image, const ImageSource& source)
{
    if (auto file = dynamic_cast<const ImageSourceFile*>(&source))
        read(image, *file);
    else if (auto mosaic = dynamic_cast<const ImageSourceFileMosaic*>(&source))
        read(image, *mosaic);
    else if (auto plane = dynamic_cast<const ImageSourceVoxelMatrixPlane*>(&source))
        read(image, *plane);
    else
        throw ProgramError("void ImageReader::read(Image&, const ImageSource&)",
                           "Unknown image source type");
}

void ImageReader::read(Image& image, const ImageSourceFile& source)
{
    read(image, source.getFilename());
}

void ImageReader::read(Image& image, const ImageSourceFileMosaic& source)
{
    notifyStarted("");
    // A fresh header: nothing of the image's previous content (a colormap, a
    // calibration) may stay.
    ImageHeader header;
    header.setWidth(source.getSize2());
    header.setHeight(source.getSize1());
    header.setDepth(source.getDepth());
    if (const Colormap* colormap = source.getColormap())
        header.setColormap(*colormap);
    image.setHeader(header);
    image.clear();
    const Vector<int> heights = source.rowHeights();
    const Vector<int> widths = source.colWidths();
    Image tile;
    int y = 0;
    for (int r = 0; r < source.getRows(); ++r) {
        int x = 0;
        for (int c = 0; c < source.getCols(); ++c) {
            const std::string& name = source.getFilename(r, c);
            if (!name.empty()) {
                if (isCanceled()) {
                    notifyCanceled("canceled");
                    return;
                }
                read(tile, name);
                image.paste(tile, x, y);
            }
            x += widths[c];
        }
        y += heights[r];
    }
    notifyFinished("finished");
}

void ImageReader::read(Image& image, const ImageSourceVoxelMatrixPlane& source)
{
    VoxelMatrix<float> matrix;
    matrix.load(source.getVoxelMatrixFilename());
    const int plane = source.getPlane();
    if (plane < 0 || plane >= matrix.getSize3())
        throw RangeError("void ImageReader::read(Image&, const ImageSourceVoxelMatrixPlane&)",
                         "Plane index out of range");
    matrix[plane].convertToImage(image);
    image.print("image read from voxel matrix:", false);
}
