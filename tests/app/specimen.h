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
// micrometres goes to pixelSize when asked for. From the description of a
// generated specimen (specimen.txt).
inline std::map<std::string, Placement> knownRegistrations(const QString& specimen, double* pixelSize)
{
    QFile file(specimen);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text)) << specimen.toStdString();
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

// The bundled sample's, 29 of them.
inline std::map<std::string, Placement> knownRegistrations(double* pixelSize = nullptr)
{
    auto expected = knownRegistrations(QStringLiteral(PLEXAN_SOURCE_DIR "/data/sample/specimen.txt"), pixelSize);
    EXPECT_EQ(expected.size(), 29u);
    return expected;
}

// The true volume of a structure between the first and last sections
// ("true_volume MODEL V" in specimen.txt); 0 when not given.
inline double trueVolume(const QString& specimen, const QString& model)
{
    QFile file(specimen);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text)) << specimen.toStdString();
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList words = in.readLine().split(' ', Qt::SkipEmptyParts);
        if (words.size() == 3 && words[0] == "true_volume" && words[1] == model)
            return words[2].toDouble();
    }
    return 0.0;
}

} // namespace apptest
