#include "image/mrcfile.h"

#include "image/rawvoxels.h"
#include "numerics/exception.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <fstream>

namespace {

const char* const where = "ImportedVolume MrcFile::read(const string&, ...)";

constexpr std::size_t headerBytes = 1024;

std::int32_t int32At(const unsigned char* h, std::size_t offset, bool swap)
{
    unsigned char b[4];
    std::memcpy(b, h + offset, 4);
    if (swap) {
        std::swap(b[0], b[3]);
        std::swap(b[1], b[2]);
    }
    std::int32_t v;
    std::memcpy(&v, b, 4);
    return v;
}

float floatAt(const unsigned char* h, std::size_t offset, bool swap)
{
    const std::int32_t bits = int32At(h, offset, swap);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

bool knownMode(std::int32_t mode)
{
    return mode == 0 || mode == 1 || mode == 2 || mode == 3 || mode == 4 || mode == 6 || mode == 12 ||
           mode == 16 || mode == 101;
}

bool plausible(const unsigned char* h, bool swap)
{
    return int32At(h, 0, swap) > 0 && int32At(h, 4, swap) > 0 && int32At(h, 8, swap) > 0 &&
           knownMode(int32At(h, 12, swap));
}

// Whether the file's multi-byte fields are in the other byte order than the
// machine's.
bool swapped(const unsigned char* h)
{
    const bool bigMachine = std::endian::native == std::endian::big;
    const bool stamped = std::memcmp(h + 208, "MAP ", 4) == 0;
    if (stamped && (h[212] == 0x44 || h[212] == 0x11)) {
        const bool bigFile = h[212] == 0x11;
        return bigFile != bigMachine;
    }
    return !plausible(h, false) && plausible(h, true);
}

} // namespace

bool MrcFile::looksLikeHeader(const unsigned char* header, std::size_t bytes)
{
    if (bytes < headerBytes)
        return false;
    if (std::memcmp(header + 208, "MAP ", 4) == 0)
        return true;
    return plausible(header, false) || plausible(header, true);
}

ImportedVolume MrcFile::read(const std::string& file, const VolumeSelection& selection, ProgressSubject* progress)
{
    std::ifstream in(file, std::ios::binary);
    struct stat status {};
    if (!in || ::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        throw FileReadError(where, "Cannot open file for reading", file);
    const auto length = static_cast<std::uint64_t>(status.st_size);
    unsigned char h[headerBytes];
    in.read(reinterpret_cast<char*>(h), headerBytes);
    if (static_cast<std::size_t>(in.gcount()) != headerBytes)
        throw FileFormatError(where, "MRC header is incomplete (1024 bytes expected)", file);
    if (!looksLikeHeader(h, headerBytes))
        throw FileFormatError(where, "Not an MRC or CCP4 map (no \"MAP \" stamp, sizes or mode)", file);
    const bool swap = swapped(h);

    const std::int32_t n[3] = {int32At(h, 0, swap), int32At(h, 4, swap), int32At(h, 8, swap)};
    const std::int32_t mode = int32At(h, 12, swap);
    const std::int32_t m[3] = {int32At(h, 28, swap), int32At(h, 32, swap), int32At(h, 36, swap)};
    const float cell[3] = {floatAt(h, 40, swap), floatAt(h, 44, swap), floatAt(h, 48, swap)};
    std::int32_t map[3] = {int32At(h, 64, swap), int32At(h, 68, swap), int32At(h, 72, swap)};
    const std::int32_t spaceGroup = int32At(h, 88, swap);
    const std::int32_t extended = int32At(h, 92, swap);
    for (int a = 0; a < 3; ++a)
        if (n[a] < 1)
            throw FileFormatError(where, "MRC sizes " + std::to_string(n[0]) + " x " + std::to_string(n[1]) + " x " +
                                             std::to_string(n[2]) + " are not positive",
                                  file);
    if (extended < 0)
        throw FileFormatError(where, "MRC extended header length is negative", file);

    RawVoxels raw;
    raw.bigEndian = swap != (std::endian::native == std::endian::big);
    using E = RawVoxels::Element;
    switch (mode) {
    case 0: {
        // Older files stored unsigned bytes and marked signed ones with bit 0
        // of their flags behind the "IMOD" stamp.
        const bool imod = int32At(h, 152, swap) == 1146047817;
        const bool signedBytes = !imod || (int32At(h, 156, swap) & 1) != 0;
        raw.element = signedBytes ? E::Int8 : E::UInt8;
        break;
    }
    case 1:
        raw.element = E::Int16;
        break;
    case 2:
        raw.element = E::Float32;
        break;
    case 6:
        raw.element = E::UInt16;
        break;
    case 12:
        raw.element = E::Float16;
        break;
    default:
        throw FileFormatError(where,
                              "MRC mode " + std::to_string(mode) +
                                  " is not read (grey values of modes 0, 1, 2, 6 and 12 only)",
                              file);
    }

    // A stack of volumes: sections come in volumes of mz.
    std::int32_t planes = n[2];
    std::int32_t frames = 1;
    if (spaceGroup >= 401 && spaceGroup <= 630 && m[2] > 0 && n[2] % m[2] == 0 && n[2] / m[2] > 1) {
        planes = m[2];
        frames = n[2] / m[2];
    }
    if (selection.frame < 0 || selection.frame >= frames)
        throw FileFormatError(where,
                              "Frame " + std::to_string(selection.frame) + " asked for, the file holds " +
                                  std::to_string(frames),
                              file);
    if (selection.channel != 0)
        throw FileFormatError(where, "MRC files hold one channel (channel 0)", file);
    raw.size[0] = n[0];
    raw.size[1] = n[1];
    raw.size[2] = planes;
    std::uint64_t volumeBytes = 0, planeBytes = 0;
    if (!raw.totalBytes(volumeBytes) || !raw.planeBytes(planeBytes))
        throw FileFormatError(where, "MRC volume is beyond what can be held", file);
    const std::uint64_t offset = headerBytes + static_cast<std::uint64_t>(extended);
    const std::uint64_t start = offset + volumeBytes * static_cast<std::uint64_t>(selection.frame);
    // The whole data (every frame) must be there.
    if (offset > length || (length - offset) / static_cast<std::uint64_t>(frames) < volumeBytes)
        throw FileFormatError(where,
                              "MRC data end early: " + std::to_string(n[0]) + " x " + std::to_string(n[1]) + " x " +
                                  std::to_string(n[2]) + " voxels of " +
                                  std::to_string(RawVoxels::elementSize(raw.element)) + " bytes announced, " +
                                  std::to_string(length > offset ? length - offset : 0) + " bytes there",
                              file);
    in.seekg(static_cast<std::streamoff>(start));
    raw.flipRows = true;

    ImportedVolume result;
    result.format = std::memcmp(h + 208, "MAP ", 4) == 0 ? "MRC" : "MRC (old style)";
    if (frames > 1)
        result.notes.push_back("volume " + std::to_string(selection.frame) + " of " + std::to_string(frames) +
                               " read (--frame chooses another)");
    result.volume = raw.read(
        [&](void* buffer, std::size_t bytes) {
            in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(bytes));
            return static_cast<std::size_t>(in.gcount()) == bytes;
        },
        where, progress);

    // mapc, mapr, maps: which of X, Y, Z the columns, rows and sections are.
    const bool permutation = map[0] >= 1 && map[0] <= 3 && map[1] >= 1 && map[1] <= 3 && map[2] >= 1 &&
                             map[2] <= 3 && map[0] != map[1] && map[1] != map[2] && map[0] != map[2];
    if (!permutation) {
        map[0] = 1;
        map[1] = 2;
        map[2] = 3;
    }
    double size[3];
    result.hasVoxelSize = true;
    for (int a = 0; a < 3; ++a) {
        const int axis = map[a] - 1;
        size[a] = m[axis] > 0 ? static_cast<double>(cell[axis]) / m[axis] : 0.0;
        if (!(std::isfinite(size[a]) && size[a] > 0.0))
            result.hasVoxelSize = false;
    }
    VoxelCalibration calibration;
    calibration.setLengthUnit(LengthUnit(-9));
    result.hasLengthUnit = true;
    if (result.hasVoxelSize) {
        // Ångströms to nanometres.
        calibration.setVoxelWidth(static_cast<float>(size[0] / 10.0));
        calibration.setVoxelHeight(static_cast<float>(size[1] / 10.0));
        calibration.setVoxelDepth(static_cast<float>(size[2] / 10.0));
    } else {
        result.notes.push_back("the file gives no cell size: voxels of 1 x 1 x 1 nm taken");
    }
    result.volume.setVoxelCalibration(calibration);
    return result;
}
