#include "cli/pendingdirectory.h"

#include "cli/pendingfile.h"
#include "numerics/exception.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

PendingDirectory::PendingDirectory(const std::string& targetDirectory) : m_target(targetDirectory)
{
    namespace fs = std::filesystem;
    const fs::path directory = targetDirectory.empty() ? fs::path(".") : fs::path(targetDirectory);
    std::error_code error;
    fs::path pattern = fs::absolute(directory / ".plexan-XXXXXX", error);
    if (error)
        pattern = directory / ".plexan-XXXXXX";
    const std::string text = pattern.string();
    std::vector<char> name(text.begin(), text.end());
    name.push_back('\0');
    const HeldInterrupts held;
    if (!::mkdtemp(name.data()))
        throw FileWriteError("PendingDirectory::PendingDirectory(const string&)",
                             std::string("Cannot write in the directory: ") + std::strerror(errno),
                             targetDirectory);
    m_path = name.data();
    m_slot = PendingPaths::add(m_path, true);
}

PendingDirectory::~PendingDirectory()
{
    const HeldInterrupts held;
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
    PendingPaths::remove(m_slot);
}

std::vector<std::string> PendingDirectory::getFileNames() const
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_path, error))
        if (entry.is_regular_file(error))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string PendingDirectory::targetName(const std::string& name) const
{
    return (std::filesystem::path(m_target.empty() ? "." : m_target) / name).string();
}

std::string PendingDirectory::commit(const std::string& name) const
{
    PendingFile::stopBeforeCommitForTests();
    const HeldInterrupts held;
    const std::string target = targetName(name);
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(m_path) / name, target, error);
    if (error)
        throw FileWriteError("std::string PendingDirectory::commit(const string&) const",
                             "Cannot move the file into place: " + error.message(), target);
    return target;
}
