#include "numerics/progresschain.h"
#include "numerics/progressproxy.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Records every notification as a line of text.
class Recorder : public ProgressMonitor {
public:
    std::vector<std::string> lines;
    bool cancelOnProgress = false;

protected:
    void subjectStarted(const std::string& t) override { lines.push_back("started " + t); }
    void subjectFinished(const std::string& t) override { lines.push_back("finished " + t); }
    void subjectCanceled(const std::string& t) override { lines.push_back("canceled " + t); }
    void subjectProgressed(const std::string& t) override { lines.push_back("text " + t); }
    void subjectProgressed(unsigned i, unsigned n) override
    {
        lines.push_back(std::to_string(i) + "/" + std::to_string(n));
        EXPECT_TRUE(hasSubject());
        if (cancelOnProgress)
            currentSubject()->cancel();
    }
};

TEST(ProgressSubject, MonitorsAreKeptOnceAndInOrder)
{
    ProgressSubject s;
    Recorder a, b;
    s.addMonitor(a);
    s.addMonitor(b);
    s.addMonitor(a);
    EXPECT_EQ(s.getMonitorCount(), 2);
    s.notifyStarted("go");
    s.notifyProgressed(1, 4);
    s.notifyProgressed("half");
    s.notifyFinished("done");
    EXPECT_EQ(a.lines, (std::vector<std::string>{"started go", "1/4", "text half", "finished done"}));
    EXPECT_EQ(b.lines, a.lines);
    EXPECT_FALSE(a.hasSubject());
    s.removeMonitor(a);
    s.notifyCanceled("stop");
    EXPECT_EQ(a.lines.size(), 4u);
    EXPECT_EQ(b.lines.back(), "canceled stop");
    // A monitor cancels the subject that reports to it.
    b.cancelOnProgress = true;
    EXPECT_FALSE(s.isCanceled());
    s.notifyProgressed(0, 10);
    EXPECT_TRUE(s.isCanceled());
    s.reset();
    EXPECT_FALSE(s.isCanceled());
}

TEST(ProgressSubject, CopiesStartWithoutMonitorsOrCancellation)
{
    ProgressSubject s, target;
    Recorder r;
    s.addMonitor(r);
    target.addMonitor(r);
    s.cancel();
    target.cancel();
    target = s;
    const ProgressSubject copy(s);
    for (const ProgressSubject* c : std::initializer_list<const ProgressSubject*>{&copy, &target}) {
        EXPECT_EQ(c->getMonitorCount(), 0);
        EXPECT_FALSE(c->isCanceled());
    }
}

TEST(ProgressChain, RunsFromZeroToAHundredAcrossItsSubjects)
{
    ProgressSubject first, second;
    ProgressChain chain;
    chain.addSubject(first);
    chain.addSubject(second);
    Recorder r;
    chain.addMonitor(r);

    first.notifyStarted("one");
    first.notifyProgressed(0, 10);
    first.notifyFinished("one");
    second.notifyStarted("two");
    second.notifyProgressed(5, 10);
    second.notifyProgressed("status");
    second.notifyFinished("two");
    EXPECT_EQ(r.lines, (std::vector<std::string>{"started one", "0/100", "75/100", "text status", "finished two"}));

    // Cancelling the chain cancels the subject that is reporting.
    r.cancelOnProgress = true;
    second.notifyProgressed(6, 10);
    EXPECT_TRUE(second.isCanceled());
    EXPECT_FALSE(first.isCanceled());

    chain.removeSubject(first);
    EXPECT_EQ(chain.getSubjectCount(), 1);
    EXPECT_EQ(first.getMonitorCount(), 0);
}

TEST(ProgressProxy, RelaysAndCancelsUpstream)
{
    ProgressSubject source;
    ProgressProxy proxy;
    source.addMonitor(proxy);
    Recorder r;
    proxy.addMonitor(r);
    source.notifyStarted("a");
    source.notifyProgressed(2, 3);
    source.notifyCanceled("c");
    EXPECT_EQ(r.lines, (std::vector<std::string>{"started a", "2/3", "canceled c"}));
    r.cancelOnProgress = true;
    source.notifyProgressed(3, 3);
    EXPECT_TRUE(source.isCanceled());
    EXPECT_TRUE(proxy.isCanceled());
}

} // namespace
