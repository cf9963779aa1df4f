#pragma once
// SliceRegistration: the automatic alignment of slices on the slices before
// them, shared by the registration window and the batch tool.
//
// A slice (the source) is registered on the previous slice of its stack (the
// target): both images are read at their own size (not the display size, so
// that shifts are in image pixels as the reconstruction scales them) and made
// 8-bit grey. Two methods find the rigid transform between them:
//  - Method::PrincipalAxes matches their grey-level centroids and principal
//    axes (PrincipalAxesImageRegistration<double>, image-centred rotation);
//    the angle is atan2(R01, R00) in degrees and the horizontal and vertical
//    shifts t[1] and t[0], each truncated toward zero. Fast, but blind to
//    the contents: round sections have no axis to find.
//  - Method::Correlation maximises the normalised cross-correlation of the
//    two images (CorrelationImageRegistration), starting from a search over
//    every angle, the principal axes' answer and the slice's current
//    registration. Its answer is sub-pixel; it is stored rounded: the angle
//    to the nearest tenth of a degree, the shifts to the nearest pixel. On
//    its own a slice is thus placed within half a pixel along each axis and
//    0.05 degree of what was found, relative to the previous slice. When all
//    slices are registered, each slice is rounded from where the slices
//    before it actually are, so that the roundings do not add up along the
//    stack: every slice stays within half a pixel along each axis (of the
//    previous slice's frame) and 0.05 degree of the placement the exact
//    answers compose to.
// Either way the registration is the slice's relative to the previous one,
// as the stack reconstruction composes them. Pixels are taken as square
// (the images are compared pixel for pixel).
//
// Every alignment is scored: the normalised cross-correlation of the slice
// on the previous one, on their overlap (and the mask), with the slice's
// registration before and with the one found. A registration that does not
// raise the score is not stored: the slice keeps its registration, and its
// Alignment says so (Outcome::Kept) for the caller to tell the user. When the
// registration found is the one the slice has, nothing changes
// (Outcome::Unchanged).
//
// Registering all slices goes from the second slice to the last, each on the
// previous one as it stands in the file (the images are never resampled).
// Progress is one step per slice; cancellation is polled between slices and,
// with the correlation, within a slice; the slices done so far keep their new
// registration.
//
// For a window: configure (setMethod, setMask, setMaximumRotation), then
// align() one slice to show what would change, or registerSlice() /
// registerAllSlices() from a worker thread with a progress monitor
// (cancel() may come from any thread); getAlignments() lists, slice by slice,
// the registration found, the scores and what was done, for one undoable
// step.

#include "image/pixelmatrix.h"
#include "numerics/progresssubject.h"
#include "stack/registration.h"

#include <memory>
#include <string>
#include <vector>

class CorrelationImageRegistration;
class Stack;
class StackSlice;

class SliceRegistration : public ProgressSubject {
public:
    enum class Method { PrincipalAxes, Correlation };

    // What the registration of one slice found and what was done with it.
    struct Alignment {
        enum class Outcome {
            Applied,    // stored: it raises the score
            Unchanged,  // the slice had this registration already
            Kept,       // not stored: it does not raise the score
            Canceled    // not finished
        };
        std::string slice;
        Registration previous;  // the slice's registration before
        Registration found;     // the registration found, as it would be stored
        // The method's own answer relative to the previous slice, before
        // rounding: degrees and pixels.
        double angle = 0.0;
        double horizontalShift = 0.0;
        double verticalShift = 0.0;
        double scoreBefore = -1.0;  // correlation with `previous`
        double scoreAfter = -1.0;   // correlation with `found`
        Outcome outcome = Outcome::Canceled;
    };

    SliceRegistration();
    ~SliceRegistration() override;
    SliceRegistration(const SliceRegistration&) = delete;
    SliceRegistration& operator=(const SliceRegistration&) = delete;

    // PrincipalAxes by default (the registration window's automatic mode).
    void setMethod(Method method) { m_method = method; }
    Method getMethod() const { return m_method; }
    // The pixels that matter, in every slice's image (which must then have
    // the mask's size): the correlation compares only these, and so do the
    // scores of both methods. The principal axes ignore it.
    void setMask(const PixelMatrix<bool>& mask);
    void clearMask();
    // The largest turn the correlation searches, in degrees (180: any).
    void setMaximumRotation(double degrees);
    double getMaximumRotation() const;

    // The principal-axes registration of slice on the previous slice of its
    // stack; the slice is not changed. UsageError when the slice is not in a
    // stack or is its first slice; ValueError when either image is blank (no
    // grey level to weigh); the image readers' errors propagate.
    static Registration compute(const StackSlice& slice);

    // The registration the method finds for slice on its previous slice, and
    // its scores; the slice is not changed (the outcome says what
    // registerSlice would do). Errors as for compute(), and those of
    // CorrelationImageRegistration::run().
    Alignment align(const StackSlice& slice);

    // align(), then stores the registration found unless the outcome is Kept
    // or Canceled, and makes the slice the stack's last registered slice.
    // Returns the slice's registration afterwards; getAlignments() holds the
    // one alignment.
    Registration registerSlice(StackSlice& slice);

    // Registers every slice from the second on, reporting progress (i, n) as
    // slice i of n (counted from 1) is done, under the title
    // "Running automatic registration...". UsageError "Cannot perform
    // registration without at least 2 slices" for a shorter stack. Returns
    // false when cancelled (the slices registered so far keep their new
    // registration), true otherwise; getAlignments() holds one alignment per
    // slice done.
    bool registerAllSlices(Stack& stack);

    const std::vector<Alignment>& getAlignments() const { return m_alignments; }

    void cancel() override;

private:
    Alignment alignImages(const StackSlice& slice, const PixelMatrix<double>& source,
                          const PixelMatrix<double>& target);

    Method m_method = Method::PrincipalAxes;
    std::unique_ptr<CorrelationImageRegistration> m_correlation;
    std::vector<Alignment> m_alignments;
};
