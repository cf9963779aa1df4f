#pragma once
// LengthUnit: a unit of length given as a power-of-ten exponent of the metre
// (0 metre, -3 millimetre, -6 micrometre, ...). The prefixes of the exponents
// -24 to 24 in steps of 3 are known by symbol and name; any other exponent is
// accepted but written with the prefix "???".

#include "numerics/vector.h"

#include <string>
#include <vector>

class LengthUnit {
public:
    LengthUnit() = default;
    explicit LengthUnit(int scale) : m_scale(scale) {}

    void setScale(int scale) { m_scale = scale; }
    int getScale() const { return m_scale; }

    bool operator==(const LengthUnit& other) const { return m_scale == other.m_scale; }
    bool operator!=(const LengthUnit& other) const { return m_scale != other.m_scale; }

    // Prefix name and symbol followed by the base ones: "micrometer", "µm".
    std::string name() const;
    std::string symbol() const;

    static std::string baseName() { return "meter"; }
    static std::string baseSymbol() { return "m"; }

    // The exponents with a known prefix, in increasing order, and their prefix
    // symbols and names in the same order (empty for the metre itself).
    static Vector<int> availableScales();
    static const std::vector<std::string>& availableSymbols();
    static const std::vector<std::string>& availableNames();

    // The prefix of one exponent, "???" when it has none.
    static std::string prefixSymbol(int scale);
    static std::string prefixName(int scale);

private:
    int m_scale = 0;
};
