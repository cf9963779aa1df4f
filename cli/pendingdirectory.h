#pragma once
// PendingDirectory: a temporary directory inside a target directory, where a
// group of files is written before each is moved into the target by a
// rename. The files already in the target stay whole until replaced; the
// temporary directory and whatever is left in it go with the object, or with
// an interrupt of the program (see PendingFile).

#include <string>
#include <vector>

class PendingDirectory {
public:
    // Creates the temporary directory. FileWriteError naming the target
    // when it does not exist or cannot be written.
    explicit PendingDirectory(const std::string& targetDirectory);
    PendingDirectory(const PendingDirectory&) = delete;
    PendingDirectory& operator=(const PendingDirectory&) = delete;
    ~PendingDirectory();

    const std::string& getPath() const { return m_path; }
    const std::string& getTarget() const { return m_target; }
    // The names of the regular files written so far, sorted.
    std::vector<std::string> getFileNames() const;
    // target / name.
    std::string targetName(const std::string& name) const;
    // Moves one file into the target directory and returns its new name.
    // FileWriteError when that fails.
    std::string commit(const std::string& name) const;

private:
    std::string m_target;
    std::string m_path;
    int m_slot = -1;
};
