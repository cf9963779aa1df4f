#pragma once
// RecommendedRandomEngine: the default random engine, combining a linear
// congruential generator, a xorshift generator and a multiply-with-carry
// generator on three 64-bit words. Sequences are fixed for a given seed.

#include "numerics/randomengine.h"

#include <cstdint>

class RecommendedRandomEngine : public RandomEngine {
public:
    // Seeded with 1 until init() is called.
    RecommendedRandomEngine() { init(1); }
    explicit RecommendedRandomEngine(long seed) { init(seed); }

    long init(long seed) override;
    // The next value with its top bit cleared by reduction modulo 2^63 - 1.
    long uniformL() override;
    // The next value times 2^-64.
    double uniformLF() override;
    // The next raw 64-bit value.
    std::uint64_t next();

private:
    std::uint64_t m_u = 0;
    std::uint64_t m_v = 0;
    std::uint64_t m_w = 0;
};
