#pragma once
// KeptLease<Storage, Kind, KeptBytes>: working storage that the calling
// thread keeps from one call to the next without clearing it, while it holds
// at most KeptBytes: memory the system hands out afresh costs a page fault
// and the clearing of every page on its first touch, which for buffers
// filled in a few milliseconds costs more than the work that fills them.
//
// Storage has a `busy` flag, bytes() and a move assignment. A lease taken
// while the thread's own storage is in use (a filter applied from inside
// another's loop or progress) gets a local one, gone with the lease. Kind
// tells apart storages of one type that one thread holds at once.

#include <cstddef>
#include <optional>

template <typename Storage, int Kind = 0, std::size_t KeptBytes = std::size_t(16) << 20>
class KeptLease {
public:
    KeptLease()
    {
        thread_local Storage kept;
        m_storage = kept.busy ? &m_local.emplace() : &kept;
        m_storage->busy = true;
    }
    ~KeptLease()
    {
        m_storage->busy = false;
        if (m_storage->bytes() > KeptBytes)
            *m_storage = Storage();
    }
    KeptLease(const KeptLease&) = delete;
    KeptLease& operator=(const KeptLease&) = delete;

    Storage& operator*() { return *m_storage; }
    Storage* operator->() { return m_storage; }

private:
    std::optional<Storage> m_local;
    Storage* m_storage = nullptr;
};
