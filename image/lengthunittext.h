#pragma once
// Length units as files and users write them: "mm", "um", "µm", "micron",
// "microns", "nanometer", "Å", "angstrom", "inch", "cm"... Each is read as a
// power-of-ten exponent of the metre (the scale of a LengthUnit) and a
// factor that lengths in it are multiplied by to be in that unit: 1 for the
// units of the scales -24 to 24 in steps of 3, 0.1 nm for the ångström,
// 25.4 mm for the inch and 10 mm for the centimetre. Case matters only in
// the symbols (M mega, m milli).

#include <string>

struct LengthUnitText {
    int scale = 0;
    double factor = 1.0;

    // False for a text that names no length unit ("pixel", "", "inch?").
    static bool parse(const std::string& text, LengthUnitText& unit);
};
