#include "image/lengthunittext.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

std::string trimmed(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t\"'");
    if (begin == std::string::npos)
        return "";
    const auto end = text.find_last_not_of(" \t\"'");
    return text.substr(begin, end - begin + 1);
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

bool LengthUnitText::parse(const std::string& given, LengthUnitText& unit)
{
    const std::string text = trimmed(given);
    // Symbols, where case tells mega from milli.
    static const std::pair<const char*, int> symbols[] = {
        {"m", 0},     {"km", 3},    {"Mm", 6},   {"mm", -3},   {"um", -6},  {"\xc2\xb5m", -6}, {"\xce\xbcm", -6},
        {"nm", -9},   {"pm", -12},  {"fm", -15}, {"am", -18},  {"zm", -21}, {"ym", -24},       {"Gm", 9},
        {"Tm", 12},   {"Pm", 15},   {"Em", 18},  {"Zm", 21},   {"Ym", 24}};
    for (const auto& [symbol, scale] : symbols)
        if (text == symbol) {
            unit = {scale, 1.0};
            return true;
        }
    if (text == "\xc3\x85" || text == "\xe2\x84\xab" || text == "A" || text == "\\u00C5" || text == "\\u00c5") {
        unit = {-9, 0.1};
        return true;
    }
    if (text == "\\u00B5m" || text == "\\u00b5m") { // ImageJ's escaped micro sign
        unit = {-6, 1.0};
        return true;
    }
    const std::string word = lower(text);
    static const std::pair<const char*, int> names[] = {
        {"meter", 0},       {"metre", 0},       {"kilometer", 3},  {"kilometre", 3},   {"millimeter", -3},
        {"millimetre", -3}, {"micrometer", -6}, {"micrometre", -6}, {"micron", -6},    {"microns", -6},
        {"nanometer", -9},  {"nanometre", -9},  {"picometer", -12}, {"picometre", -12}};
    for (const auto& [name, scale] : names)
        if (word == name || word == std::string(name) + "s") {
            unit = {scale, 1.0};
            return true;
        }
    if (word == "angstrom" || word == "angstroms" || word == "\xc3\xa5ngstr\xc3\xb6m") {
        unit = {-9, 0.1};
        return true;
    }
    if (word == "cm" || word == "centimeter" || word == "centimetre" || word == "centimeters" ||
        word == "centimetres") {
        unit = {-3, 10.0};
        return true;
    }
    if (word == "inch" || word == "inches" || word == "in") {
        unit = {-3, 25.4};
        return true;
    }
    return false;
}
