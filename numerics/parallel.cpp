#include "numerics/parallel.h"

#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>
#include <tbb/task_group.h>
#include <tbb/task_scheduler_observer.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace plexan::parallel {

namespace {

// The setting made by setThreadCount (0: the default).
std::atomic<int> chosenCount{0};

// Holds the stop requests (SIGINT, SIGTERM, SIGHUP) back in the calling
// thread while a loop runs on several threads. Worker threads start inside
// loops and so inherit the mask: they never take these signals, which stay
// with the threads that started the work. A program that holds them back
// around a step of its own (a file renamed into place) then gets them only
// where it expects them; the caller gets one that came during a loop when
// the loop ends.
class StopRequestsHeld {
public:
    StopRequestsHeld()
    {
        sigset_t set;
        sigemptyset(&set);
        for (const int s : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&set, s);
        ::pthread_sigmask(SIG_BLOCK, &set, &m_previous);
    }
    StopRequestsHeld(const StopRequestsHeld&) = delete;
    StopRequestsHeld& operator=(const StopRequestsHeld&) = delete;
    ~StopRequestsHeld() { ::pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }

private:
    sigset_t m_previous;
};

#ifndef PLEXAN_PARALLEL_STD_THREADS
// Workers keep off the processor of the thread that started the latest
// loop, when the process has a processor for every thread of the loop.
// Left to itself, the system often put a woken worker on the processor of
// the thread that woke it, busy with the loop's first chunks: the worker
// then started only once the loop was over. A 0.45 ms loop after 0.3 ms of
// work in the calling thread ran on one processor in up to 59 % of a
// hundred tries, in at most 5 % with the worker kept away.
std::atomic<int> callerProcessor{-1};
// Chunks this thread is running (loops started inside them are not the
// caller's).
thread_local int chunkDepth = 0;

class InChunk {
public:
    InChunk() { ++chunkDepth; }
    InChunk(const InChunk&) = delete;
    InChunk& operator=(const InChunk&) = delete;
    ~InChunk() { --chunkDepth; }
};

// In a thread starting a loop (or the pool), outside any chunk: notes its
// processor for the workers.
void noteCaller()
{
    if (chunkDepth > 0)
        return;
    const int processor = ::sched_getcpu();
    if (processor >= 0 && callerProcessor.load(std::memory_order_relaxed) != processor)
        callerProcessor.store(processor, std::memory_order_relaxed);
}

// In a worker about to take chunks of a loop on `threads` threads:
// the processors it started with, less the caller's when enough remain.
// Changes the thread's affinity only when that set changes.
void keepAwayFromCaller(int threads)
{
    thread_local bool known = false;
    thread_local cpu_set_t own;
    thread_local int avoided = -1;
    if (!known) {
        known = true;
        if (::pthread_getaffinity_np(::pthread_self(), sizeof own, &own) != 0)
            CPU_ZERO(&own);
    }
    const int caller = callerProcessor.load(std::memory_order_relaxed);
    const int avoid =
        caller >= 0 && caller < CPU_SETSIZE && CPU_ISSET(caller, &own) && CPU_COUNT(&own) >= threads ? caller : -1;
    if (avoid == avoided)
        return;
    cpu_set_t set = own;
    if (avoid >= 0)
        CPU_CLR(avoid, &set);
    // A refusal (a container's rules) leaves the thread where it may run.
    ::pthread_setaffinity_np(::pthread_self(), sizeof set, &set);
    avoided = avoid;
}

// More threads than cores (as tests ask for) need the pool allowed to grow.
std::unique_ptr<tbb::global_control> allowance;

// The arena the loops of a thread count run in, with the observer that
// keeps its workers away from the caller's processor as they join it.
class Pool {
public:
    explicit Pool(int threads) : m_arena(threads), m_away(m_arena, threads)
    {
        m_arena.initialize();
        m_away.observe(true);
    }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    tbb::task_arena& arena() { return m_arena; }

private:
    class Away : public tbb::task_scheduler_observer {
    public:
        Away(tbb::task_arena& arena, int threads) : tbb::task_scheduler_observer(arena), m_threads(threads) {}
        Away(const Away&) = delete;
        Away& operator=(const Away&) = delete;
        void on_scheduler_entry(bool worker) override
        {
            if (worker)
                keepAwayFromCaller(m_threads);
        }

    private:
        int m_threads;
    };

