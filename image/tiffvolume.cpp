#include "image/tiffvolume.h"

#include "image/lengthunittext.h"
#include "image/rawvoxels.h"
#include "image/tifffile.h"
#include "numerics/exception.h"

#include <tiffio.h>

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace {

const char* const where = "ImportedVolume TiffVolume::read(const string&, ...)";

// What the pages must share with the first one.
struct PageLayout {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0, samples = 1, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK, compression = COMPRESSION_NONE;

    bool sameAs(const PageLayout& o) const
    {
        return width == o.width && height == o.height && bits == o.bits && samples == o.samples &&
               format == o.format;
    }
};

PageLayout layoutOf(TIFF* tif)
{
    PageLayout p;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &p.format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p.planar);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &p.compression);
    return p;
}

bool elementOf(const PageLayout& p, RawVoxels::Element& element)
{
    using E = RawVoxels::Element;
    if (p.format == SAMPLEFORMAT_IEEEFP) {
        if (p.bits == 16)
            element = E::Float16;
        else if (p.bits == 32)
            element = E::Float32;
        else if (p.bits == 64)
            element = E::Float64;
        else
            return false;
        return true;
    }
    const bool isSigned = p.format == SAMPLEFORMAT_INT;
    if (p.format != SAMPLEFORMAT_UINT && p.format != SAMPLEFORMAT_INT && p.format != SAMPLEFORMAT_VOID)
        return false;
    switch (p.bits) {
    case 8:
        element = isSigned ? E::Int8 : E::UInt8;
        return true;
    case 16:
        element = isSigned ? E::Int16 : E::UInt16;
        return true;
    case 32:
        element = isSigned ? E::Int32 : E::UInt32;
        return true;
    default:
        return false;
    }
}

std::string description(TIFF* tif)
{
    const char* text = nullptr;
    if (TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) == 1 && text)
        return text;
    return "";
}

bool toDouble(const std::string& text, double& value)
{
    const auto begin = text.find_first_not_of(" \t\"");
    if (begin == std::string::npos)
        return false;
    const auto end = text.find_last_not_of(" \t\"\r");
    const auto result = std::from_chars(text.data() + begin, text.data() + end + 1, value);
    return result.ec == std::errc() && result.ptr == text.data() + end + 1;
}

bool toCount(const std::string& text, std::int64_t& value)
{
    double d = 0.0;
    if (!toDouble(text, d) || !(d >= 1.0 && d <= 1.0e9) || d != std::floor(d))
        return false;
    value = static_cast<std::int64_t>(d);
    return true;
}

// ImageJ's "key=value" lines.
std::map<std::string, std::string> imageJFields(const std::string& text)
{
    std::map<std::string, std::string> fields;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const auto equal = line.find('=');
        if (equal != std::string::npos)
            fields[line.substr(0, equal)] = line.substr(equal + 1);
        start = end + 1;
    }
    return fields;
}

// The text of the first element named `name` (with or without a namespace
// prefix), from "<" to ">", empty when there is none.
std::string xmlTag(const std::string& xml, const std::string& name, std::size_t from = 0)
{
    for (std::size_t at = xml.find('<', from); at != std::string::npos; at = xml.find('<', at + 1)) {
        std::size_t n = at + 1;
        const auto colon = xml.find_first_of(": \t\r\n/>", n);
        if (colon != std::string::npos && xml[colon] == ':')
            n = colon + 1;
        if (xml.compare(n, name.size(), name) == 0 && n + name.size() < xml.size() &&
            std::string(" \t\r\n/>").find(xml[n + name.size()]) != std::string::npos) {
            const auto end = xml.find('>', n);
            return xml.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
        }
    }
    return "";
}

std::size_t countTags(const std::string& xml, const std::string& name)
{
    std::size_t count = 0;
    for (std::size_t at = 0;;) {
        const std::string tag = xmlTag(xml, name, at);
        if (tag.empty())
            return count;
        ++count;
        at = xml.find(tag, at) + tag.size();
    }
}

