#include "image/filecontent.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The byte sizes of the voxel types a format 1 header names (0 for an
// identifier no type has).
int elementSizeOf(std::int32_t typeId)
{
    switch (typeId) {
    case 0:
        return 1; // unsigned char or unsigned short (any small type in older files): 1 or 2
    case 1:
        return 1; // char
    case 4:
        return 2; // short
    case 2:
    case 3:
    case 5:
        return 4;
    case 6:
        return 8;
    case 7:
        return 16;
    default:
        return 0;
    }
}

// n1 x n2 x n3 x size, false when it overflows 64 bits.
bool product(std::uint64_t n1, std::uint64_t n2, std::uint64_t n3, std::uint64_t size, std::uint64_t& result)
{
    result = size;
    for (const std::uint64_t n : {n1, n2, n3}) {
        if (n != 0 && result > UINT64_MAX / n)
            return false;
        result *= n;
    }
    return true;
}

std::int32_t int32At(const std::string& block, std::size_t offset)
{
    std::int32_t value = 0;
    std::memcpy(&value, block.data() + offset, sizeof value);
    return value;
}

std::int32_t swapped(std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>((u >> 24) | ((u >> 8) & 0xff00u) | ((u << 8) & 0xff0000u) | (u << 24));
}

} // namespace

FileContent::FileContent(const std::string& file) : m_file(file)
{
    examine();
}

void FileContent::examine()
{
    struct stat status {};
    if (::stat(m_file.c_str(), &status) != 0) {
        // A dangling symbolic link is missing too.
        m_kind = errno == ENOENT || errno == ENOTDIR ? Missing : Unreadable;
        return;
    }
    if (S_ISDIR(status.st_mode)) {
        m_kind = Directory;
        return;
    }
    if (!S_ISREG(status.st_mode)) {
        m_kind = Special;
        return;
    }
    m_length = static_cast<std::uint64_t>(status.st_size);
    const std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(m_file.c_str(), "rb"));
    if (!stream) {
        m_kind = Unreadable;
        return;
    }
    m_block.resize(blockSize);
    m_block.resize(std::fread(m_block.data(), 1, blockSize, stream.get()));
    if (m_block.empty()) {
        m_kind = Empty;
        return;
    }

    const std::string_view b(m_block);
    auto startsWith = [&](std::string_view magic) { return b.substr(0, magic.size()) == magic; };
    using namespace std::string_view_literals;
    if (startsWith("II*\0"sv) || startsWith("MM\0*"sv))
        m_kind = Tiff;
    else if (startsWith("II+\0"sv) || startsWith("MM\0+"sv))
        m_kind = BigTiff;
    else if (startsWith("\x89PNG\r\n\x1a\n"sv))
        m_kind = Png;
    else if (startsWith("\xff\xd8\xff"sv))
        m_kind = Jpeg;
    else if (startsWith("GIF87a"sv) || startsWith("GIF89a"sv))
        m_kind = Gif;
    else if (startsWith("BM"sv) && b.size() >= 6 && static_cast<std::uint32_t>(int32At(m_block, 2)) == m_length)
        m_kind = Bmp;
    else if (startsWith("\x89HDF\r\n\x1a\n"sv))
        m_kind = Hdf5;
    else if (startsWith("NRRD000"sv))
        m_kind = Nrrd;
    else if (b.size() >= 1024 && b.substr(208, 4) == "MAP "sv)
        m_kind = Mrc;
    else if (b.size() >= 132 && b.substr(128, 4) == "DICM"sv)
        m_kind = Dicom;
    else if (startsWith("%PDF-"sv))
        m_kind = Pdf;
    else if (startsWith("\x1f\x8b"sv))
        m_kind = Gzip;
    else if (startsWith("BZh"sv) && b.size() >= 4 && b[3] >= '1' && b[3] <= '9')
        m_kind = Bzip2;
    else if (startsWith("\xfd" "7zXZ\0"sv))
        m_kind = Xz;
    else if (startsWith("\x28\xb5\x2f\xfd"sv))
        m_kind = Zstd;
    else if (startsWith("PK\x03\x04"sv) || startsWith("PK\x05\x06"sv))
        m_kind = Zip;
    else if (b.size() >= 348 && (int32At(m_block, 0) == 348 || swapped(int32At(m_block, 0)) == 348))
        m_kind = Nifti1; // with or without the "n+1" magic (an Analyze header)
    else if (b.size() >= 540 && (int32At(m_block, 0) == 540 || swapped(int32At(m_block, 0)) == 540) &&
             (b.substr(4, 4) == "n+2\0"sv || b.substr(4, 4) == "ni2\0"sv))
        m_kind = Nifti2;
    else if (startsWith("0000"sv) && m_length == 12 + 512 * 512)
        m_kind = Img;
    else if (isVoxelMatrix())
        m_kind = VoxelMatrix;
    else if (m_kind == DamagedVoxelMatrix)
        return;
    else {
        m_kind = Text;
        for (const char c : b) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\v' && u != '\f') {
                m_kind = Binary;
                break;
            }
        }
    }
}

