#include "fuzz/scratchdirectory.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

ScratchDirectory& ScratchDirectory::instance()
{
    static ScratchDirectory directory;
    return directory;
}

ScratchDirectory::ScratchDirectory()
{
    // PLEXAN_FUZZ_SCRATCH names a directory to work in (run.sh gives one it
    // removes afterwards, also after a crash); else memory, else /tmp.
    std::error_code error;
    std::filesystem::path base = "/dev/shm";
    if (const char* given = std::getenv("PLEXAN_FUZZ_SCRATCH"); given && *given)
        base = given;
    else if (!std::filesystem::is_directory(base, error) || access(base.c_str(), W_OK) != 0)
        base = std::filesystem::temp_directory_path();
    std::string pattern = (base / "plexan-fuzz-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data()))
        throw std::runtime_error("cannot create a scratch directory in " + base.string());
    m_path = name.data();
}

ScratchDirectory::~ScratchDirectory()
{
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::string ScratchDirectory::file(const std::string& name) const
{
    return m_path + "/" + name;
}

std::string ScratchDirectory::write(const std::string& name, const std::uint8_t* data, std::size_t size) const
{
    const std::string path = file(name);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        throw std::runtime_error("cannot write " + path);
    const bool written = size == 0 || std::fwrite(data, 1, size, out) == size;
    if (std::fclose(out) != 0 || !written)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string ScratchDirectory::write(const std::string& name, const std::string& bytes) const
{
    return write(name, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