bool xmlAttribute(const std::string& tag, const std::string& name, std::string& value)
{
    for (std::size_t at = tag.find(name); at != std::string::npos; at = tag.find(name, at + 1)) {
        if (at == 0 || std::string(" \t\r\n").find(tag[at - 1]) == std::string::npos)
            continue;
        std::size_t i = at + name.size();
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && std::isspace(static_cast<unsigned char>(tag[i])))
            ++i;
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\''))
            continue;
        const auto end = tag.find(tag[i], i + 1);
        if (end == std::string::npos)
            return false;
        value = tag.substr(i + 1, end - i - 1);
        return true;
    }
    return false;
}

// How the planes, channels and frames map to pages.
struct PageMap {
    std::int64_t planes = 1, channels = 1, frames = 1;
    // Page of (plane z, channel c, frame t) = z * zStride + c * cStride + t * tStride.
    std::int64_t zStride = 1, cStride = 0, tStride = 0;
};

void fail(const std::string& file, const std::string& what)
{
    throw FileFormatError(where, what, file);
}

// Decodes sample `sample` of the current page into `plane` (width x height
// elements of `bytes` bytes, rows from the top).
void readPage(TIFF* tif, const PageLayout& p, int sample, int bytes, unsigned char* plane, const std::string& file,
              std::int64_t page)
{
    const bool separate = p.planar == PLANARCONFIG_SEPARATE && p.samples > 1;
    const std::uint64_t pixelBytes = separate ? static_cast<std::uint64_t>(bytes)
                                              : static_cast<std::uint64_t>(bytes) * p.samples;
    const std::uint64_t sampleOffset = separate ? 0 : static_cast<std::uint64_t>(sample) * bytes;
    const std::uint64_t lineBytes = pixelBytes * p.width;
    const std::uint64_t planeLine = static_cast<std::uint64_t>(bytes) * p.width;
    const std::string pageName = "page " + std::to_string(page + 1);
    std::vector<unsigned char> buffer;
    // One sample a pixel goes over as a whole run: a copy per element took
    // several times as long as reading the file.
    auto copy = [&](const unsigned char* from, std::uint32_t columns, std::uint32_t x0, std::uint32_t y,
                    std::uint64_t stride) {
        unsigned char* to = plane + y * planeLine + static_cast<std::uint64_t>(x0) * bytes;
        if (stride == static_cast<std::uint64_t>(bytes)) {
            std::memcpy(to, from + sampleOffset, static_cast<std::size_t>(columns) * static_cast<std::size_t>(bytes));
            return;
        }
        for (std::uint32_t x = 0; x < columns; ++x)
            std::memcpy(to + static_cast<std::uint64_t>(x) * bytes, from + x * stride + sampleOffset,
                        static_cast<std::size_t>(bytes));
    };
    if (TIFFIsTiled(tif)) {
        std::uint32_t tw = 0, th = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
        const std::int64_t tileBytes = TIFFTileSize64(tif);
        if (tw < 1 || th < 1 || static_cast<std::uint64_t>(tileBytes) != pixelBytes * tw * th ||
            static_cast<std::uint64_t>(tileBytes) > std::max<std::uint64_t>(4 * lineBytes * p.height, 1 << 24))
            fail(file, pageName + ": invalid tile size");
        buffer.resize(static_cast<std::size_t>(tileBytes));
        for (std::uint64_t y0 = 0; y0 < p.height; y0 += th)
            for (std::uint64_t x0 = 0; x0 < p.width; x0 += tw) {
                TiffFile::clearError();
                if (TIFFReadTile(tif, buffer.data(), static_cast<std::uint32_t>(x0), static_cast<std::uint32_t>(y0), 0,
                                 static_cast<std::uint16_t>(separate ? sample : 0)) < 0)
                    fail(file, TiffFile::explain(pageName + ": cannot read TIFF image data"));
                const auto columns = static_cast<std::uint32_t>(std::min<std::uint64_t>(tw, p.width - x0));
                for (std::uint64_t r = 0; r < th && y0 + r < p.height; ++r)
                    copy(buffer.data() + r * tw * pixelBytes, columns, static_cast<std::uint32_t>(x0),
                         static_cast<std::uint32_t>(y0 + r), pixelBytes);
            }
        return;
    }
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, p.height);
    if (static_cast<std::uint64_t>(TIFFScanlineSize64(tif)) != lineBytes)
        fail(file, pageName + ": cannot read TIFF with this sample layout");
    buffer.resize(static_cast<std::size_t>(lineBytes * rowsPerStrip));
    for (std::uint64_t y = 0; y < p.height; y += rowsPerStrip) {
        const auto y0 = static_cast<std::uint32_t>(y);
        const std::uint32_t rows = std::min(rowsPerStrip, p.height - y0);
        const std::uint32_t strip = TIFFComputeStrip(tif, y0, static_cast<std::uint16_t>(separate ? sample : 0));
        TiffFile::clearError();
        const tmsize_t want = static_cast<tmsize_t>(lineBytes * rows);
        if (strip >= TIFFNumberOfStrips(tif) || TIFFReadEncodedStrip(tif, strip, buffer.data(), want) != want)
            fail(file, TiffFile::explain(pageName + ": cannot read TIFF image data"));
        for (std::uint32_t r = 0; r < rows; ++r)
            copy(buffer.data() + static_cast<std::uint64_t>(r) * lineBytes, p.width, 0, y0 + r, pixelBytes);
    }
}

} // namespace

