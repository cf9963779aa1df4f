#include "image/tifffile.h"

#include <tiffio.h>

#include <fcntl.h>

#include <cstdarg>
#include <cstdio>

namespace {

thread_local std::string firstError;

// Keeps the first error message, reduced to one printable line of bounded length.
int keepError(TIFF*, void*, const char*, const char* format, va_list args)
{
    if (firstError.empty()) {
        char buffer[512];
        std::vsnprintf(buffer, sizeof buffer, format, args);
        std::string text;
        for (const char* c = buffer; *c; ++c)
            text += (static_cast<unsigned char>(*c) < 32 || *c == 127) ? ' ' : *c;
        firstError = text.empty() ? std::string("unknown libtiff error") : text;
    }
    return 1; // handled: libtiff's global handler stays silent
}

int dropWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

} // namespace

TiffFile::TiffFile(const std::string& file, const char* mode) : m_file(file)
{
    clearError();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) {
        firstError = "out of memory";
        return;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepError, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, dropWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, maxLibraryAllocation);
    m_tif = TIFFOpenExt(file.c_str(), mode, options);
    TIFFOpenOptionsFree(options);
}

TiffFile::~TiffFile()
{
    if (m_tif)
        TIFFClose(m_tif);
}

bool TiffFile::close()
{
    if (!m_tif)
        return false;
    bool ok = true;
    if (TIFFGetMode(m_tif) != O_RDONLY)
        ok = TIFFFlush(m_tif) == 1;
    TIFFClose(m_tif);
    m_tif = nullptr;
    return ok && firstError.empty();
}

std::uint64_t TiffFile::maxExpansion(int compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
        return 1;
    case COMPRESSION_PACKBITS:
        return 64; // 2 bytes repeat one byte 128 times
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return 1100; // deflate stays below 1032:1
    case COMPRESSION_LZW:
        return 2800; // a 12-bit code stands for at most ~4k bytes
    default:
        return 65536;
    }
}

std::string TiffFile::getError()
{
    return firstError;
}

void TiffFile::clearError()
{
    firstError.clear();
}

std::string TiffFile::explain(const std::string& prefix)
{
    return firstError.empty() ? prefix : prefix + ": " + firstError;
}
