#include "numerics/trace.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace {

TEST(Trace, IndentsNestedScopes)
{
    std::ostringstream os;
    Trace::setStream(os);
    Trace::setEnabled(true);
    {
        TraceScope outer("outer");
        Trace::eval("x", 3);
        try {
            TraceScope inner("inner");
            Trace::print("about to fail");
            throw std::runtime_error("unwind");
        } catch (const std::runtime_error&) {
        }
    }
    Trace::setEnabled(false);
    Trace::print("silent");
    Trace::setStream(std::cout);
    EXPECT_EQ(os.str(), "ENTER> outer\n"
                        "  EVAL> x = 3\n"
                        "  ENTER> inner\n"
                        "    PRINT> about to fail\n"
                        "  LEAVE> inner\n"
                        "LEAVE> outer\n");
    EXPECT_EQ(Trace::getLevel(), 0);
}

} // namespace
