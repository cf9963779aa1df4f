#pragma once
// FileContent: what a file holds, told from its first bytes and its length
// rather than from its name, so that a file given in the wrong place is
// refused for what it is ("a TIFF image", "a gzip-compressed file") before a
// reader misreads it, and so that an output is never written over a file of
// another kind.
//
// Voxel-matrix files are recognised by a header consistent with the file's
// length. Format 1: twelve zero bytes, a known element type identifier,
// sizes that are not negative, and exactly 48 bytes plus the voxels. Format
// 0: three positive sizes and exactly 12 bytes plus the voxels, for one of
// the element sizes 1, 2, 4, 8 or 16 bytes (the file names no type).
//
// The image and container formats a user may hand over by mistake are known
// by their signatures; any other file is text when its first block (4096
// bytes) holds no NUL byte and no control character other than blanks and
// line breaks, binary otherwise. The first block is kept for callers that
// look further into text (stack files, mesh files).

#include <cstdint>
#include <string>

class FileContent {
public:
    enum Kind {
        Missing,     // no such file
        Unreadable,  // exists but cannot be opened for reading
        Directory,
        Special,     // a device, a pipe or a socket
        Empty,       // a regular file of 0 bytes
        VoxelMatrix,
        DamagedVoxelMatrix, // a format 1 header the file's length does not fit
        Tiff,
        BigTiff,
        Img,
        Png,
        Jpeg,
        Gif,
        Bmp,
        Nifti1,
        Nifti2,
        Hdf5,
        Nrrd,
        Mrc,         // an MRC or CCP4 map with its "MAP " stamp
        Dicom,
        Pdf,
        Gzip,
        Bzip2,
        Xz,
        Zstd,
        Zip,
        Text,
        Binary
    };

    // Bytes of the first block kept and examined.
    static constexpr std::size_t blockSize = 4096;

    // Examines the file (following symbolic links).
    explicit FileContent(const std::string& file);

    const std::string& getFile() const { return m_file; }
    Kind getKind() const { return m_kind; }
    bool isKind(Kind kind) const { return m_kind == kind; }
    // The file's length in bytes (0 unless it is a regular file).
    std::uint64_t getLength() const { return m_length; }
    // Up to blockSize bytes from the start of a readable regular file.
    const std::string& getFirstBlock() const { return m_block; }

    // Voxel-matrix files: the format (0 or 1), the element type identifier
    // (format 1; -1 for format 0), the element size in bytes (format 0: the
    // one the length fits; format 1 type 0: 1 or 2, whichever the length
    // fits, 1 for an empty matrix) and the three sizes (rows, columns,
    // planes).
    int getVoxelFormat() const { return m_voxelFormat; }
    int getVoxelTypeId() const { return m_voxelTypeId; }
    int getVoxelElementSize() const { return m_voxelElementSize; }
    const std::int32_t* getVoxelSizes() const { return m_voxelSizes; }

    // What the file is, as an indefinite noun phrase: "a TIFF image", "a
    // gzip-compressed file", "a directory".
    std::string describe() const { return describe(m_kind); }
    static std::string describe(Kind kind);

private:
    void examine();
    bool isVoxelMatrix();

    std::string m_file;
    Kind m_kind = Missing;
    std::uint64_t m_length = 0;
    std::string m_block;
    int m_voxelFormat = -1;
    int m_voxelTypeId = -1;
    int m_voxelElementSize = 0;
    std::int32_t m_voxelSizes[3] = {0, 0, 0};
};
