#include "numerics/randomgenerator.h"

#include "numerics/recommendedrandomengine.h"

#include <chrono>
#include <cmath>
#include <cstdint>

namespace {

// A seed from the high-resolution clock, so that generators created within
// the same second still differ.
long clockSeed()
{
    const auto ticks = static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    const long seed = static_cast<long>(ticks & 0x7fffffffffffffffULL);
    return seed > 0 ? seed : 1;
}

} // namespace

RandomGenerator::RandomGenerator() : m_engine(std::make_unique<RecommendedRandomEngine>(clockSeed())) {}

RandomGenerator::RandomGenerator(long seed) : m_engine(std::make_unique<RecommendedRandomEngine>(seed)) {}

RandomGenerator::RandomGenerator(RandomGenerator&&) noexcept = default;
RandomGenerator& RandomGenerator::operator=(RandomGenerator&&) noexcept = default;
RandomGenerator::~RandomGenerator() = default;

void RandomGenerator::setRandomEngine(RandomEngine* engine)
{
    if (!engine) {
        UsageError e;
        e.setWhere("void RandomGenerator::setRandomEngine(RandomEngine*)");
        e.setWhat("A random generator needs an engine");
        throw e;
    }
    m_engine.reset(engine);
    m_hasCachedGaussian = false;
}

long RandomGenerator::init(long seed)
{
    m_hasCachedGaussian = false;
    return m_engine->init(seed);
}

double RandomGenerator::gaussian()
{
    if (m_hasCachedGaussian) {
        m_hasCachedGaussian = false;
        return m_cachedGaussian;
    }
    double v1 = 0.0;
    double v2 = 0.0;
    double r = 0.0;
    do {
        v1 = uniformLF(-1.0, 1.0);
        v2 = uniformLF(-1.0, 1.0);
        r = v1 * v1 + v2 * v2;
    } while (r >= 1.0 || r == 0.0);
    const double f = std::sqrt(-2.0 * std::log(r) / r);
    m_cachedGaussian = v1 * f;
    m_hasCachedGaussian = true;
    return v2 * f;
}

int RandomGenerator::poisson(float lambda)
{
    const float limit = std::exp(-lambda);
    float p = static_cast<float>(uniformLF());
    if (p <= limit)
        return 0;
    int k = 0;
    do {
        ++k;
        p *= static_cast<float>(uniformLF());
    } while (p > limit);
    return k;
}

int RandomGenerator::draw(const Vector<unsigned int>& weights)
{
    const int n = weights.getSize();
    if (n == 0) {
        SizeError e;
        e.setWhere("int RandomGenerator::draw(const Vector<unsigned int>&)");
        e.setWhat("There is no weight to draw from");
        throw e;
    }
    long total = 0;
    for (unsigned int w : weights)
        total += static_cast<long>(w);
    if (total < 1)
        return static_cast<int>(uniformL(static_cast<long>(n)));
    long r = uniformL(1, total);
    r -= static_cast<long>(weights[0]);
    if (r < 1)
        return 0;
    int i = 0;
    while (r > 0) {
        ++i;
        r -= static_cast<long>(weights[i]);
    }
    return i;
}