    tbb::task_arena m_arena;
    Away m_away;
};

// One pool per thread count asked for, kept for the whole program (a
// program asks for few): a worker holds on to the record of the last
// observer that told it something, which an observer destroyed before the
// workers end would leave behind.
std::mutex poolMutex;
std::map<int, Pool*>* pools = nullptr;

Pool& poolFor(int threads)
{
    std::lock_guard<std::mutex> lock(poolMutex);
    if (threads > tbb::info::default_concurrency() &&
        static_cast<int>(tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism)) < threads) {
        auto larger = std::make_unique<tbb::global_control>(tbb::global_control::max_allowed_parallelism,
                                                            static_cast<std::size_t>(threads));
        allowance = std::move(larger);
    }
    if (!pools)
        pools = new std::map<int, Pool*>;
    Pool*& pool = (*pools)[threads];
    if (!pool)
        pool = new Pool(threads);
    return *pool;
}

// The thread warmUp starts: it makes the arena and hands it a task, which
// loads the pool's libraries and starts a worker for it (the workers start
// one another from there). Joined when the program ends, so that nothing of
// the pool is torn down under it.
class WarmUp {
public:
    WarmUp() = default;
    WarmUp(const WarmUp&) = delete;
    WarmUp& operator=(const WarmUp&) = delete;
    ~WarmUp()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_thread.joinable())
            m_thread.join();
    }

    void start(int threads)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_started)
            return;
        m_started = true;
        m_thread = std::thread([threads] { poolFor(threads).arena().enqueue([] {}); });
    }

private:
    std::mutex m_mutex;
    bool m_started = false;
    std::thread m_thread;
};

WarmUp warmUpThread;
#endif

int environmentCount()
{
    const char* text = std::getenv("PLEXAN_THREADS");
    if (!text || !*text)
        return 0;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > 4096)
        return 0;
    return static_cast<int>(value);
}

} // namespace

int getDefaultThreadCount()
{
    static const int count = [] {
        const int fromEnvironment = environmentCount();
        if (fromEnvironment > 0)
            return fromEnvironment;
        return std::max(1, tbb::info::default_concurrency());
    }();
    return count;
}

int getThreadCount()
{
    const int chosen = chosenCount.load(std::memory_order_relaxed);
    return chosen > 0 ? chosen : getDefaultThreadCount();
}

void setThreadCount(int count)
{
    chosenCount.store(std::max(0, count), std::memory_order_relaxed);
}

ThreadCountScope::ThreadCountScope(int count) : m_previous(chosenCount.load(std::memory_order_relaxed))
{
    setThreadCount(count);
}

ThreadCountScope::~ThreadCountScope()
{
    setThreadCount(m_previous);
}

void warmUp()
{
#ifndef PLEXAN_PARALLEL_STD_THREADS
    const int threads = getThreadCount();
    if (threads == 1)
        return;
    // The thread, and the workers started from it, inherit the mask.
    const StopRequestsHeld held;
    noteCaller();
    warmUpThread.start(threads);
#endif
}

void prefault(void* data, std::size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    // A few pages fault faster than they are asked for.
    if (!data || bytes < (std::size_t(64) << 10))
        return;
    static const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    constexpr std::uintptr_t stretch = std::uintptr_t(2) << 20;
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(data) / page * page;
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes + page - 1) / page * page;
    const std::uintptr_t threads = static_cast<std::uintptr_t>(getThreadCount());
    // Shares below 8 MiB a thread are mapped in one request from the calling
    // thread: handing 4 MiB to two threads took 0.23 ms against 0.14 in one
    // request, and inside a loop already running on every thread, at times
    // ten times as long.
    if (threads < 2 || end - begin < threads * (std::uintptr_t(8) << 20)) {
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
        return;
    }
    // Stretches of 2 MiB starting on huge-page boundaries, so that no huge
    // page is asked for by two threads.
    const std::uintptr_t base = begin / stretch * stretch;
    const auto parts = static_cast<std::ptrdiff_t>((end - base + stretch - 1) / stretch);
    forEachChunk(0, parts, 1, [&](std::ptrdiff_t first, std::ptrdiff_t last) {
        for (std::ptrdiff_t p = first; p < last; ++p) {
            const std::uintptr_t a = std::max(begin, base + static_cast<std::uintptr_t>(p) * stretch);
            const std::uintptr_t b = std::min(end, base + static_cast<std::uintptr_t>(p + 1) * stretch);
            ::madvise(reinterpret_cast<void*>(a), b - a, MADV_POPULATE_WRITE);
        }
    });
#else
    (void)data;
    (void)bytes;
