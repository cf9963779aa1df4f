#include "stack/stackbackups.h"

#include "numerics/exception.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

const char* const makeWhere = "void StackBackups::make(const string&) const";

} // namespace

void StackBackups::setMaxBackups(int n)
{
    m_maxBackups = std::clamp(n, 0, largestMaxBackups);
}

std::string StackBackups::backupName(const std::string& path, int i)
{
    return path + "~" + std::to_string(i);
}

void StackBackups::make(const std::string& path) const
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (m_maxBackups < 1)
        return;
    // Oldest first, so that no backup is moved onto one still to be moved.
    for (int i = m_maxBackups; i >= 1; --i) {
        const std::string backup = backupName(path, i);
        if (!fs::exists(backup, error))
            continue;
        if (i < m_maxBackups)
            fs::rename(backup, backupName(path, i + 1), error);
        else
            fs::remove(backup, error);
        if (error)
            throw FileWriteError(makeWhere, "Cannot move backup: " + error.message(), backup);
    }
    if (!fs::is_regular_file(path, error))
        return;
    const std::string first = backupName(path, 1);
    fs::copy_file(path, first, fs::copy_options::overwrite_existing, error);
    if (error)
        throw FileWriteError(makeWhere, "Cannot write backup: " + error.message(), first);
}
