#include "stack/sliceregistration.h"

#include "image/image.h"
#include "image/imageconversion.h"
#include "image/imagereader.h"
#include "numerics/exception.h"
#include "stack/correlationimageregistration.h"
#include "stack/principalaxesimageregistration.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <cmath>
#include <utility>

namespace {

constexpr double pi = 3.141592653589793;
const char* const computeWhere = "static Registration SliceRegistration::compute(const StackSlice&)";

// The slice image as grey levels: 16-bit and colour images through their
// mean grey, indexed ones through their colormap. The image keeps its own
// size, whatever the slice's display size: shifts are counted in image
// pixels and the rotation centre is the image centre, as the stack
// reconstruction places them. A blank image has no centroid (the analysis
// would give non-finite values, which no registration can hold) and is
// refused.
void loadGrey(const StackSlice& slice, PixelMatrix<double>& grey)
{
    Image image;
    ImageReader().read(image, slice.getImageSource());
    image.make8bitsGrayscale();
    if (image.isIndexed())
        ImageConversion().apply(image);
    grey.convertFromImage(image);
    for (int i = 0; i < grey.getSize1(); ++i) {
        const double* row = grey[i].data();
        for (int j = 0; j < grey.getSize2(); ++j)
            if (row[j] != 0.0)
                return;
    }
    throw ValueError(computeWhere, "The image of slice \"" + slice.getName() + "\" is blank");
}

// The previous slice of a slice that can be registered.
const StackSlice& previousSlice(const StackSlice& slice)
{
    const Stack* stack = slice.getStack();
    if (!stack || stack->findSlice(&slice) < 0)
        throw UsageError(computeWhere, "Slice \"" + slice.getName() + "\" is not in a stack");
    if (slice.isFirstSlice())
        throw UsageError(computeWhere,
                         "Slice \"" + slice.getName() + "\" is the first slice: it has no previous slice");
    return *slice.prevSlice();
}

// Where a slice lies in the stack frame, as the reconstruction composes the
// registrations: the angle theta (radians) and the translation of its image
// centre (calibrated units).
struct Placement {
    double theta = 0.0;
    double x = 0.0;
    double y = 0.0;
};

// The placement of a slice whose registration relative to the slice placed
// at p is (h, v, angle), in pixels of size (pw, ph) and degrees: the shift is
// turned by the previous slice's angle, then the angle is taken off.
Placement follow(const Placement& p, double h, double v, double angle, double pw, double ph)
{
    const double hs = h * pw;
    const double vs = v * ph;
    const double c = std::cos(p.theta);
    const double s = std::sin(p.theta);
    return {p.theta - angle * pi / 180.0, p.x + c * hs + s * vs, p.y + s * hs - c * vs};
}

Placement follow(const Placement& p, const Registration& r, const StackSlice& slice)
{
    const PixelCalibration& c = slice.getPixelCalibration();
    return follow(p, r.getHorizontalShift(), r.getVerticalShift(), r.getRotationAngle(), c.getPixelWidth(),
                  c.getPixelHeight());
}

// An angle as a registration holds it: a multiple of a tenth of a degree in
// [0, 360).
float storedAngle(double degrees)
{
    double tenths = std::round(degrees * 10.0);
    tenths = std::fmod(tenths, 3600.0);
    if (tenths < 0.0)
        tenths += 3600.0;
    return static_cast<float>(tenths / 10.0);
}

// The nearest registration to an exact answer, on its own.
Registration nearest(double h, double v, double angle)
{
    return Registration(static_cast<int>(std::lround(h)), static_cast<int>(std::lround(v)), storedAngle(angle));
}

// The registration that places a slice, after the slice actually placed at
// `previous`, nearest to `wanted`: its angle to a tenth of a degree, then
// its shift to whole pixels in the previous slice's frame.
Registration nearestFrom(const Placement& previous, const Placement& wanted, double pw, double ph)
{
    double turn = std::remainder(previous.theta - wanted.theta, 2.0 * pi) * 180.0 / pi;
    const double dx = wanted.x - previous.x;
    const double dy = wanted.y - previous.y;
    const double c = std::cos(previous.theta);
    const double s = std::sin(previous.theta);
    const double hs = c * dx + s * dy;
    const double vs = s * dx - c * dy;
    return Registration(static_cast<int>(std::lround(hs / pw)), static_cast<int>(std::lround(vs / ph)),
                        storedAngle(turn));
}

Vector<double> translationOf(const Registration& r)
{
    return Vector<double>{static_cast<double>(r.getVerticalShift()), static_cast<double>(r.getHorizontalShift())};
}

} // namespace

SliceRegistration::SliceRegistration() : m_correlation(std::make_unique<CorrelationImageRegistration>()) {}

SliceRegistration::~SliceRegistration() = default;

void SliceRegistration::setMask(const PixelMatrix<bool>& mask)
{
    m_correlation->setMask(mask);
}

void SliceRegistration::clearMask()
{
    m_correlation->clearMask();
}

void SliceRegistration::setMaximumRotation(double degrees)
{
    m_correlation->setMaximumRotation(degrees);
}

double SliceRegistration::getMaximumRotation() const
{
    return m_correlation->getMaximumRotation();
}

void SliceRegistration::cancel()
{
    ProgressSubject::cancel();
    m_correlation->cancel();
}

Registration SliceRegistration::compute(const StackSlice& slice)
{
    const StackSlice& previous = previousSlice(slice);
    PixelMatrix<double> source;
    PixelMatrix<double> target;
    loadGrey(slice, source);
    loadGrey(previous, target);
    PrincipalAxesImageRegistration<double> registration;
    registration.setSource(source);
    registration.setTarget(target);
    registration.run();
    return registration.toRegistration();
}

