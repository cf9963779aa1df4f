#include "stack/calibrationcurve.h"

#include "image/pixelmatrix.h"
#include "numerics/matrix.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

const std::array<const char*, 3> fitTypeNames = {"Linear", "Polynomial2", "Polynomial3"};

} // namespace

void CalibrationCurve::setFitType(FitType type)
{
    m_fitType = type;
    m_needsFitting = true;
}

StandardSample& CalibrationCurve::addSample(const StandardSample& sample)
{
    m_samples.push_back(sample);
    m_needsFitting = true;
    return m_samples.back();
}

void CalibrationCurve::measure(const PixelMatrix<double>& image)
{
    const int rows = image.getSize1();
    const int columns = image.getSize2();
    for (StandardSample& sample : m_samples) {
        const BoundingBox<int>& region = sample.getRegion();
        if (!region.isValid())
            continue;
        // Regions are (x, y) boxes: x runs along the columns, y along the rows.
        const int x1 = std::max(region.min(0), 0);
        const int x2 = std::min(region.max(0), columns - 1);
        const int y1 = std::max(region.min(1), 0);
        const int y2 = std::min(region.max(1), rows - 1);
        if (x1 > x2 || y1 > y2)
            continue;
        double sum = 0.0;
        for (int y = y1; y <= y2; ++y) {
            const double* row = image[y].data();
            for (int x = x1; x <= x2; ++x)
                sum += row[x];
        }
        sample.setMeasuredValue(sum / (static_cast<double>(x2 - x1 + 1) * (y2 - y1 + 1)));
    }
    m_needsFitting = true;
}

void CalibrationCurve::fit() const
{
    std::vector<double> xs;
    std::vector<double> ys;
    for (const StandardSample& sample : m_samples)
        if (sample.isMeasured()) {
            xs.push_back(sample.getMeasuredValue());
            ys.push_back(sample.getKnownValue());
        }
    if (xs.empty())
        throw UsageError("void CalibrationCurve::fit() const",
                         "The calibration curve has no measured sample");

    // The degree the distinct grey levels can determine, at most the fit's.
    std::vector<double> distinct(xs);
    std::sort(distinct.begin(), distinct.end());
    const int levels =
        static_cast<int>(std::unique(distinct.begin(), distinct.end()) - distinct.begin());
    const int degree = std::min(static_cast<int>(m_fitType) + 1, levels - 1);

    // Centred and scaled variable: grey levels up to 65535 cubed would ruin
    // the conditioning of the least-squares system.
    const auto [lo, hi] = std::minmax_element(xs.begin(), xs.end());
    m_centre = (*lo + *hi) / 2.0;
    m_scale = *hi > *lo ? (*hi - *lo) / 2.0 : 1.0;

    const int n = static_cast<int>(xs.size());
    if (degree == 0) {
        double mean = 0.0;
        for (double y : ys)
            mean += y;
        m_coefficients.assign(1, mean / n);
    } else {
        Matrix<double> a(static_cast<unsigned>(n), static_cast<unsigned>(degree + 1));
        Vector<double> b(static_cast<unsigned>(n));
        for (int k = 0; k < n; ++k) {
            const double t = (xs[k] - m_centre) / m_scale;
            double power = 1.0;
            for (int d = 0; d <= degree; ++d) {
                a(k, d) = power;
                power *= t;
            }
            b[k] = ys[k];
        }
        const Vector<double> c = a.solve(b);
        m_coefficients.assign(c.begin(), c.end());
    }
    m_needsFitting = false;
}

const std::vector<double>& CalibrationCurve::getCoefficients() const
{
    if (m_needsFitting)
        fit();
    return m_coefficients;
}

double CalibrationCurve::eval(double x) const
{
    const std::vector<double>& c = getCoefficients();
    const double t = (x - m_centre) / m_scale;
    double value = 0.0;
    for (auto it = c.rbegin(); it != c.rend(); ++it)
        value = value * t + *it;
    return value;
}

std::string CalibrationCurve::toString(FitType type)
{
    const auto code = static_cast<unsigned int>(type);
    return code < fitTypeNames.size() ? fitTypeNames[code] : "Unknown";
}

bool CalibrationCurve::toFitType(const std::string& text, FitType& type)
{
    for (unsigned int code = 0; code < fitTypeNames.size(); ++code)
        if (text == fitTypeNames[code]) {
            type = static_cast<FitType>(code);
            return true;
        }
    return false;
}
