#include "numerics/exception.h"
#include "numerics/parallel.h"
#include "numerics/progressmonitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <set>
#include <thread>
#include <utility>
#include <vector>

using namespace plexan::parallel;

namespace {

const int threadCounts[] = {1, 2, 4};

// Every chunk a loop ran, as (begin, end), in the order of their begins.
std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> chunksOf(std::ptrdiff_t first, std::ptrdiff_t last,
                                                                 std::ptrdiff_t grain)
{
    std::mutex mutex;
    std::set<std::pair<std::ptrdiff_t, std::ptrdiff_t>> seen;
    forEachChunk(first, last, grain, [&](std::ptrdiff_t b, std::ptrdiff_t e) {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_TRUE(seen.emplace(b, e).second) << "chunk " << b << " run twice";
    });
    return {seen.begin(), seen.end()};
}

} // namespace

TEST(Parallel, ChunksCoverTheRangeOnceWhateverTheThreadCount)
{
    // Ranges shorter than the thread count, with a last short chunk, and a
    // negative start: the cut is the same at every thread count.
    const std::ptrdiff_t ranges[][3] = {{0, 1, 1}, {0, 3, 1}, {0, 3, 2}, {-5, 12, 4}, {7, 1000, 33}, {0, 10, 0}};
    for (const auto& r : ranges) {
        std::vector<std::pair<std::ptrdiff_t, std::ptrdiff_t>> expected;
        const std::ptrdiff_t grain = std::max<std::ptrdiff_t>(r[2], 1);
        for (std::ptrdiff_t b = r[0]; b < r[1]; b += grain)
            expected.emplace_back(b, std::min(r[1], b + grain));
        EXPECT_EQ(chunkCount(r[0], r[1], r[2]), static_cast<std::ptrdiff_t>(expected.size()));
        for (int threads : threadCounts) {
            ThreadCountScope scope(threads);
            EXPECT_EQ(getThreadCount(), threads);
            EXPECT_EQ(chunksOf(r[0], r[1], r[2]), expected) << threads << " threads, range " << r[0] << ".." << r[1];
        }
    }
    EXPECT_TRUE(chunksOf(5, 5, 1).empty());
    EXPECT_TRUE(chunksOf(5, 2, 1).empty());
}

TEST(Parallel, ChunkSumsCombinedInOrderGiveTheSameBits)
{
    // Floating-point sums whose value depends on the order of additions:
    // partial sums per chunk added in chunk order agree to the bit.
    std::vector<double> values(10007);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = 1.0 / static_cast<double>(i + 1) * ((i % 3) ? 1e8 : 1e-8);
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(values.size());
    const std::ptrdiff_t grain = 97;
    double reference = 0;
    for (std::ptrdiff_t b = 0; b < n; b += grain) {
        double part = 0;
        for (std::ptrdiff_t i = b; i < std::min(n, b + grain); ++i)
            part += values[static_cast<std::size_t>(i)];
        reference += part;
    }
    for (int threads : threadCounts) {
        ThreadCountScope scope(threads);
        std::vector<double> parts(static_cast<std::size_t>(chunkCount(0, n, grain)));
        forEachChunk(0, n, grain, [&](std::ptrdiff_t b, std::ptrdiff_t e) {
            double part = 0;
            for (std::ptrdiff_t i = b; i < e; ++i)
                part += values[static_cast<std::size_t>(i)];
            parts[static_cast<std::size_t>(b / grain)] = part;
        });
        double total = 0;
        for (double p : parts)
            total += p;
        EXPECT_EQ(total, reference) << threads << " threads";
    }
}

