#include "cli/pendingfile.h"

#include "numerics/exception.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

PendingFile::PendingFile(const std::string& target) : m_target(target)
{
    namespace fs = std::filesystem;
    const fs::path t(target);
    const fs::path directory = t.has_parent_path() ? t.parent_path() : fs::path(".");
    // A hidden name beside the target, unique to this save.
    std::string hidden(1, '.');
    hidden += t.filename().string();
    hidden += ".plexan-XXXXXX";
    const std::string pattern = (directory / hidden).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw FileWriteError("PendingFile::PendingFile(const string&)",
                             std::string("Cannot write in the directory: ") + std::strerror(errno), target);
    // mkstemp makes the file private; the saved file gets the permissions
    // any new file of the user gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    m_path = name.data();
}

PendingFile::~PendingFile()
{
    if (!m_committed)
        std::remove(m_path.c_str());
}

void PendingFile::commit()
{
    std::error_code error;
    std::filesystem::rename(m_path, m_target, error);
    if (error)
        throw FileWriteError("void PendingFile::commit()", "Cannot replace the file: " + error.message(), m_target);
    m_committed = true;
}
