#pragma once
// RandomEngine: an exchangeable source of 64-bit random numbers behind
// RandomGenerator.

class RandomEngine {
public:
    virtual ~RandomEngine() = default;
    // Restarts the sequence; a seed below 1 takes the current time in seconds.
    // Returns the seed used.
    virtual long init(long seed) = 0;
    // A non-negative 64-bit integer.
    virtual long uniformL() = 0;
    // A real in [0, 1).
    virtual double uniformLF() = 0;
};