TEST(Parallel, SeveralThreadsWorkAtOnce)
{
    // With two threads, two chunks that wait for each other both finish:
    // the second runs while the first is still waiting.
    ThreadCountScope scope(2);
    std::atomic<int> arrived{0};
    std::set<std::thread::id> ids;
    std::mutex mutex;
    forEachChunk(0, 2, 1, [&](std::ptrdiff_t, std::ptrdiff_t) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            ids.insert(std::this_thread::get_id());
        }
        ++arrived;
        for (int spin = 0; arrived.load() < 2 && spin < 2000; ++spin)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    EXPECT_EQ(arrived.load(), 2);
    EXPECT_EQ(ids.size(), 2u);
}

namespace {

// The affinity of every thread but the caller that ran a chunk of a loop of
// `threads` threads whose two chunks wait for each other (so that a worker
// surely runs one).
std::vector<cpu_set_t> workerAffinities(int threads)
{
    ThreadCountScope scope(threads);
    std::atomic<int> arrived{0};
    std::mutex mutex;
    std::vector<cpu_set_t> sets;
    const std::thread::id caller = std::this_thread::get_id();
    forEachChunk(0, 2, 1, [&](std::ptrdiff_t, std::ptrdiff_t) {
        if (std::this_thread::get_id() != caller) {
            cpu_set_t set;
            CPU_ZERO(&set);
            EXPECT_EQ(::pthread_getaffinity_np(::pthread_self(), sizeof set, &set), 0);
            std::lock_guard<std::mutex> lock(mutex);
            sets.push_back(set);
        }
        ++arrived;
        for (int spin = 0; arrived.load() < 2 && spin < 2000; ++spin)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    return sets;
}

} // namespace

// A woken worker put on the processor of the thread that woke it would wait
// for the end of the loop it was woken for: workers keep off the caller's
// processor while every thread has one, and get all of theirs back when a
// loop has more threads than processors. The caller's affinity is its own.
TEST(Parallel, WorkersKeepOffTheCallersProcessor)
{
    cpu_set_t all;
    CPU_ZERO(&all);
    ASSERT_EQ(::pthread_getaffinity_np(::pthread_self(), sizeof all, &all), 0);
    const int processors = CPU_COUNT(&all);
    if (processors < 2)
        GTEST_SKIP() << "one processor";
    // Workers started now, from an unpinned caller, may run everywhere.
    for (const cpu_set_t& set : workerAffinities(processors + 1))
        EXPECT_TRUE(CPU_EQUAL(&set, &all));

    int pinned = 0;
    while (!CPU_ISSET(pinned, &all))
        ++pinned;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(pinned, &one);
    ASSERT_EQ(::pthread_setaffinity_np(::pthread_self(), sizeof one, &one), 0);
    // A worker takes the new set as it joins the loop's arena: those still
    // in an arena from the loops before leave it first.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::vector<cpu_set_t> away = workerAffinities(2);
    cpu_set_t callerAfter;
    ::pthread_getaffinity_np(::pthread_self(), sizeof callerAfter, &callerAfter);
    ::pthread_setaffinity_np(::pthread_self(), sizeof all, &all);
    EXPECT_TRUE(CPU_EQUAL(&callerAfter, &one));
    ASSERT_FALSE(away.empty());
    for (const cpu_set_t& set : away) {
        cpu_set_t expected = all;
        CPU_CLR(pinned, &expected);
        EXPECT_TRUE(CPU_EQUAL(&set, &expected));
    }

    for (const cpu_set_t& set : workerAffinities(processors + 1))
        EXPECT_TRUE(CPU_EQUAL(&set, &all));
}

// A program holding SIGINT back around a step of its own (a file renamed
// into place) must not have it handled on a worker in the middle of that
// step: workers keep the stop requests blocked, the caller's mask is its own.
TEST(Parallel, WorkersLeaveStopRequestsToTheCaller)
{
    auto blocked = [](int signal) {
        sigset_t set;
        ::pthread_sigmask(SIG_BLOCK, nullptr, &set);
        return sigismember(&set, signal) == 1;
    };
    ASSERT_FALSE(blocked(SIGINT));
    const std::thread::id caller = std::this_thread::get_id();
    for (int threads : {2, 4}) {
        ThreadCountScope scope(threads);
        std::atomic<int> arrived{0};
        std::atomic<int> workerChunks{0};
        std::atomic<int> failures{0};
        forEachChunk(0, 2, 1, [&](std::ptrdiff_t, std::ptrdiff_t) {
            const bool onCaller = std::this_thread::get_id() == caller;
            if (!onCaller) {
                ++workerChunks;
                for (int signal : {SIGINT, SIGTERM, SIGHUP})
                    failures += blocked(signal) ? 0 : 1;
            }
            ++arrived;
            for (int spin = 0; arrived.load() < 2 && spin < 2000; ++spin)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        EXPECT_GE(workerChunks.load(), 1) << threads << " threads";
        EXPECT_EQ(failures.load(), 0) << threads << " threads";
        EXPECT_FALSE(blocked(SIGINT)) << "the caller's mask changed";
    }
}

namespace {

// The stop requests (SIGINT, SIGTERM, SIGHUP) each thread of this process
// other than the calling one holds back, read from the kernel's view of the
// threads: true for a thread that blocks all three.
std::vector<bool> otherThreadsBlockingStopRequests()
{
    std::vector<bool> blocking;
    const std::string self = std::to_string(::gettid());
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks)
        return blocking;
    while (const dirent* entry = ::readdir(tasks)) {
        const std::string id = entry->d_name;
        if (id == "." || id == ".." || id == self)
            continue;
        std::ifstream status("/proc/self/task/" + id + "/status");
        std::string line;
        unsigned long long mask = 0;
        bool found = false;
        while (std::getline(status, line))
            if (line.rfind("SigBlk:", 0) == 0) {
                mask = std::strtoull(line.c_str() + 7, nullptr, 16);
                found = true;
            }
        if (!found)
            continue; // the thread ended meanwhile
        bool all = true;
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            all = all && (mask >> (signal - 1) & 1u);
        blocking.push_back(all);
    }
    ::closedir(tasks);
    return blocking;
}

bool callerBlocks(int signal)
{
    sigset_t set;
    ::pthread_sigmask(SIG_BLOCK, nullptr, &set);
    return sigismember(&set, signal) == 1;
}

} // namespace

// warmUp runs in a process of its own (the test binary started again), where
// no worker exists yet: it starts workers without a loop, every one of them
// holding the stop requests back, leaves the caller's mask and the thread
// count as they were, and the process still ends normally.
TEST(ParallelDeathTest, WarmUpStartsWorkersThatLeaveStopRequestsToTheCaller)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto check = [] {
        setThreadCount(2);
        if (!otherThreadsBlockingStopRequests().empty())
            std::exit(10); // not a fresh process: nothing to learn here
        warmUp();
        warmUp();
        if (callerBlocks(SIGINT) || callerBlocks(SIGTERM) || callerBlocks(SIGHUP))
            std::exit(11);
        if (getThreadCount() != 2)
            std::exit(12);
        std::vector<bool> others;
        for (int wait = 0; wait < 2000 && others.empty(); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            others = otherThreadsBlockingStopRequests();
        }
        if (others.empty())
            std::exit(13); // no worker started
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (bool blocking : otherThreadsBlockingStopRequests())
            if (!blocking)
                std::exit(14);
        // The first loop runs on both threads and gets the sum in chunk order.
        std::atomic<int> arrived{0};
        std::vector<long long> parts(4);
        forEachChunk(0, 4000, 1000, [&](std::ptrdiff_t b, std::ptrdiff_t e) {
            ++arrived;
            for (int spin = 0; arrived.load() < 2 && spin < 2000; ++spin)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            for (std::ptrdiff_t i = b; i < e; ++i)
                parts[static_cast<std::size_t>(b / 1000)] += i * i;
        });
        long long total = 0;
        for (long long p : parts)
            total += p;
        const long long n = 4000;
        if (total != (n - 1) * n * (2 * n - 1) / 6)
            std::exit(15);
        std::exit(0);
    };
    EXPECT_EXIT(check(), ::testing::ExitedWithCode(0), "");

    // With one thread there is no worker to start: warmUp starts no thread.
    auto single = [] {
        setThreadCount(1);
        warmUp();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::exit(otherThreadsBlockingStopRequests().empty() ? 0 : 20);
    };
    EXPECT_EXIT(single(), ::testing::ExitedWithCode(0), "");
}

// prefault maps every page of the range, whatever its alignment and the
// thread count, in one request or shared among the threads (the 40 MiB
// buffer is 8 MiB and more a thread up to four threads), according to
// mincore, the system's own view; what the buffer holds stays as it was.
TEST(Parallel, PrefaultMapsEveryPageAndKeepsTheContents)
{
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    for (std::size_t pages : {std::size_t(40), (std::size_t(40) << 20) / page}) {
        for (int threads : threadCounts) {
            ThreadCountScope scope(threads);
            void* mapped = ::mmap(nullptr, pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            ASSERT_NE(mapped, MAP_FAILED);
            auto* bytes = static_cast<unsigned char*>(mapped);
            // Pages 3 and 4 hold data already; the range asked for runs from
            // inside page 2 to inside the third page from the end.
            for (std::size_t i = 3 * page; i < 5 * page; ++i)
                bytes[i] = static_cast<unsigned char>(i * 7 + 1);
            prefault(bytes + 2 * page + 100, (pages - 5) * page - 200);
            std::vector<unsigned char> resident(pages);
            ASSERT_EQ(::mincore(mapped, pages * page, resident.data()), 0);
            std::size_t wrong = 0;
            for (std::size_t p = 0; p < pages; ++p)
                wrong += (resident[p] & 1) != ((p >= 2 && p <= pages - 4) ? 1 : 0);
            EXPECT_EQ(wrong, 0u) << pages << " pages, " << threads << " threads";
            for (std::size_t i = 3 * page; i < 5 * page; ++i)
                ASSERT_EQ(bytes[i], static_cast<unsigned char>(i * 7 + 1)) << "byte " << i;
            for (std::size_t i = 2 * page; i < 3 * page; ++i)
                ASSERT_EQ(bytes[i], 0) << "byte " << i;
            ::munmap(mapped, pages * page);
        }
    }
    prefault(nullptr, 100); // nothing to do
}

TEST(Parallel, AnExceptionFromAWorkerTravelsOutOnceAndStopsTheRest)
{
    for (int threads : threadCounts) {
        ThreadCountScope scope(threads);
        std::atomic<int> ran{0};
        int caught = 0;
        try {
            forEachChunk(0, 400, 1, [&](std::ptrdiff_t b, std::ptrdiff_t) {
                ++ran;
                if (b == 3)
                    throw ValueError("chunk", "Bad chunk");
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            });
        } catch (const ValueError& e) {
            ++caught;
            EXPECT_EQ(e.getWhat(), "Bad chunk");
        }
        EXPECT_EQ(caught, 1) << threads << " threads";
        EXPECT_LT(ran.load(), 400) << threads << " threads: the chunks after the failure were not dropped";
    }
}

namespace {

// Cancels its subject at the first progress notification of at least
// `percent`, and checks that every notification comes from one thread.
class CancellingMonitor : public ProgressMonitor {
public:
    explicit CancellingMonitor(unsigned int percent) : m_percent(percent) {}
    std::set<std::thread::id> threads;
    unsigned int last = 0;
    int notifications = 0;

protected:
    void subjectProgressed(unsigned int i, unsigned int n) override
    {
        threads.insert(std::this_thread::get_id());
        EXPECT_EQ(n, 100u);
        EXPECT_GT(i, last);
        last = i;
        ++notifications;
        if (i >= m_percent)
            currentSubject()->cancel();
    }

private:
    unsigned int m_percent;
};

} // namespace

TEST(Parallel, ProgressComesFromOneThreadAndCancellingStopsEveryChunk)
{
    for (int threads : threadCounts) {
        ThreadCountScope scope(threads);
        ProgressSubject subject;
        CancellingMonitor monitor(30);
        subject.addMonitor(monitor);
        std::atomic<int> ran{0};
        {
            ProgressCounter progress(subject, 1000, "work");
            forEachChunk(
                0, 1000, 1,
                [&](std::ptrdiff_t, std::ptrdiff_t) {
                    ++ran;
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                    progress.advance();
                },
                &subject);
            EXPECT_TRUE(subject.isCanceled());
        }
        EXPECT_EQ(monitor.threads.size(), 1u) << threads << " threads";
        EXPECT_EQ(*monitor.threads.begin(), std::this_thread::get_id());
        EXPECT_GE(monitor.last, 30u);
        // Chunks already running finish; no other chunk starts.
        EXPECT_LT(ran.load(), 1000) << threads << " threads";
        EXPECT_LE(ran.load(), 300 + 300 * (threads - 1)) << threads << " threads";
    }
}

TEST(Parallel, ProgressCountsUnitsFromEveryThread)
{
    for (int threads : threadCounts) {
        ThreadCountScope scope(threads);
        ProgressSubject subject;
        CancellingMonitor monitor(101); // never cancels
        subject.addMonitor(monitor);
        ProgressCounter progress(subject, 500, "");
        forEachChunk(0, 500, 7, [&](std::ptrdiff_t b, std::ptrdiff_t e) { progress.advance(e - b); });
        progress.finish();
        EXPECT_EQ(monitor.last, 100u);
        EXPECT_LE(monitor.notifications, 100);
        EXPECT_EQ(monitor.threads.size(), 1u);
    }
}

TEST(Parallel, NestedLoopsAndLoopsFromSeveralCallerThreads)
{
    // A loop inside a chunk, and loops started at once from two threads of
    // their own (as two workers of the application would), each sum right.
    ThreadCountScope scope(2);
    auto nestedSum = [] {
        std::atomic<long long> total{0};
        forEachChunk(0, 20, 3, [&](std::ptrdiff_t b, std::ptrdiff_t e) {
            for (std::ptrdiff_t i = b; i < e; ++i)
                forEachChunk(0, 50, 4, [&](std::ptrdiff_t b2, std::ptrdiff_t e2) {
                    for (std::ptrdiff_t j = b2; j < e2; ++j)
                        total += i * 100 + j;
                });
        });
        return total.load();
    };
    long long expected = 0;
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 50; ++j)
            expected += i * 100 + j;
    long long a = 0, b = 0;
    std::thread first([&] { a = nestedSum(); });
    std::thread second([&] { b = nestedSum(); });
    first.join();
    second.join();
    EXPECT_EQ(a, expected);
    EXPECT_EQ(b, expected);
}

TEST(Parallel, GrainsAndThreadCountSettings)
{
    EXPECT_EQ(grainFor(100, 8), 13);
    EXPECT_EQ(chunkCount(0, 100, grainFor(100, 8)), 8);
    EXPECT_EQ(grainFor(5, 8), 1);
    EXPECT_EQ(grainFor(100, 8, 40), 40);
    EXPECT_EQ(grainFor(0, 0), 1);
    const int before = getThreadCount();
    {
        ThreadCountScope outer(3);
        {
            ThreadCountScope inner(0); // back to the default
            EXPECT_EQ(getThreadCount(), getDefaultThreadCount());
        }
        EXPECT_EQ(getThreadCount(), 3);
    }
    EXPECT_EQ(getThreadCount(), before);
    EXPECT_GE(getDefaultThreadCount(), 1);
}
