#pragma once
// ScratchDirectory: a private directory of the running process, in memory
// where the system offers it (/dev/shm), into which a fuzz target writes the
// bytes it is given so that the readers meet them as a file, the way users'
// files reach them. Removed with everything in it when the process ends
// normally.

#include <cstddef>
#include <cstdint>
#include <string>

class ScratchDirectory {
public:
    // The directory of this process, created on first use.
    static ScratchDirectory& instance();

    const std::string& getPath() const { return m_path; }
    // The path of `name` inside the directory.
    std::string file(const std::string& name) const;
    // Writes (replaces) the file `name` with the given bytes; returns its path.
    std::string write(const std::string& name, const std::uint8_t* data, std::size_t size) const;
    std::string write(const std::string& name, const std::string& bytes) const;

    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

private:
    ScratchDirectory();
    ~ScratchDirectory();

    std::string m_path;
};
