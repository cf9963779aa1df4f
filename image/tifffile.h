#pragma once
// TiffFile: a libtiff handle owned for the time of one read or write. Errors
// that libtiff raises on the handle are kept (the first one since the last
// clearError(), per thread) instead of being printed, so that the caller can
// turn them into an exception naming the file; warnings are dropped.
//
// Internal to the image readers and writers: nothing outside image/ uses it.

#include <cstdint>
#include <string>

struct tiff;
typedef struct tiff TIFF;

class TiffFile {
public:
    // Opens `file` in libtiff mode `mode` ("r" or "w"); isOpen() tells
    // whether it succeeded and getError() why not.
    TiffFile(const std::string& file, const char* mode);
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;
    ~TiffFile();

    bool isOpen() const { return m_tif != nullptr; }
    TIFF* get() const { return m_tif; }
    const std::string& getFilename() const { return m_file; }

    // Flushes pending data and the directory of a file opened for writing,
    // then closes it; false when something could not be written.
    bool close();

    // The first libtiff error raised in this thread since clearError(), as a
    // single printable line (empty when none).
    static std::string getError();
    static void clearError();
    // "prefix" alone, or "prefix: <libtiff error>" when libtiff said why.
    static std::string explain(const std::string& prefix);

    // The largest ratio between decoded and stored bytes a codec can reach,
    // so that a header declaring more pixels than the file can hold is
    // refused before anything is allocated for them.
    static std::uint64_t maxExpansion(int compression);

    // Largest block libtiff itself may allocate at once for one handle.
    static constexpr std::int64_t maxLibraryAllocation = std::int64_t(1) << 30;

private:
    std::string m_file;
    TIFF* m_tif = nullptr;
};
