#include "image/lengthunit.h"

namespace {

// The prefix table, built once for the whole process: exponents from -24 to 24
// in steps of 3.
struct PrefixTable {
    static constexpr int first = -24;
    static constexpr int step = 3;
    std::vector<std::string> symbols{"y", "z", "a", "f", "p", "n", "µ", "m", "",
                                     "k", "M", "G", "T", "P", "E", "Z", "Y"};
    std::vector<std::string> names{"yopto", "zepto", "atto", "femto", "pico", "nano",
                                   "micro", "milli", "",     "kilo",  "mega", "giga",
                                   "tera",  "peta",  "exa",  "zetta", "yotta"};

    // Index of an exponent in the table, -1 when it has no prefix.
    int indexOf(int scale) const
    {
        const int offset = scale - first;
        if (offset < 0 || offset % step != 0 || offset / step >= static_cast<int>(symbols.size()))
            return -1;
        return offset / step;
    }
};

const PrefixTable& prefixTable()
{
    static const PrefixTable table;
    return table;
}

} // namespace

std::string LengthUnit::name() const
{
    return prefixName(m_scale) + baseName();
}

std::string LengthUnit::symbol() const
{
    return prefixSymbol(m_scale) + baseSymbol();
}

Vector<int> LengthUnit::availableScales()
{
    const int n = static_cast<int>(prefixTable().symbols.size());
    Vector<int> scales(static_cast<unsigned int>(n));
    for (int i = 0; i < n; ++i)
        scales[i] = PrefixTable::first + i * PrefixTable::step;
    return scales;
}

const std::vector<std::string>& LengthUnit::availableSymbols()
{
    return prefixTable().symbols;
}

const std::vector<std::string>& LengthUnit::availableNames()
{
    return prefixTable().names;
}

std::string LengthUnit::prefixSymbol(int scale)
{
    const int i = prefixTable().indexOf(scale);
    return i < 0 ? "???" : prefixTable().symbols[static_cast<std::size_t>(i)];
}

std::string LengthUnit::prefixName(int scale)
{
    const int i = prefixTable().indexOf(scale);
    return i < 0 ? "???" : prefixTable().names[static_cast<std::size_t>(i)];
}