#endif
}

std::ptrdiff_t chunkCount(std::ptrdiff_t first, std::ptrdiff_t last, std::ptrdiff_t grain)
{
    if (last <= first)
        return 0;
    grain = std::max<std::ptrdiff_t>(grain, 1);
    return (last - first + grain - 1) / grain;
}

std::ptrdiff_t grainFor(std::ptrdiff_t count, std::ptrdiff_t chunks, std::ptrdiff_t minimum)
{
    chunks = std::max<std::ptrdiff_t>(chunks, 1);
    const std::ptrdiff_t grain = (std::max<std::ptrdiff_t>(count, 0) + chunks - 1) / chunks;
    return std::max({grain, minimum, std::ptrdiff_t(1)});
}

void forEachChunk(std::ptrdiff_t first, std::ptrdiff_t last, std::ptrdiff_t grain, const ChunkBody& body,
                  const ProgressSubject* subject)
{
    grain = std::max<std::ptrdiff_t>(grain, 1);
    const std::ptrdiff_t chunks = chunkCount(first, last, grain);
    if (chunks == 0)
        return;
    auto run = [&](std::ptrdiff_t c) {
        const std::ptrdiff_t begin = first + c * grain;
        body(begin, std::min(last, begin + grain));
    };
    const int threads = getThreadCount();
    if (threads == 1 || chunks == 1) {
        for (std::ptrdiff_t c = 0; c < chunks; ++c) {
            if (subject && subject->isCanceled())
                return;
            run(c);
        }
        return;
    }
    const StopRequestsHeld held;
#ifdef PLEXAN_PARALLEL_STD_THREADS
    // Plain threads for each loop, which ThreadSanitizer follows (tools/tsan.sh):
    // every thread takes the next chunk until none is left, a failure or a
    // cancellation stops them all.
    std::atomic<std::ptrdiff_t> nextChunk{0};
    std::atomic<bool> stop{false};
    std::mutex errorMutex;
    std::exception_ptr error;
    auto work = [&] {
        for (;;) {
            if (stop.load() || (subject && subject->isCanceled()))
                return;
            const std::ptrdiff_t c = nextChunk.fetch_add(1);
            if (c >= chunks)
                return;
            try {
                run(c);
            } catch (...) {
                std::lock_guard<std::mutex> lock(errorMutex);
                if (!error)
                    error = std::current_exception();
                stop = true;
            }
        }
    };
    std::vector<std::thread> helpers;
    for (std::ptrdiff_t t = 1; t < std::min<std::ptrdiff_t>(threads, chunks); ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    if (error)
        std::rethrow_exception(error);
#else
    // One task per chunk (the simple partitioner with a grain of one chunk
    // never merges them); an exception cancels the context, so the chunks
    // not yet started are dropped, and parallel_for rethrows it here.
    noteCaller();
    poolFor(threads).arena().execute([&] {
        tbb::task_group_context context;
        tbb::parallel_for(
            tbb::blocked_range<std::ptrdiff_t>(0, chunks, 1),
            [&](const tbb::blocked_range<std::ptrdiff_t>& range) {
                for (std::ptrdiff_t c = range.begin(); c != range.end(); ++c) {
                    if (subject && subject->isCanceled()) {
                        context.cancel_group_execution();
                        return;
                    }
                    const InChunk inChunk;
                    run(c);
                }
            },
            tbb::simple_partitioner(), context);
    });
#endif
}

ProgressCounter::ProgressCounter(ProgressSubject& subject, long long total, const std::string& title)
    : m_subject(subject), m_total(total > 0 ? total : 1), m_owner(std::this_thread::get_id())
{
    m_subject.notifyStarted(title);
}

void ProgressCounter::advance(long long units)
{
    m_done.fetch_add(units, std::memory_order_relaxed);
    if (std::this_thread::get_id() == m_owner)
        report();
}

void ProgressCounter::report()
{
    const long long done = m_done.load(std::memory_order_relaxed);
    const long long percent = std::min(100LL, std::max(0LL, done) * 100 / m_total);
    if (percent > m_percent) {
        m_percent = percent;
        m_subject.notifyProgressed(static_cast<unsigned int>(percent), 100u);
    }
}

void ProgressCounter::finish(const std::string& text)
{
    report();
    if (m_percent < 100) {
        m_percent = 100;
        m_subject.notifyProgressed(100u, 100u);
    }
    m_subject.notifyFinished(text);
}

} // namespace plexan::parallel
