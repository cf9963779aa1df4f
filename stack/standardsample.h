#pragma once
// StandardSample: one patch of a grey-level standard photographed with a
// stack: its name, the image region it covers, the value it is known to
// have, and the grey level measured over its region once the standard image
// has been read (see CalibrationCurve).

#include "geometry/boundingbox.h"

#include <string>

class StandardSample {
public:
    StandardSample() = default;
    explicit StandardSample(const std::string& name) : m_name(name) {}

    void setName(const std::string& name) { m_name = name; }
    const std::string& getName() const { return m_name; }
    void setRegion(const BoundingBox<int>& region) { m_region = region; }
    const BoundingBox<int>& getRegion() const { return m_region; }
    void setKnownValue(double value) { m_knownValue = value; }
    double getKnownValue() const { return m_knownValue; }

    void setMeasuredValue(double value)
    {
        m_measuredValue = value;
        m_measured = true;
    }
    double getMeasuredValue() const { return m_measuredValue; }
    bool isMeasured() const { return m_measured; }

private:
    std::string m_name = "<?>";
    BoundingBox<int> m_region;
    double m_knownValue = 0.0;
    double m_measuredValue = 0.0;
    bool m_measured = false;
};
