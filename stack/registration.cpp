#include "stack/registration.h"

#include <ostream>

namespace {

float wrapOnce(float degrees)
{
    if (degrees >= 360.0f)
        return degrees - 360.0f;
    if (degrees < 0.0f)
        return degrees + 360.0f;
    return degrees;
}

} // namespace

bool Registration::isNull() const
{
    return m_horizontalShift == 0 && m_verticalShift == 0 && m_rotationAngle == 0.0f;
}

bool Registration::operator==(const Registration& other) const
{
    return m_horizontalShift == other.m_horizontalShift &&
           m_verticalShift == other.m_verticalShift && m_rotationAngle == other.m_rotationAngle;
}

Registration Registration::operator+(const Registration& other) const
{
    return Registration(m_horizontalShift + other.m_horizontalShift,
                        m_verticalShift + other.m_verticalShift,
                        wrapOnce(m_rotationAngle + other.m_rotationAngle));
}

Registration Registration::operator-(const Registration& other) const
{
    return Registration(m_horizontalShift - other.m_horizontalShift,
                        m_verticalShift - other.m_verticalShift,
                        wrapOnce(m_rotationAngle - other.m_rotationAngle));
}

std::ostream& operator<<(std::ostream& os, const Registration& r)
{
    return os << "(" << r.getHorizontalShift() << ", " << r.getVerticalShift() << ", "
              << r.getRotationAngle() << ")";
}
