#pragma once
// PixelCalibration: the physical size of a pixel. Width, height and aspect
// ratio (height / width) are each either set by the user or still unset; the
// unset ones are derived from the set ones by compute(). Values are in the
// length unit of the calibration.

#include "image/lengthunit.h"

#include <iosfwd>
#include <string>

class PixelCalibration {
public:
    PixelCalibration() = default;

    // All three values 1, all unset, unit the metre.
    void clear() { *this = PixelCalibration(); }

    // Each setter stores the value and marks it set.
    void setPixelWidth(float width)
    {
        m_pixelWidth = width;
        m_widthUnset = false;
    }
    void setPixelHeight(float height)
    {
        m_pixelHeight = height;
        m_heightUnset = false;
    }
    void setAspectRatio(float ratio)
    {
        m_aspectRatio = ratio;
        m_ratioUnset = false;
    }
    float getPixelWidth() const { return m_pixelWidth; }
    float getPixelHeight() const { return m_pixelHeight; }
    float getAspectRatio() const { return m_aspectRatio; }
    bool isPixelWidthSet() const { return !m_widthUnset; }
    bool isPixelHeightSet() const { return !m_heightUnset; }
    bool isAspectRatioSet() const { return !m_ratioUnset; }

    void setLengthUnit(const LengthUnit& unit) { m_lengthUnit = unit; }
    const LengthUnit& getLengthUnit() const { return m_lengthUnit; }
    LengthUnit& getLengthUnit() { return m_lengthUnit; }

    float pixelDiagonal() const;

    // Derives the unset values from the set ones and tells whether it assigned
    // any. With the ratio unset: a set width gives the height (width) or the
    // ratio (height / width, when the height is set too); a set height alone
    // gives the width. With the ratio set: height = ratio x width when the
    // height is unset, else width = height / ratio when the width is unset.
    // The set/unset marks are left as they are.
    bool compute();

    // Compares the three values only, neither the marks nor the unit.
    bool operator==(const PixelCalibration& other) const
    {
        return m_pixelWidth == other.m_pixelWidth && m_pixelHeight == other.m_pixelHeight &&
               m_aspectRatio == other.m_aspectRatio;
    }
    bool operator!=(const PixelCalibration& other) const { return !(*this == other); }

    void print(const std::string& title, std::ostream& stream) const;

private:
    float m_pixelWidth = 1.0f;
    float m_pixelHeight = 1.0f;
    float m_aspectRatio = 1.0f;
    bool m_widthUnset = true;
    bool m_heightUnset = true;
    bool m_ratioUnset = true;
    LengthUnit m_lengthUnit;
};