// The method's answer for the slice showing `source` on the slice before it
// showing `target`, rounded on its own, and its scores.
SliceRegistration::Alignment SliceRegistration::alignImages(const StackSlice& slice,
                                                            const PixelMatrix<double>& source,
                                                            const PixelMatrix<double>& target)
{
    Alignment a;
    a.slice = slice.getName();
    a.previous = slice.getRegistration();

    PrincipalAxesImageRegistration<double> axes;
    axes.setSource(source);
    axes.setTarget(target);
    axes.run();
    CorrelationImageRegistration& correlation = *m_correlation;
    correlation.setSource(source);
    correlation.setTarget(target);
    if (m_method == Method::PrincipalAxes) {
        a.angle = std::atan2(axes.rotation()(0, 1), axes.rotation()(0, 0)) * 180.0 / pi;
        a.horizontalShift = axes.translation()[1];
        a.verticalShift = axes.translation()[0];
        a.found = axes.toRegistration();
    } else {
        // The principal axes and the slice's registration are tried besides
        // the search.
        correlation.clearGuesses();
        correlation.addGuess(std::atan2(axes.rotation()(0, 1), axes.rotation()(0, 0)) * 180.0 / pi,
                             axes.translation());
        correlation.addGuess(a.previous.getRotationAngle(), translationOf(a.previous));
        if (!isCanceled())
            correlation.reset();
        if (!correlation.run())
            return a;
        a.angle = correlation.getAngle();
        a.horizontalShift = correlation.translation()[1];
        a.verticalShift = correlation.translation()[0];
        a.found = nearest(a.horizontalShift, a.verticalShift, a.angle);
    }
    a.outcome = Alignment::Outcome::Kept;
    return a;
}

namespace {

// Scores the registration before and the one found, and says what to do.
void judge(const CorrelationImageRegistration& correlation, SliceRegistration::Alignment& a)
{
    using Outcome = SliceRegistration::Alignment::Outcome;
    a.scoreBefore = correlation.correlation(a.previous.getRotationAngle(), translationOf(a.previous));
    if (a.found == a.previous) {
        a.scoreAfter = a.scoreBefore;
        a.outcome = Outcome::Unchanged;
        return;
    }
    a.scoreAfter = correlation.correlation(a.found.getRotationAngle(), translationOf(a.found));
    a.outcome = a.scoreAfter > a.scoreBefore ? Outcome::Applied : Outcome::Kept;
}

} // namespace

SliceRegistration::Alignment SliceRegistration::align(const StackSlice& slice)
{
    const StackSlice& previous = previousSlice(slice);
    PixelMatrix<double> source;
    PixelMatrix<double> target;
    loadGrey(slice, source);
    loadGrey(previous, target);
    Alignment a = alignImages(slice, source, target);
    if (a.outcome != Alignment::Outcome::Canceled)
        judge(*m_correlation, a);
    return a;
}

Registration SliceRegistration::registerSlice(StackSlice& slice)
{
    m_alignments.clear();
    const Alignment a = align(slice);
    m_alignments.push_back(a);
    if (a.outcome == Alignment::Outcome::Canceled)
        return slice.getRegistration();
    if (a.outcome == Alignment::Outcome::Applied)
        slice.setRegistration(a.found);
    slice.getStack()->setLastRegisteredSlice(slice.getName());
    return slice.getRegistration();
}

bool SliceRegistration::registerAllSlices(Stack& stack)
{
    const int n = stack.getNumSlices();
    if (n < 2)
        throw UsageError("bool SliceRegistration::registerAllSlices(Stack&)",
                         "Cannot perform registration without at least 2 slices");
    m_alignments.clear();
    notifyStarted("Running automatic registration...");
    // Each image is read once: the source of one step is the target of the
    // next, since registrations never resample the images.
    PixelMatrix<double> target;
    PixelMatrix<double> source;
    loadGrey(*stack.getSlice(0), target);
    // Where the previous slice is, and where the exact answers put it.
    Placement actual = follow(Placement(), stack.getSlice(0)->getRegistration(), *stack.getSlice(0));
    Placement ideal = actual;
    for (int i = 2; i <= n; ++i) {
        if (isCanceled()) {
            notifyCanceled("");
            return false;
        }
        StackSlice& slice = *stack.getSlice(i - 1);
        loadGrey(slice, source);
        Alignment a = alignImages(slice, source, target);
        if (a.outcome == Alignment::Outcome::Canceled) {
            m_alignments.push_back(a);
            notifyCanceled("");
            return false;
        }
        Placement wanted = ideal;
        if (m_method == Method::Correlation) {
            const PixelCalibration& c = slice.getPixelCalibration();
            wanted = follow(ideal, a.horizontalShift, a.verticalShift, a.angle, c.getPixelWidth(),
                            c.getPixelHeight());
            a.found = nearestFrom(actual, wanted, c.getPixelWidth(), c.getPixelHeight());
        }
        judge(*m_correlation, a);
        if (a.outcome == Alignment::Outcome::Applied)
            slice.setRegistration(a.found);
        stack.setLastRegisteredSlice(slice.getName());
        m_alignments.push_back(a);
        actual = follow(actual, slice.getRegistration(), slice);
        // A slice left where it was starts the chain again.
        ideal = m_method == Method::Correlation && a.outcome != Alignment::Outcome::Kept ? wanted : actual;
        std::swap(source, target);
        notifyProgressed(static_cast<unsigned int>(i), static_cast<unsigned int>(n));
    }
    notifyFinished("");
    return true;
}
