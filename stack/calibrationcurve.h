#pragma once
// CalibrationCurve: the grey-level calibration a standard image provides. Its
// samples are patches of known value; once their grey levels have been
// measured on the standard image, the curve is the least-squares polynomial
// (of degree 1, 2 or 3, by fit type) from measured grey level to known value.
// Fewer distinct samples than coefficients lower the degree to what they
// determine. The fit is computed on first evaluation after any change.

#include "stack/standardsample.h"

#include <deque>
#include <string>
#include <vector>

template <typename T> class PixelMatrix;

class CalibrationCurve {
public:
    enum FitType { Linear = 0, Polynomial2 = 1, Polynomial3 = 2 };

    CalibrationCurve() = default;
    explicit CalibrationCurve(const std::string& name) : m_name(name) {}

    void setName(const std::string& name) { m_name = name; }
    const std::string& getName() const { return m_name; }

    // Marks the curve for refitting.
    void setFitType(FitType type);
    FitType getFitType() const { return m_fitType; }
    bool needsFitting() const { return m_needsFitting; }

    // Appends a sample and marks the curve for refitting; the returned
    // reference stays valid while the curve lives.
    StandardSample& addSample(const StandardSample& sample);
    int getNumSamples() const { return static_cast<int>(m_samples.size()); }
    StandardSample& getSample(int i) { return m_samples[i]; }
    const StandardSample& getSample(int i) const { return m_samples[i]; }

    // Measures every sample as the mean grey level of image over its region
    // (clipped to the image; a region outside the image leaves its sample
    // unmeasured) and marks the curve for refitting.
    void measure(const PixelMatrix<double>& image);

    // Fits the polynomial through the measured samples. UsageError "The
    // calibration curve has no measured sample" when there is none.
    void fit() const;
    // The calibrated value of grey level x (fits first if needed).
    double eval(double x) const;
    // The coefficients in increasing degree, in the variable (x - centre) / scale.
    const std::vector<double>& getCoefficients() const;

    // "Linear", "Polynomial2", "Polynomial3"; toFitType returns false for
    // any other text (type untouched).
    static std::string toString(FitType type);
    static bool toFitType(const std::string& text, FitType& type);

private:
    std::string m_name;
    FitType m_fitType = Linear;
    std::deque<StandardSample> m_samples;
    // The fit, redone lazily.
    mutable bool m_needsFitting = true;
    mutable std::vector<double> m_coefficients;
    mutable double m_centre = 0.0;
    mutable double m_scale = 1.0;
};