bool FileContent::isVoxelMatrix()
{
    if (m_block.size() < 12)
        return false;
    std::int32_t lead[3];
    std::memcpy(lead, m_block.data(), sizeof lead);
    if (lead[0] == 0 && lead[1] == 0 && lead[2] == 0) {
        if (m_block.size() < 48)
            return false;
        const std::int32_t typeId = int32At(m_block, 16);
        const int size = elementSizeOf(typeId);
        std::int32_t sizes[3] = {int32At(m_block, 20), int32At(m_block, 24), int32At(m_block, 28)};
        if (size == 0 || sizes[0] < 0 || sizes[1] < 0 || sizes[2] < 0)
            return false;
        // A header of its own from here on: a length that does not fit is
        // a damaged voxel matrix.
        m_kind = DamagedVoxelMatrix;
        for (const int candidate : typeId == 0 ? std::array<int, 2>{1, 2} : std::array<int, 2>{size, size}) {
            std::uint64_t bytes = 0;
            if (product(static_cast<std::uint64_t>(sizes[0]), static_cast<std::uint64_t>(sizes[1]),
                        static_cast<std::uint64_t>(sizes[2]), static_cast<std::uint64_t>(candidate), bytes) &&
                bytes <= UINT64_MAX - 48 && 48 + bytes == m_length) {
                m_voxelFormat = 1;
                m_voxelTypeId = typeId;
                m_voxelElementSize = candidate;
                std::memcpy(m_voxelSizes, sizes, sizeof sizes);
                return true;
            }
        }
        return false;
    }
    if (lead[0] <= 0 || lead[1] <= 0 || lead[2] <= 0)
        return false;
    for (const int candidate : {4, 1, 2, 8, 16}) {
        std::uint64_t bytes = 0;
        if (product(static_cast<std::uint64_t>(lead[0]), static_cast<std::uint64_t>(lead[1]),
                    static_cast<std::uint64_t>(lead[2]), static_cast<std::uint64_t>(candidate), bytes) &&
            bytes <= UINT64_MAX - 12 && 12 + bytes == m_length) {
            m_voxelFormat = 0;
            m_voxelTypeId = -1;
            m_voxelElementSize = candidate;
            std::memcpy(m_voxelSizes, lead, sizeof lead);
            return true;
        }
    }
    return false;
}

std::string FileContent::describe(Kind kind)
{
    switch (kind) {
    case Missing:
        return "missing";
    case Unreadable:
        return "a file that cannot be read";
    case Directory:
        return "a directory";
    case Special:
        return "a device, pipe or socket";
    case Empty:
        return "an empty file";
    case VoxelMatrix:
        return "a voxel matrix";
    case DamagedVoxelMatrix:
        return "a damaged voxel matrix (its header does not fit the file's length)";
    case Tiff:
        return "a TIFF image";
    case BigTiff:
        return "a BigTIFF image";
    case Img:
        return "an IMG image";
    case Png:
        return "a PNG image";
    case Jpeg:
        return "a JPEG image";
    case Gif:
        return "a GIF image";
    case Bmp:
        return "a BMP image";
    case Nifti1:
        return "a NIfTI-1 or Analyze image";
    case Nifti2:
        return "a NIfTI-2 image";
    case Hdf5:
        return "an HDF5 file";
    case Nrrd:
        return "an NRRD image";
    case Mrc:
        return "an MRC map";
    case Dicom:
        return "a DICOM file";
    case Pdf:
        return "a PDF document";
    case Gzip:
        return "a gzip-compressed file";
    case Bzip2:
        return "a bzip2-compressed file";
    case Xz:
        return "an xz-compressed file";
    case Zstd:
        return "a zstd-compressed file";
    case Zip:
        return "a zip archive";
    case Text:
        return "a text file";
    case Binary:
        return "a binary file of unknown format";
    }
    return "an unknown file";
}
