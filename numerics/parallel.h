#pragma once
// Parallel loops over index ranges, run by one pool of worker threads shared
// by the whole program.
//
// forEachChunk(first, last, grain, body) cuts [first, last) into chunks of
// `grain` indices (the last one may be shorter) and calls body(begin, end)
// once for every chunk, on any thread, several chunks at once. The cut
// depends on the range and the grain only, never on the number of threads:
// a computation that keeps one partial result per chunk and combines them in
// chunk order gets the same bits whatever the thread count.
//
// With one thread the chunks run in order in the calling thread. A chunk
// that throws stops the chunks not yet started, and the loop rethrows that
// exception in the calling thread, once, after the chunks already running
// have returned. When the subject given is cancelled (from any thread), the
// chunks not yet started are skipped and the loop returns normally: the
// caller finds out through subject.isCanceled().
//
// The thread count: every core the process may run on, unless the
// environment variable PLEXAN_THREADS holds a positive number, unless
// setThreadCount() was called with a positive number (0 returns to the
// default). Loops started from inside a chunk share the same pool.
//
// When the process may run on as many processors as a loop has threads, the
// pool's workers keep off the processor of the thread that started the
// latest loop (or called warmUp()), so that a woken worker is not put
// behind the very thread that woke it. This changes the workers' affinity
// only, never the caller's, and never a result.
//
// warmUp() starts the pool's worker threads in the background, so that the
// program's first loop finds them running instead of paying for their start
// (a few milliseconds): programs call it first thing, before reading their
// inputs. It returns at once, changes no setting and no result, and does
// nothing with one thread or after its first call. The workers it starts
// hold the stop requests back like those started inside loops.
//
// prefault(data, bytes) has the system map every page of a buffer about to
// be written for the first time: one request instead of a page fault per
// page (each costing as much as writing the page on a virtual machine).
// Buffers of 8 MiB and more a thread are shared among the threads, so that
// several threads clear fresh huge pages at once; smaller ones are mapped by
// the calling thread. The contents stay as they were; buffers below 64 KiB
// are left alone, and so is every buffer where the system cannot do it.
//
// ProgressCounter counts units of work done from any thread and passes them
// on as percentages from the thread that made it only, so that monitors (a
// progress dialog's proxy, say) are always called from one thread.

#include "numerics/progresssubject.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>

namespace plexan::parallel {

// The number of threads loops run on (at least 1).
int getThreadCount();
// Sets the thread count for the whole program; 0 returns to the default.
void setThreadCount(int count);
// The default: PLEXAN_THREADS when it holds a positive number, otherwise
// every core the process may run on.
int getDefaultThreadCount();

// Sets the thread count for as long as it lives, then puts the previous
// setting back.
class ThreadCountScope {
public:
    explicit ThreadCountScope(int count);
    ~ThreadCountScope();
    ThreadCountScope(const ThreadCountScope&) = delete;
    ThreadCountScope& operator=(const ThreadCountScope&) = delete;

private:
    int m_previous;
};

// Starts the worker threads in the background; see above.
void warmUp();

// Maps the pages of [data, data + bytes) ahead of their first writes; see
// above.
void prefault(void* data, std::size_t bytes);

using ChunkBody = std::function<void(std::ptrdiff_t begin, std::ptrdiff_t end)>;

// Runs body over the chunks of [first, last); see above. A grain below 1
// counts as 1; an empty range calls nothing.
void forEachChunk(std::ptrdiff_t first, std::ptrdiff_t last, std::ptrdiff_t grain, const ChunkBody& body,
                  const ProgressSubject* subject = nullptr);

// The number of chunks forEachChunk cuts [first, last) into.
std::ptrdiff_t chunkCount(std::ptrdiff_t first, std::ptrdiff_t last, std::ptrdiff_t grain);

// The grain that cuts `count` indices into about `chunks` chunks, at least
// `minimum` indices each.
std::ptrdiff_t grainFor(std::ptrdiff_t count, std::ptrdiff_t chunks, std::ptrdiff_t minimum = 1);

class ProgressCounter {
public:
    // Announces notifyStarted(title); `total` units make 100 %.
    ProgressCounter(ProgressSubject& subject, long long total, const std::string& title);
    ProgressCounter(const ProgressCounter&) = delete;
    ProgressCounter& operator=(const ProgressCounter&) = delete;

    // Adds units done, from any thread. In the thread that made the counter,
    // notifies (percent, 100) whenever the percentage done went up.
    void advance(long long units = 1);
    // In the thread that made the counter, after the loops: completes the
    // progress to 100 and announces the end.
    void finish(const std::string& text = "");

    bool isCanceled() const { return m_subject.isCanceled(); }
    ProgressSubject& getSubject() const { return m_subject; }

private:
    void report();

    ProgressSubject& m_subject;
    long long m_total;
    std::atomic<long long> m_done{0};
    long long m_percent = 0;
    std::thread::id m_owner;
};

} // namespace plexan::parallel
