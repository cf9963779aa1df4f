#include "cli/pendingfile.h"

#include "numerics/exception.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// The pending paths, in a fixed table that a signal handler can walk: a slot
// is claimed (Claimed), its path written, then published (File or
// Directory); the handler reads published slots only.
enum SlotState : int { Free = 0, Claimed, File, Directory };

struct Slot {
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};

constexpr int slotCount = 64;
Slot slots[slotCount];

const int interruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

void writeError(const char* text)
{
    const std::size_t length = std::strlen(text);
    std::size_t written = 0;
    while (written < length) {
        const ssize_t n = ::write(STDERR_FILENO, text + written, length - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
}

// Removes a directory and the files in it with system calls alone (no
// allocation, async-signal-safe): pending directories hold plain files.
void removeDirectory(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        struct Entry {
            unsigned long long inode;
            long long offset;
            unsigned short length;
            unsigned char type;
            char name[1];
        };
        alignas(8) char buffer[4096];
        // Entries removed while the directory is being listed may hide
        // others: list it again until a pass removes nothing.
        for (int pass = 0; pass < 8; ++pass) {
            bool removed = false;
            ::lseek(fd, 0, SEEK_SET);
            for (;;) {
                const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                for (long at = 0; at < n;) {
                    const auto* entry = reinterpret_cast<const Entry*>(buffer + at);
                    at += entry->length;
                    const char* name = entry->name;
                    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                        continue;
                    removed = ::unlinkat(fd, name, 0) == 0 || removed;
                }
            }
            if (!removed)
                break;
        }
        ::close(fd);
    }
    ::rmdir(path);
}

extern "C" void onInterrupt(int signal)
{
    for (Slot& slot : slots) {
        const int state = slot.state.load(std::memory_order_acquire);
        if (state == File)
            ::unlink(slot.path);
        else if (state == Directory)
            removeDirectory(slot.path);
    }
    writeError(signal == SIGINT ? "plexan-cli: interrupted; unfinished outputs removed\n"
                                : "plexan-cli: terminated; unfinished outputs removed\n");
    // End as the signal would have ended the program.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

} // namespace

int PendingPaths::add(const std::string& path, bool directory)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < slotCount; ++i) {
        int expected = Free;
        if (slots[i].state.compare_exchange_strong(expected, Claimed, std::memory_order_acq_rel)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            slots[i].state.store(directory ? Directory : File, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void PendingPaths::remove(int slot)
{
    if (slot >= 0 && slot < slotCount)
        slots[slot].state.store(Free, std::memory_order_release);
}

HeldInterrupts::HeldInterrupts()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int s : interruptSignals)
        sigaddset(&set, s);
    ::pthread_sigmask(SIG_BLOCK, &set, &m_previous);
}

HeldInterrupts::~HeldInterrupts()
{
    ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

void PendingFile::removeOnInterrupt()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int s : interruptSignals)
        sigaddset(&action.sa_mask, s);
    for (const int s : interruptSignals) {
        // A signal ignored by whoever started us (nohup) stays ignored.
        struct sigaction previous {};
        if (::sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(s, &action, nullptr);
    }
}

void PendingFile::stopBeforeCommitForTests()
{
    static bool stopped = false;
    if (!stopped && std::getenv("PLEXAN_CLI_STOP_BEFORE_COMMIT")) {
        stopped = true;
        ::raise(SIGSTOP);
    }
}

PendingFile::PendingFile(const std::string& target) : m_target(target)
{
    namespace fs = std::filesystem;
    const fs::path t(target);
    const fs::path directory = t.has_parent_path() ? t.parent_path() : fs::path(".");
    // A hidden name beside the target, unique to this save.
    std::string hidden(1, '.');
    hidden += t.filename().string();
    hidden += ".plexan-XXXXXX";
    std::error_code error;
    fs::path pattern = fs::absolute(directory / hidden, error);
    if (error)
        pattern = directory / hidden;
    const std::string text = pattern.string();
    std::vector<char> name(text.begin(), text.end());
    name.push_back('\0');
    const HeldInterrupts held;
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw FileWriteError("PendingFile::PendingFile(const string&)",
                             std::string("Cannot write in the directory: ") + std::strerror(errno), target);
    m_path = name.data();
    m_slot = PendingPaths::add(m_path, false);
    // mkstemp makes the file private; the saved file gets the permissions
    // any new file of the user gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
}

PendingFile::~PendingFile()
{
    const HeldInterrupts held;
    if (!m_committed)
        std::remove(m_path.c_str());
    PendingPaths::remove(m_slot);
}

void PendingFile::commit()
{
    stopBeforeCommitForTests();
    const HeldInterrupts held;
    std::error_code error;
    std::filesystem::rename(m_path, m_target, error);
    if (error)
        throw FileWriteError("void PendingFile::commit()", "Cannot replace the file: " + error.message(), m_target);
    m_committed = true;
    PendingPaths::remove(m_slot);
    m_slot = -1;
}
