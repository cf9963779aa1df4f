#include "image/niftifile.h"

#include "image/rawvoxels.h"
#include "numerics/exception.h"

#include <nifti2_io.h>
#include <zlib.h>

#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <locale>
#include <mutex>
#include <sstream>

namespace {

const char* const where = "ImportedVolume NiftiFile::read(const string&, ...)";

// Deflate gives at most about 1032 bytes for one.
constexpr std::uint64_t maxInflation = 1100;

struct ImageDeleter {
    void operator()(nifti_image* nim) const { nifti_image_free(nim); }
};

std::string text(double value)
{
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::uint64_t fileLength(const char* file)
{
    struct stat status {};
    if (!file || ::stat(file, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0)
        return 0;
    return static_cast<std::uint64_t>(status.st_size);
}

bool elementOf(int datatype, RawVoxels::Element& element)
{
    using E = RawVoxels::Element;
    switch (datatype) {
    case DT_UINT8:
        element = E::UInt8;
        return true;
    case DT_INT8:
        element = E::Int8;
        return true;
    case DT_UINT16:
        element = E::UInt16;
        return true;
    case DT_INT16:
        element = E::Int16;
        return true;
    case DT_UINT32:
        element = E::UInt32;
        return true;
    case DT_INT32:
        element = E::Int32;
        return true;
    case DT_UINT64:
        element = E::UInt64;
        return true;
    case DT_INT64:
        element = E::Int64;
        return true;
    case DT_FLOAT32:
        element = E::Float32;
        return true;
    case DT_FLOAT64:
        element = E::Float64;
        return true;
    default:
        return false;
    }
}

// The library reports NIfTI-2 files as NIfTI-1 ones: the header's first
// field, its length (540 bytes against 348), tells them apart.
std::string formatName(int type, const std::string& file)
{
    if (type == NIFTI_FTYPE_ANALYZE)
        return "Analyze 7.5";
    std::int32_t length = 0;
    if (gzFile in = gzopen(file.c_str(), "rb")) {
        if (gzread(in, &length, 4) != 4)
            length = 0;
        gzclose(in);
    }
    const bool nifti2 = length == 540 || length == static_cast<std::int32_t>(0x1C020000);
    return nifti2 || type == NIFTI_FTYPE_NIFTI2_1 || type == NIFTI_FTYPE_NIFTI2_2 ? "NIfTI-2" : "NIfTI-1";
}

} // namespace

ImportedVolume NiftiFile::read(const std::string& file, const VolumeSelection& selection, ProgressSubject* progress)
{
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0)
        throw FileReadError(where, "Cannot open file for reading", file);
    const bool named = endsWith(file, ".nii") || endsWith(file, ".nii.gz") || endsWith(file, ".hdr") ||
                       endsWith(file, ".hdr.gz") || endsWith(file, ".img") || endsWith(file, ".img.gz");
    if (!named)
        throw FileFormatError(where, "A NIfTI file's name ends in .nii, .nii.gz or .hdr", file);

    // The library reports its errors on the standard error at level 1.
    static std::once_flag quiet;
    std::call_once(quiet, [] { nifti_set_debug_level(0); });

    const std::unique_ptr<nifti_image, ImageDeleter> nim(nifti_image_read(file.c_str(), 0));
    if (!nim)
        throw FileFormatError(where, "Not a readable NIfTI or Analyze header", file);
    if (nim->nifti_type == NIFTI_FTYPE_ASCII)
        throw FileFormatError(where, "Text NIfTI files are not read", file);

    RawVoxels raw;
    if (!elementOf(nim->datatype, raw.element))
        throw FileFormatError(where,
                              std::string("NIfTI voxels of type ") + nifti_datatype_string(nim->datatype) +
                                  " are not read (grey values of integers or floats only)",
                              file);
    if (nim->nbyper != RawVoxels::elementSize(raw.element))
        throw FileFormatError(where, "NIfTI voxel size does not match its type", file);
    const std::int64_t ndim = nim->dim[0];
    if (ndim < 1 || ndim > 7)
        throw FileFormatError(where, "NIfTI dimension count " + std::to_string(ndim) + " is not 1 to 7", file);
    std::int64_t dims[8] = {ndim, 1, 1, 1, 1, 1, 1, 1};
    for (int a = 1; a <= ndim; ++a) {
        if (nim->dim[a] < 1)
            throw FileFormatError(where, "NIfTI size " + std::to_string(nim->dim[a]) + " along axis " +
                                             std::to_string(a) + " is not positive",
                                  file);
        dims[a] = nim->dim[a];
    }
    raw.size[0] = dims[1];
    raw.size[1] = dims[2];
    raw.size[2] = dims[3];
    std::uint64_t frameBytes = 0;
    if (!raw.totalBytes(frameBytes))
        throw FileFormatError(where, "NIfTI volume of " + std::to_string(dims[1]) + " x " + std::to_string(dims[2]) +
                                         " x " + std::to_string(dims[3]) + " voxels is beyond what can be held",
                              file);
    std::uint64_t frames = 1;
    for (int a = 4; a <= 7; ++a) {
        if (static_cast<std::uint64_t>(dims[a]) > UINT64_MAX / frames)
            throw FileFormatError(where, "NIfTI sizes overflow", file);
        frames *= static_cast<std::uint64_t>(dims[a]);
    }
    if (frameBytes != 0 && frames > UINT64_MAX / frameBytes)
        throw FileFormatError(where, "NIfTI sizes overflow", file);
    const std::uint64_t dataBytes = frameBytes * frames;

    // The data must be in the file before anything is allocated for it.
    const char* dataFile = nim->iname ? nim->iname : file.c_str();
    const std::uint64_t length = fileLength(dataFile);
    const std::int64_t offset = nim->iname_offset;
    if (offset < 0)
        throw FileFormatError(where, "NIfTI data offset is negative", file);
    if (nifti_is_gzfile(dataFile)) {
        if (length == 0 || dataBytes / maxInflation > length)
            throw FileFormatError(where, "NIfTI sizes exceed what the compressed file holds", file);
    } else if (static_cast<std::uint64_t>(offset) > length || dataBytes > length - static_cast<std::uint64_t>(offset)) {
        throw FileFormatError(where,
                              "NIfTI data ends early: the header announces " + std::to_string(dataBytes) +
                                  " bytes of voxels, the file holds " +
                                  std::to_string(length > static_cast<std::uint64_t>(offset) ? length - offset : 0),
                              file);
    }

    if (selection.frame < 0 || static_cast<std::uint64_t>(selection.frame) >= frames)
        throw FileFormatError(where,
                              "Frame " + std::to_string(selection.frame) + " asked for, the file holds " +
                                  std::to_string(frames) + (frames == 1 ? " volume" : " volumes (0 to " +
                                                                              std::to_string(frames - 1) + ")"),
                              file);
    if (selection.channel != 0)
        throw FileFormatError(where, "NIfTI files hold one channel (channel 0)", file);

    ImportedVolume result;
    result.format = formatName(nim->nifti_type, file);
    if (frames > 1)
        result.notes.push_back("volume " + std::to_string(selection.frame) + " of " + std::to_string(frames) +
                               " read (--frame chooses another)");

    // The selected frame, decomposed along axes 4 to 7.
    std::int64_t pick[8] = {0, -1, -1, -1, 0, 0, 0, 0};
    std::uint64_t rest = static_cast<std::uint64_t>(selection.frame);
    for (int a = 4; a <= 7; ++a) {
        pick[a] = static_cast<std::int64_t>(rest % static_cast<std::uint64_t>(dims[a]));
        rest /= static_cast<std::uint64_t>(dims[a]);
    }
    void* data = nullptr;
    const std::int64_t read = nifti_read_collapsed_image(nim.get(), pick, &data);
    const std::unique_ptr<void, decltype(&std::free)> owned(data, &std::free);
    if (read < 0 || !data || static_cast<std::uint64_t>(read) != frameBytes)
        throw FileFormatError(where, "NIfTI voxels could not be read completely", file);

    // The library hands the voxels over in the machine's byte order.
    raw.bigEndian = false;
    if (std::endian::native == std::endian::big)
        raw.bigEndian = true;
    raw.flipRows = true;
    const double slope = nim->scl_slope, intercept = nim->scl_inter;
    if (std::isfinite(slope) && slope != 0.0 && std::isfinite(intercept) && (slope != 1.0 || intercept != 0.0)) {
        raw.scaled = true;
        raw.slope = slope;
        raw.intercept = intercept;
        result.notes.push_back("values scaled by the file's slope " + text(slope) + " and intercept " + text(intercept) + " into floats");
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t position = 0;
    result.volume = raw.read(
        [&](void* out, std::size_t n) {
            if (n > frameBytes - position)
                return false;
            std::memcpy(out, bytes + position, n);
            position += n;
            return true;
        },
        where, progress);

    VoxelCalibration calibration;
    const double size[3] = {std::fabs(nim->dx), std::fabs(nim->dy), std::fabs(nim->dz)};
    result.hasVoxelSize = true;
    for (int a = 0; a < 3; ++a)
        if (!(std::isfinite(size[a]) && size[a] > 0.0 && size[a] < 3.0e38))
            result.hasVoxelSize = false;
    if (result.hasVoxelSize) {
        calibration.setVoxelWidth(static_cast<float>(size[0]));
        calibration.setVoxelHeight(static_cast<float>(size[1]));
        calibration.setVoxelDepth(static_cast<float>(size[2]));
    } else if (dims[3] == 1 && size[0] > 0.0 && size[1] > 0.0 && std::isfinite(size[0]) && std::isfinite(size[1])) {
        // A single slice may leave its thickness out.
        calibration.setVoxelWidth(static_cast<float>(size[0]));
        calibration.setVoxelHeight(static_cast<float>(size[1]));
        calibration.setVoxelDepth(static_cast<float>(size[0]));
        result.hasVoxelSize = true;
    } else {
        result.notes.push_back("the file gives no usable voxel size: 1 x 1 x 1 taken");
    }
    switch (XYZT_TO_SPACE(nim->xyz_units)) {
    case NIFTI_UNITS_METER:
        calibration.setLengthUnit(LengthUnit(0));
        result.hasLengthUnit = true;
        break;
    case NIFTI_UNITS_MM:
        calibration.setLengthUnit(LengthUnit(-3));
        result.hasLengthUnit = true;
        break;
    case NIFTI_UNITS_MICRON:
        calibration.setLengthUnit(LengthUnit(-6));
        result.hasLengthUnit = true;
        break;
    default:
        calibration.setLengthUnit(LengthUnit(-3));
        result.notes.push_back("the file names no length unit: millimetres taken (--unit sets another)");
        break;
    }
    result.volume.setVoxelCalibration(calibration);
    return result;
}
