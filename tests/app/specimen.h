#pragma once
// The slide placements the sample was drawn with (data/sample/specimen.txt),
// turned into the registrations that bring each section onto the one before.

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <cmath>
#include <cstddef>
#include <map>
#include <numbers>
#include <string>
#include <vector>

namespace apptest {

// Slice k's content onto slice k - 1's: shifts in pixels (x right, y down),
// angle in degrees.
struct Placement {
    double x, y, angle;
};

// Keyed by slice name (the first slice has none); the pixel size in
// micrometres goes to pixelSize when asked for.
inline std::map<std::string, Placement> knownRegistrations(double* pixelSize = nullptr)
{
    QFile file(QStringLiteral(PLEXAN_SOURCE_DIR "/data/sample/specimen.txt"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QTextStream in(&file);
    double pixel = 0.0;
    struct Section {
        std::string name;
        double x, y, angle;
    };
    std::vector<Section> sections;
    while (!in.atEnd()) {
        const QStringList words = in.readLine().split(' ', Qt::SkipEmptyParts);
        if (words.size() == 2 && words[0] == "pixel_size")
            pixel = words[1].toDouble();
        if (words.size() == 6 && words[0] == "slice")
            sections.push_back({words[1].toStdString(), words[3].toDouble(), words[4].toDouble(), words[5].toDouble()});
    }
    EXPECT_EQ(sections.size(), 30u);
    if (pixelSize)
        *pixelSize = pixel;
    std::map<std::string, Placement> expected;
    const double rad = std::numbers::pi / 180;
    for (std::size_t k = 1; k < sections.size(); ++k) {
        const Section& a = sections[k - 1];
        const Section& b = sections[k];
        const double turn = (a.angle - b.angle) * rad;
        const double tu = b.x * pixel, tv = -b.y * pixel;
        const double u = a.x * pixel - (std::cos(turn) * tu - std::sin(turn) * tv);
        const double v = -a.y * pixel - (std::sin(turn) * tu + std::cos(turn) * tv);
        expected[b.name] = {u / pixel, -v / pixel, b.angle - a.angle};
    }
    return expected;
}

} // namespace apptest
