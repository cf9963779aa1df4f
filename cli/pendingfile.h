#pragma once
// PendingFile: a file written under a temporary name in its target's
// directory and renamed onto the target by commit(), so that nobody ever sees
// the target half-written and a failed save leaves any previous file as it
// was. Until committed, the temporary file is removed when the object goes.

#include <string>

class PendingFile {
public:
    // Creates the temporary file (empty). FileWriteError naming the target
    // when its directory does not exist or cannot be written.
    explicit PendingFile(const std::string& target);
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    // The name to write to.
    const std::string& getPath() const { return m_path; }
    const std::string& getTarget() const { return m_target; }

    // Renames the temporary file onto the target (replacing it).
    // FileWriteError when that fails.
    void commit();

private:
    std::string m_target;
    std::string m_path;
    bool m_committed = false;
};
