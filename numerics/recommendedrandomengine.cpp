#include "numerics/recommendedrandomengine.h"

#include <cmath>
#include <ctime>

std::uint64_t RecommendedRandomEngine::next()
{
    // All arithmetic is on unsigned words, modulo 2^64.
    m_u = m_u * 2862933555777941757ULL + 7046029254386353087ULL;
    m_v ^= m_v >> 17;
    m_v ^= m_v << 31;
    m_v ^= m_v >> 8;
    m_w = 4294957665ULL * (m_w & 0xffffffffULL) + (m_w >> 32);
    std::uint64_t x = m_u ^ (m_u << 21);
    x ^= x >> 35;
    x ^= x << 4;
    return (x + m_v) ^ m_w;
}

long RecommendedRandomEngine::init(long seed)
{
    if (seed < 1)
        seed = static_cast<long>(std::time(nullptr));
    m_w = 1;
    m_v = 4101842887655102017ULL;
    m_u = static_cast<std::uint64_t>(seed) ^ m_v;
    next();
    m_v = m_u;
    next();
    m_w = m_v;
    next();
    return seed;
}

long RecommendedRandomEngine::uniformL()
{
    const std::uint64_t x = next();
    constexpr std::uint64_t top = 1ULL << 63;
    return static_cast<long>((x & top) == 0 ? x : x % (top - 1));
}

double RecommendedRandomEngine::uniformLF()
{
    const double x = static_cast<double>(next()) * 5.421010862427522e-20;
    // The largest words round up to 2^64 in double precision; keep [0, 1).
    return x < 1.0 ? x : std::nextafter(1.0, 0.0);
}
