#include "numerics/exception.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(Exception, DefaultTextsOfEveryClass)
{
    EXPECT_EQ(Exception().getWhat(), "Undocumented error");
    EXPECT_EQ(ValueError().getWhat(), "Undocumented value error");
    EXPECT_EQ(UsageError().getWhat(), "Undocumented usage error");
    EXPECT_EQ(TypeError().getWhat(), "Undocumented type error");
    EXPECT_EQ(SizeError().getWhat(), "Undocumented size error");
    EXPECT_EQ(RangeError().getWhat(), "Undocumented range error");
    EXPECT_EQ(ProgramError().getWhat(), "Undocumented program error");
    EXPECT_EQ(MathError().getWhat(), "Undocumented mathematical error");
    EXPECT_EQ(DepthError().getWhat(), "Image depth error");
    EXPECT_EQ(ColormapError().getWhat(), "Colormap error");
    EXPECT_EQ(FileError().getWhat(), "Undocumented file error");
    EXPECT_EQ(FileReadError().getWhat(), "Undocumented file read error");
    EXPECT_EQ(FileWriteError().getWhat(), "Undocumented file write error");
    EXPECT_EQ(FileFormatError().getWhat(), "Undocumented file format error");
    EXPECT_TRUE(Exception().getWhere().empty());
    EXPECT_TRUE(Exception().getCalls().empty());
}

TEST(Exception, FileErrorsAreCaughtAsTheirBases)
{
    try {
        throw FileFormatError("void f()", "bad", "a.tif");
    } catch (const FileError& e) {
        EXPECT_EQ(e.getFile(), "a.tif");
        EXPECT_EQ(e.getWhat(), "bad");
        EXPECT_EQ(e.getWhere(), "void f()");
    }
    EXPECT_THROW(throw FileReadError(), Exception);
}

TEST(Exception, CallsAreNumberedAndJoinedByLineBreaks)
{
    MathError e;
    e.setWhere("int SquareMatrix<T>::luDecomp(...)");
    e.addCall("SquareMatrix<T> SquareMatrix<T>::inverse() const");
    EXPECT_EQ(e.getCalls(), "[1] SquareMatrix<T> SquareMatrix<T>::inverse() const");
    e.addWhere("void caller()");
    EXPECT_EQ(e.getCalls(), "[1] SquareMatrix<T> SquareMatrix<T>::inverse() const\n[2] void caller()");
    EXPECT_EQ(e.callStack(), "[0] int SquareMatrix<T>::luDecomp(...)\n" + e.getCalls());
}

TEST(Exception, StreamForm)
{
    SizeError e;
    e.setWhere("T Vector<T>::min() const");
    e.setWhat("This vector is empty.");
    e.addCall("void g()");
    std::ostringstream os;
    os << e;
    EXPECT_EQ(os.str(), "Exception raised:\n"
                        "  What: This vector is empty.\n"
                        "  Where: T Vector<T>::min() const\n"
                        "  [0] T Vector<T>::min() const\n[1] void g()\n");
}

TEST(Exception, RethrowingACopyKeepsTheCalls)
{
    try {
        try {
            throw RangeError("void inner()", "out");
        } catch (Exception& e) {
            e.addCall("void outer()");
            throw Exception(e);
        }
    } catch (const Exception& e) {
        EXPECT_EQ(e.getWhat(), "out");
        EXPECT_EQ(e.getCallCount(), 1);
    }
}

} // namespace
