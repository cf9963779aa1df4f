#pragma once
// Pictures taken by the display tests: how much of a 3D view is drawn in
// colour, and the screenshots kept for the documentation.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace support {

// Pixels on a grid of the given step whose red, green and blue differ: the
// viewer's background and grey images have none.
inline int colouredPixels(const QImage& image, int step = 4)
{
    int coloured = 0;
    for (int y = 0; y < image.height(); y += step)
        for (int x = 0; x < image.width(); x += step) {
            const QRgb c = image.pixel(x, y);
            coloured += qRed(c) != qGreen(c) || qGreen(c) != qBlue(c);
        }
    return coloured;
}

// Saves the picture as name in PLEXAN_SCREENSHOT_DIR when that is set;
// false only when saving was asked for and failed.
inline bool keepScreenshot(const QImage& image, const QString& name)
{
    const QByteArray dir = qgetenv("PLEXAN_SCREENSHOT_DIR");
    return dir.isEmpty() || image.save(QString::fromLocal8Bit(dir) + "/" + name);
}

} // namespace support
