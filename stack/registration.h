#pragma once
// Registration: the rigid placement of a slice relative to the slice before it
// in the stack: a horizontal and a vertical shift in image pixels and a
// rotation angle in degrees. Sums and differences keep the angle in [0, 360).

#include <iosfwd>

class Registration {
public:
    Registration() = default;
    Registration(int horizontalShift, int verticalShift, float rotationAngle)
        : m_horizontalShift(horizontalShift), m_verticalShift(verticalShift),
          m_rotationAngle(rotationAngle)
    {
    }

    int getHorizontalShift() const { return m_horizontalShift; }
    void setHorizontalShift(int shift) { m_horizontalShift = shift; }
    int getVerticalShift() const { return m_verticalShift; }
    void setVerticalShift(int shift) { m_verticalShift = shift; }
    float getRotationAngle() const { return m_rotationAngle; }
    void setRotationAngle(float degrees) { m_rotationAngle = degrees; }

    // No shift and no rotation.
    bool isNull() const;
    bool operator==(const Registration& other) const;
    bool operator!=(const Registration& other) const { return !(*this == other); }

    // Shifts and angles add (subtract); the angle is brought back into
    // [0, 360) by one turn at most, as both operands are in that range.
    Registration operator+(const Registration& other) const;
    Registration operator-(const Registration& other) const;

private:
    int m_horizontalShift = 0;
    int m_verticalShift = 0;
    float m_rotationAngle = 0.0f;
};

std::ostream& operator<<(std::ostream& os, const Registration& r);
