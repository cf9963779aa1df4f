#pragma once
// CorrelationImageRegistration: the rigid transform that brings the source
// image onto the target by maximising their normalised cross-correlation
// (NCC) where they overlap. Unlike the principal axes, it matches the
// contents themselves, so that round or symmetric sections and sections that
// are already aligned are found where they are.
//
// The transform, in (i, j) index coordinates (i the row, going down; j the
// column), is
//     x -> R (x - cs) + ct + t,     R = | cos a   sin a |
//                                       | -sin a  cos a |
// with cs and ct the centres (size1 / 2, size2 / 2) of the source and the
// target (one point when both have one size): source pixel x shows what
// target pixel R (x - cs) + ct + t shows. The angle a is the registration
// angle atan2(R01, R00); as displayed (y down) a positive angle turns the
// source clockwise. This is the transform a slice's Registration stands for
// relative to the previous slice, with the horizontal shift t[1] and the
// vertical shift t[0] (see SliceRegistration).
//
// How it searches:
//  1. What is compared (Comparison::Edges, the default): the edge strength
//     of either image, the length of the grey-level gradient after a
//     Gaussian of one pixel, spread by another. Outlines run on from one
//     section to the next; texture and shading change, and oblique texture
//     would pull the match along with it from section to section.
//  2. A pyramid of 2 x 2 averages down to about 64 pixels across; every
//     level is smoothed by a Gaussian of one pixel, which makes the NCC
//     smooth between pixels.
//  3. On the smallest level, every angle within the maximum rotation, one
//     step turning the image's rim by about a pixel: the source is turned,
//     FFT phase correlation gives the shift, and the NCC on the overlap
//     scores the pair. The three best local maxima go on, each with the
//     best angle opposite it (a symmetric outline matches itself turned
//     half round), and the guesses given.
//  4. Each candidate is refined on the two smallest levels by maximising the
//     NCC over angle, shift and a scale about the source's centre of content
//     (the enhanced correlation coefficient iteration: Gauss-Newton steps on
//     the NCC itself, with the target's gradients). The scale takes up the
//     growth and shrinking of sections from cut to cut, which would
//     otherwise leave the turn of a section inside a larger one undecided;
//     about the centre of content it changes neither the turn nor where
//     that centre goes, and it is left out of the result.
//  5. The candidate whose grey levels correlate best goes on, refined level
//     by level down to the full images (to a hundredth of a pixel on the
//     way, a twentieth on the full images).
//  6. The result's score, getCorrelation(), is the NCC of the grey levels of
//     the full images as they are (not smoothed), over the overlap and the
//     mask: the score of correlation() at the transform found.
// The centre of content is the centroid of the source's departures from the
// grey level of its border (the background, dark or bright).
//
// The mask limits the comparison to the source pixels that matter (true);
// on the smallest level it also limits the target when both images have
// one size (the region is taken to be where the contents roughly match).
// The overlap must cover a quarter of the compared source pixels; less
// scores -1.
//
// For a window: configure (setSource, setTarget, setMask, setMaximumRotation,
// addGuess), run() with progress and cancel through the ProgressSubject (may
// run in a worker thread; cancel() may come from any thread), then read
// getAngle(), translation(), rotation() and getCorrelation(); correlation()
// scores any other transform (the slice's current registration, say) on the
// same images. Images are referenced, not owned, and must outlive run().
// One object must not run in two threads at once; different objects may.

#include "numerics/progresssubject.h"
#include "stack/rigidregistration.h"

#include <memory>
#include <vector>

class CorrelationImageRegistration : public RigidRegistration<double>, public ProgressSubject {
public:
    CorrelationImageRegistration();
    ~CorrelationImageRegistration() override;
    CorrelationImageRegistration(const CorrelationImageRegistration&) = delete;
    CorrelationImageRegistration& operator=(const CorrelationImageRegistration&) = delete;

    // The source pixels to compare (copied); it must have the source's size
    // when run. No mask: every pixel.
    void setMask(const PixelMatrix<bool>& mask);
    void clearMask();
    bool hasMask() const { return m_hasMask; }

    // What is compared: the edge strength of the grey levels (the default),
    // or the grey levels themselves (images whose texture is the same from
    // one to the next, such as planes of one volume or repeated shots). The
    // score, getCorrelation() and correlation(), is always on the grey
    // levels.
    enum class Comparison { Edges, GreyLevels };
    void setComparison(Comparison c) { m_comparison = c; }
    Comparison getComparison() const { return m_comparison; }

    // The largest turn searched, either way, in degrees (clamped to [0, 180];
    // 180, the default, searches the whole circle). Guesses are tried
    // whatever it is.
    void setMaximumRotation(double degrees);
    double getMaximumRotation() const { return m_maximumRotation; }

    // A transform to try besides the search (an angle in degrees and a
    // translation in (i, j) order, as above): the principal axes' answer,
    // or the slice's current registration.
    void addGuess(double angleDegrees, const Vector<double>& translation);
    void clearGuesses() { m_guesses.clear(); }

    // Searches. Reports progress under "Registering by correlation..." and
    // returns false when cancelled (the result is then the identity).
    // UsageError "Source and target images must be set before running"
    // without images, "The mask does not have the size of the source image"
    // for a mask of another size; ValueError "Images smaller than 16 x 16
    // pixels cannot be registered by correlation", "The source image has no
    // contrast" ("target", or "in the mask") for images of one grey level.
    bool run();

    // The result: the angle a in degrees, in (-180, 180], and the NCC at the
    // transform found (-1 before a run and after a cancelled one).
    double getAngle() const { return m_angle; }
    double getCorrelation() const { return m_correlation; }

    // The NCC of the source with the target under the transform of angle a
    // (degrees) and translation t, on the overlap and the mask, on the full
    // images as they are; -1 when the overlap is too small or either side is
    // uniform there. Images (and mask) must be set as for run().
    double correlation(double angleDegrees, const Vector<double>& translation) const;

private:
    struct Guess {
        double angle;  // radians
        double i, j;
    };
    struct Workspace;

    void check(const char* where) const;
    // The NCC on every stride-th pixel of every stride-th row.
    double score(double angleDegrees, double ti, double tj, int stride) const;

    bool m_hasMask = false;
    PixelMatrix<bool> m_mask;
    double m_maximumRotation = 180.0;
    Comparison m_comparison = Comparison::Edges;
    std::vector<Guess> m_guesses;
    double m_angle = 0.0;
    double m_correlation = -1.0;
    std::unique_ptr<Workspace> m_workspace;
};
