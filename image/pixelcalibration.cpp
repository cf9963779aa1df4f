#include "image/pixelcalibration.h"

#include <cmath>
#include <ostream>

float PixelCalibration::pixelDiagonal() const
{
    return std::sqrt(m_pixelWidth * m_pixelWidth + m_pixelHeight * m_pixelHeight);
}

bool PixelCalibration::compute()
{
    if (m_ratioUnset) {
        if (!m_widthUnset) {
            if (m_heightUnset)
                m_pixelHeight = m_pixelWidth;
            else
                m_aspectRatio = m_pixelHeight / m_pixelWidth;
            return true;
        }
        if (!m_heightUnset) {
            m_pixelWidth = m_pixelHeight;
            return true;
        }
        return false;
    }
    if (m_heightUnset) {
        m_pixelHeight = m_aspectRatio * m_pixelWidth;
        return true;
    }
    if (m_widthUnset) {
        m_pixelWidth = m_pixelHeight / m_aspectRatio;
        return true;
    }
    return false;
}

void PixelCalibration::print(const std::string& title, std::ostream& stream) const
{
    if (!title.empty())
        stream << title << '\n';
    stream << "Pixel width:  " << m_pixelWidth << (m_widthUnset ? " (unset)" : "") << '\n'
           << "Pixel height: " << m_pixelHeight << (m_heightUnset ? " (unset)" : "") << '\n'
           << "Aspect ratio: " << m_aspectRatio << (m_ratioUnset ? " (unset)" : "") << '\n'
           << "Length unit:  " << m_lengthUnit.symbol() << '\n';
}
