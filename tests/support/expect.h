#pragma once
// Shared test helpers: exact exception checks and readable printing of the
// numeric containers in failure messages.

#include "numerics/matrix.h"

#include <gtest/gtest.h>

#include <ostream>

// Expects `statement` to throw `Class` (or a subclass) with the given where
// and what texts.
#define EXPECT_PLEXAN_THROW(statement, Class, where, what)                             \
    do {                                                                               \
        bool caught_ = false;                                                          \
        try {                                                                          \
            statement;                                                                 \
        } catch (const Class& e_) {                                                    \
            caught_ = true;                                                            \
            EXPECT_EQ(e_.getWhere(), where);                                           \
            EXPECT_EQ(e_.getWhat(), what);                                             \
        }                                                                              \
        EXPECT_TRUE(caught_) << "expected " #Class " from " #statement;                \
    } while (0)

template <typename T>
void PrintTo(const Vector<T>& v, std::ostream* os)
{
    *os << "(";
    for (int i = 0; i < v.getSize(); ++i)
        *os << (i ? ", " : "") << +v[i];
    *os << ")";
}

template <typename T>
void PrintTo(const Matrix<T>& m, std::ostream* os)
{
    *os << "[";
    for (int i = 0; i < m.getSize1(); ++i) {
        *os << (i ? "; " : "");
        PrintTo(m[i], os);
    }
    *os << "]";
}
