#pragma once
// StandardImage: an image of a grey-level standard photographed with the
// stack, with the calibration curve its patches define.

#include "stack/calibrationcurve.h"
#include "stack/slice.h"

#include <memory>

class Stack;

class StandardImage : public Slice {
public:
    StandardImage() = default;
    explicit StandardImage(const std::string& name) { setName(name); }
    StandardImage(const StandardImage& other);
    StandardImage& operator=(const StandardImage& other);
    ~StandardImage() override;

    void setStack(Stack* stack) { m_stack = stack; }
    Stack* getStack() const { return m_stack; }

    // Stores a copy of curve.
    void setCalibrationCurve(const CalibrationCurve& curve);
    void removeCalibrationCurve() { m_curve.reset(); }
    CalibrationCurve* getCalibrationCurve() const override { return m_curve.get(); }

    // Reads the image (at its full size, in grey levels) and measures the
    // curve's samples on it.
    void measureSamples();

private:
    Stack* m_stack = nullptr;
    std::unique_ptr<CalibrationCurve> m_curve;
};
