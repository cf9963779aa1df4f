#pragma once
// PendingFile: a file written under a temporary name in its target's
// directory and renamed onto the target by commit(), so that nobody ever sees
// the target half-written and a failed save leaves any previous file as it
// was. Until committed, the temporary file is removed when the object goes.
//
// Temporary files and directories (PendingDirectory) are listed while they
// exist, so that an interrupted program removes them: once
// PendingFile::removeOnInterrupt() has been called, SIGINT, SIGTERM and
// SIGHUP remove every pending file and directory, say so on the standard
// error, and end the program as the signal does (a shell sees the exit status
// 128 + the signal's number: 130 for Ctrl-C, 143 for SIGTERM). Creating,
// committing and removing a pending file hold these signals back, so that a
// target is either the old file or the new one and no temporary file escapes
// the list.

#include <csignal>
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

    // Installs the interrupt handlers described above (once per program).
    static void removeOnInterrupt();

    // When the environment variable PLEXAN_CLI_STOP_BEFORE_COMMIT is set, the
    // process stops itself (SIGSTOP) before its first commit, its outputs
    // written aside: the tests interrupt it there, at a known point.
    static void stopBeforeCommitForTests();

private:
    std::string m_target;
    std::string m_path;
    int m_slot = -1;
    bool m_committed = false;
};

// The list of pending paths that an interrupt removes (for PendingFile and
// PendingDirectory).
class PendingPaths {
public:
    // Lists an absolute path; the slot to give back to remove(), -1 when the
    // list is full (the path is then not removed on interrupt).
    static int add(const std::string& path, bool directory);
    static void remove(int slot);
};

// Holds SIGINT, SIGTERM and SIGHUP back while it lives; a signal that came
// meanwhile is delivered when the outermost one goes.
class HeldInterrupts {
public:
    HeldInterrupts();
    HeldInterrupts(const HeldInterrupts&) = delete;
    HeldInterrupts& operator=(const HeldInterrupts&) = delete;
    ~HeldInterrupts();

private:
    sigset_t m_previous;
};
