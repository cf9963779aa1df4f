#pragma once
// RandomGenerator: uniform, Gaussian and Poisson variates and weighted draws
// over an exchangeable RandomEngine (a RecommendedRandomEngine by default).
// Not synchronised: one generator per thread.

#include "numerics/randomengine.h"
#include "numerics/vector.h"

#include <memory>

class RandomGenerator {
public:
    // A RecommendedRandomEngine seeded from the clock.
    RandomGenerator();
    // A RecommendedRandomEngine with a fixed seed.
    explicit RandomGenerator(long seed);
    RandomGenerator(const RandomGenerator&) = delete;
    RandomGenerator& operator=(const RandomGenerator&) = delete;
    RandomGenerator(RandomGenerator&&) noexcept;
    RandomGenerator& operator=(RandomGenerator&&) noexcept;
    ~RandomGenerator();

    // Takes ownership of engine (not null) and deletes the previous one.
    void setRandomEngine(RandomEngine* engine);
    RandomEngine& getRandomEngine() { return *m_engine; }
    // Restarts the engine (a seed below 1 takes the time in seconds) and
    // forgets the cached Gaussian value. Returns the seed used.
    long init(long seed);

    // A non-negative 64-bit integer.
    long uniformL() { return m_engine->uniformL(); }
    // A real in [0, 1).
    double uniformLF() { return m_engine->uniformLF(); }
    // An integer in [0, n).
    long uniformL(long n) { return static_cast<long>(uniformLF() * static_cast<double>(n)); }
    // An integer in [a, b].
    long uniformL(long a, long b) { return a + uniformL(b - a + 1); }
    // A real in [0, x).
    double uniformLF(double x) { return uniformLF() * x; }
    // A real in [a, b).
    double uniformLF(double a, double b) { return a + uniformLF(b - a); }

    // Standard normal variates by the polar method, produced in pairs.
    double gaussian();
    double gaussian(double sd) { return gaussian() * sd; }
    double gaussian(double mean, double sd) { return mean + gaussian() * sd; }
    // A Poisson variate of mean lambda (multiplication method, single
    // precision; meant for small means).
    int poisson(float lambda);
    // An index drawn with probability proportional to its weight; uniform
    // when all weights are 0. SizeError on an empty weight vector.
    int draw(const Vector<unsigned int>& weights);

private:
    std::unique_ptr<RandomEngine> m_engine;
    double m_cachedGaussian = 0.0;
    bool m_hasCachedGaussian = false;
};
