#include "numerics/exception.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(Exception, DefaultTextsAndFileErrors)
{
    EXPECT_EQ(Exception().getWhat(), "Undocumented error");
    EXPECT_EQ(MathError().getWhat(), "Undocumented mathematical error");
    EXPECT_EQ(DepthError().getWhat(), "Image depth error");
    EXPECT_EQ(FileFormatError().getWhat(), "Undocumented file format error");
    try {
        throw FileFormatError("void f()", "bad", "a.tif");
    } catch (const FileError& e) {
        EXPECT_EQ(e.getFile(), "a.tif");
        EXPECT_EQ(e.getWhat(), "bad");
        EXPECT_EQ(e.getWhere(), "void f()");
    }
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

TEST(Exception, StreamFormAndCopies)
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
    const Exception copy(e);
    EXPECT_EQ(copy.getCalls(), "[1] void g()") << "a copy keeps the calls";
}

} // namespace
