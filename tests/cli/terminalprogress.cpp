#include "cli/terminalprogress.h"

#include "numerics/progresssubject.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(TerminalProgress, DrawsInPlaceAndErasesItself)
{
    std::ostringstream stream;
    {
        TerminalProgress bar(stream, true);
        ProgressSubject subject;
        subject.addMonitor(bar);
        subject.notifyStarted("Working");
        for (unsigned int i = 0; i <= 200; ++i)
            subject.notifyProgressed(i, 200);
        const std::string drawn = stream.str();
        // One redraw per percentage, each from the start of the line.
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), '\r'), 101);
        EXPECT_NE(drawn.find("Working [" + std::string(30, '#') + "] 100%"), std::string::npos);
        EXPECT_EQ(drawn.find('\n'), std::string::npos);
        subject.notifyFinished("");
        const std::string erased = stream.str().substr(drawn.size());
        EXPECT_TRUE(erased.front() == '\r' && erased.back() == '\r') << erased;
        EXPECT_EQ(erased.find_first_not_of(" \r"), std::string::npos);
        subject.removeMonitor(bar);
    }

    // Off a terminal nothing is written.
    std::ostringstream silent;
    TerminalProgress off(silent, false);
    ProgressSubject subject;
    subject.addMonitor(off);
    subject.notifyStarted("Working");
    subject.notifyProgressed(5, 10);
    subject.notifyFinished("");
    EXPECT_TRUE(silent.str().empty());
}
