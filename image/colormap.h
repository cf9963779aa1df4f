#pragma once
// Colormap: the colour table of an indexed image, one (red, green, blue) byte
// triple per cell. Also makes the standard tables: grey ramps, the 16-colour
// "flag" palette and the blue-green-yellow-red cold-to-hot scale.

#include "numerics/vector.h"

class Colormap {
public:
    Colormap() = default;
    // n cells, all black.
    explicit Colormap(int n) { setSize(n); }

    // Resizes to n cells (n < 0 counts as 0); kept cells keep their colours,
    // new ones are black.
    void setSize(int n);
    int getSize() const { return m_red.getSize(); }
    // Removes every cell.
    void clear() { setSize(0); }

    Vector<unsigned char>& getRed() { return m_red; }
    Vector<unsigned char>& getGreen() { return m_green; }
    Vector<unsigned char>& getBlue() { return m_blue; }
    const Vector<unsigned char>& getRed() const { return m_red; }
    const Vector<unsigned char>& getGreen() const { return m_green; }
    const Vector<unsigned char>& getBlue() const { return m_blue; }

    void setCell(int i, unsigned char red, unsigned char green, unsigned char blue)
    {
        m_red[i] = red;
        m_green[i] = green;
        m_blue[i] = blue;
    }

    bool operator==(const Colormap& other) const
    {
        return m_red == other.m_red && m_green == other.m_green && m_blue == other.m_blue;
    }
    bool operator!=(const Colormap& other) const { return !(*this == other); }

    // Every cell grey (red = green = blue); true for an empty colormap.
    bool isGrayscale() const;
    // Cell i is (i, i, i) for every i.
    bool isIdentity() const;
    // Every cell has no green and no blue (resp. no red/blue, no red/green).
    bool isRedOnly() const;
    bool isGreenOnly() const;
    bool isBlueOnly() const;

    // Grey ramp over the current size: cell i = i x 255 / (size - 1); a single
    // cell is black.
    void makeGrayscale();
    // Each cell becomes its mean (r + g + b) / 3 in all three components.
    void convertToGrayscale();

    // The fixed 16-colour palette used to tell labels apart.
    static Colormap flag();
    // n cells (a multiple of 4, SizeError otherwise) going from blue through
    // cyan, green and yellow to red on logarithmic ramps, one quarter each.
    static Colormap cold2Hot(unsigned int n);

private:
    Vector<unsigned char> m_red;
    Vector<unsigned char> m_green;
    Vector<unsigned char> m_blue;
};