ImportedVolume TiffVolume::read(const std::string& file, const VolumeSelection& selection, ProgressSubject* progress,
                                bool onePage)
{
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        throw FileReadError(where, "Cannot open file for reading", file);
    const auto length = static_cast<std::uint64_t>(status.st_size);
    TiffFile tiff(file, "rm");
    if (!tiff.isOpen())
        fail(file, TiffFile::explain("Cannot read TIFF file"));
    TIFF* tif = tiff.get();

    const PageLayout first = layoutOf(tif);
    RawVoxels raw;
    if (first.bits % 8 != 0 || !elementOf(first, raw.element))
        fail(file, "TIFF samples of " + std::to_string(first.bits) + " bits" +
                       (first.format == SAMPLEFORMAT_IEEEFP ? " (floats)" : "") + " are not read");
    if (first.photometric == PHOTOMETRIC_YCBCR)
        fail(file, "TIFF images in YCbCr are not read");
    if (first.width < 1 || first.height < 1 || first.samples < 1)
        fail(file, "Invalid TIFF image size");
    raw.size[0] = first.width;
    raw.size[1] = first.height;
    raw.size[2] = 1;
    std::uint64_t planeBytes = 0;
    if (!raw.planeBytes(planeBytes))
        fail(file, "TIFF page is too large");
    const int bytes = RawVoxels::elementSize(raw.element);

    const std::string text = description(tif);
    ImportedVolume result;
    PageMap map;
    double voxel[3] = {NAN, NAN, NAN};
    LengthUnitText unit{-6, 1.0};
    bool unitKnown = false;
    const std::int64_t pages = onePage ? 1 : static_cast<std::int64_t>(TIFFNumberOfDirectories(tif));
    float xResolution = 0.0f, yResolution = 0.0f;
    std::uint16_t resolutionUnit = RESUNIT_INCH;
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xResolution);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yResolution);
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &resolutionUnit);
    const double pixelWidth = xResolution > 0.0f && std::isfinite(xResolution) ? 1.0 / xResolution : NAN;
    const double pixelHeight = yResolution > 0.0f && std::isfinite(yResolution) ? 1.0 / yResolution : pixelWidth;

    if (!onePage && text.compare(0, 7, "ImageJ=") == 0) {
        result.format = "ImageJ TIFF";
        const auto fields = imageJFields(text);
        auto count = [&](const char* key, std::int64_t fallback) {
            const auto found = fields.find(key);
            std::int64_t n = fallback;
            if (found != fields.end() && !toCount(found->second, n))
                fail(file, std::string("ImageJ description: ") + key + "=" + found->second + " is not a count");
            return n;
        };
        map.channels = count("channels", 1);
        map.frames = count("frames", 1);
        const std::int64_t images = count("images", pages);
        map.planes = count("slices", images / std::max<std::int64_t>(1, map.channels * map.frames));
        if (map.channels * map.planes * map.frames != images || images > pages)
            fail(file, "ImageJ description announces " + std::to_string(images) + " images (" +
                           std::to_string(map.channels) + " channels x " + std::to_string(map.planes) +
                           " slices x " + std::to_string(map.frames) + " frames) in " + std::to_string(pages) +
                           " pages");
        map.cStride = 1;
        map.zStride = map.channels;
        map.tStride = map.channels * map.planes;
        voxel[0] = pixelWidth;
        voxel[1] = pixelHeight;
        if (const auto spacing = fields.find("spacing"); spacing != fields.end())
            toDouble(spacing->second, voxel[2]);
        if (const auto u = fields.find("unit"); u != fields.end())
            unitKnown = LengthUnitText::parse(u->second, unit);
    } else if (!onePage && text.find("<OME") != std::string::npos) {
        result.format = "OME-TIFF";
        const std::string pixels = xmlTag(text, "Pixels");
        if (pixels.empty())
            fail(file, "OME-XML description without a Pixels element");
        if (countTags(text, "Image") > 1)
            result.notes.push_back("the first of " + std::to_string(countTags(text, "Image")) +
                                   " images of the file read");
        std::string order = "XYZCT";
        xmlAttribute(pixels, "DimensionOrder", order);
        auto size = [&](const char* name) {
            std::string value;
            std::int64_t n = 1;
            if (xmlAttribute(pixels, name, value) && !toCount(value, n))
                fail(file, std::string("OME Pixels ") + name + "=\"" + value + "\" is not a count");
            return n;
        };
        map.planes = size("SizeZ");
        map.channels = size("SizeC");
        map.frames = size("SizeT");
        // Interleaved colour samples count as OME channels of one page.
        const std::int64_t pageChannels = first.samples > 1 ? 1 : map.channels;
        if (map.planes * pageChannels * map.frames > pages)
            fail(file, "OME-XML announces " + std::to_string(map.planes * pageChannels * map.frames) +
                           " planes in " + std::to_string(pages) + " pages");
        if (order.size() != 5 || order.compare(0, 2, "XY") != 0)
            fail(file, "OME DimensionOrder \"" + order + "\" is not read");
        std::int64_t stride = 1;
        for (std::size_t i = 2; i < 5; ++i) {
            if (order[i] == 'Z') {
                map.zStride = stride;
                stride *= map.planes;
            } else if (order[i] == 'C') {
                map.cStride = pageChannels > 1 ? stride : 0;
                stride *= pageChannels;
            } else if (order[i] == 'T') {
                map.tStride = stride;
                stride *= map.frames;
            } else {
                fail(file, "OME DimensionOrder \"" + order + "\" is not read");
            }
        }
        std::string value;
        for (int a = 0; a < 3; ++a) {
            const std::string axis = a == 0 ? "X" : a == 1 ? "Y" : "Z";
            if (xmlAttribute(pixels, "PhysicalSize" + axis, value))
                toDouble(value, voxel[a]);
        }
        // Units per axis: all must agree (micrometres by default).
        std::string units[3] = {"\xc2\xb5m", "\xc2\xb5m", "\xc2\xb5m"};
        for (int a = 0; a < 3; ++a)
            xmlAttribute(pixels, std::string("PhysicalSize") + "XYZ"[a] + "Unit", units[a]);
        LengthUnitText u[3];
        unitKnown = true;
        for (int a = 0; a < 3; ++a)
            unitKnown = unitKnown && LengthUnitText::parse(units[a], u[a]);
        if (unitKnown) {
            unit = {u[0].scale, 1.0};
            // Everything in the unit of X.
            for (int a = 0; a < 3; ++a)
                voxel[a] *= u[a].factor * std::pow(10.0, u[a].scale - u[0].scale);
        }
    } else {
        result.format = "TIFF";
        map.planes = pages;
        if (resolutionUnit == RESUNIT_CENTIMETER || resolutionUnit == RESUNIT_INCH) {
            if (std::isfinite(pixelWidth) && (resolutionUnit == RESUNIT_CENTIMETER || xResolution > 10000.0f)) {
                // Pixels per inch of a print (72, 300 dots) say nothing of the
                // specimen; finer ones are a microscope's.
                voxel[0] = pixelWidth;
                voxel[1] = pixelHeight;
                unit = resolutionUnit == RESUNIT_CENTIMETER ? LengthUnitText{-3, 10.0} : LengthUnitText{-3, 25.4};
                unitKnown = true;
            }
        }
    }
    if (first.samples > 1) {
        if (map.channels > 1 && result.format != "OME-TIFF")
            fail(file, "TIFF pages of several samples in several channels are not read");
        map.channels = first.samples;
    }

    if (selection.channel < 0 || selection.channel >= map.channels)
        fail(file, "channel " + std::to_string(selection.channel) + " asked for, the file holds " +
                       std::to_string(map.channels));
    if (selection.frame < 0 || selection.frame >= map.frames)
        fail(file, "frame " + std::to_string(selection.frame) + " asked for, the file holds " +
                       std::to_string(map.frames));
    if (map.channels > 1)
        result.notes.push_back("channel " + std::to_string(selection.channel) + " of " +
                               std::to_string(map.channels) + " read (--channel chooses another)");
    if (map.frames > 1)
        result.notes.push_back("frame " + std::to_string(selection.frame) + " of " + std::to_string(map.frames) +
                               " read (--frame chooses another)");

    raw.size[2] = map.planes;
    std::uint64_t volumeBytes = 0;
    if (!raw.totalBytes(volumeBytes))
        fail(file, "TIFF volume is too large");
    const std::uint64_t stored = volumeBytes * (first.samples > 1 ? first.samples : 1);
    if (stored / TiffFile::maxExpansion(first.compression) > length)
        fail(file, "TIFF pages announce more data than the file holds");

    const int sample = first.samples > 1 ? selection.channel : 0;
    const int channel = first.samples > 1 ? 0 : selection.channel;
    raw.bigEndian = std::endian::native == std::endian::big;
    if (first.photometric == PHOTOMETRIC_PALETTE)
        result.notes.push_back("palette indices read as values");
    std::int64_t z = 0;
    result.volume = raw.read(
        [&](void* plane, std::size_t n) {
            const std::int64_t page = z * map.zStride + channel * map.cStride + selection.frame * map.tStride;
            if (page >= pages || n != planeBytes)
                return false;
            if (page != static_cast<std::int64_t>(TIFFCurrentDirectory(tif)) &&
                TIFFSetDirectory(tif, static_cast<tdir_t>(page)) != 1)
                fail(file, TiffFile::explain("page " + std::to_string(page + 1) + " cannot be read"));
            const PageLayout p = layoutOf(tif);
            if (!p.sameAs(first))
                fail(file, "page " + std::to_string(page + 1) + " differs from the first in size or samples");
            readPage(tif, p, sample, bytes, static_cast<unsigned char*>(plane), file, page);
            ++z;
            return true;
        },
        where, progress);

    VoxelCalibration calibration;
    result.hasLengthUnit = unitKnown;
    if (!unitKnown) {
        unit = {-6, 1.0};
        result.notes.push_back("the file names no length unit: micrometres taken (--unit sets another)");
    }
    calibration.setLengthUnit(LengthUnit(unit.scale));
    const bool planar = std::isfinite(voxel[0]) && voxel[0] > 0.0 && std::isfinite(voxel[1]) && voxel[1] > 0.0;
    result.hasVoxelSize = planar && std::isfinite(voxel[2]) && voxel[2] > 0.0;
    if (planar) {
        calibration.setVoxelWidth(static_cast<float>(voxel[0] * unit.factor));
        calibration.setVoxelHeight(static_cast<float>(voxel[1] * unit.factor));
        calibration.setVoxelDepth(static_cast<float>((result.hasVoxelSize ? voxel[2] : voxel[0]) * unit.factor));
        if (!result.hasVoxelSize && map.planes > 1)
            result.notes.push_back("the file gives no spacing between planes: the pixel width taken");
    } else {
        result.notes.push_back("the file gives no pixel size: voxels of 1 x 1 x 1 taken");
    }
    result.volume.setVoxelCalibration(calibration);
    return result;
}
