#pragma once
// SliceRegistration: the automatic alignment of slices on the slices before
// them, shared by the registration window and the batch tool.
//
// A slice (the source) is registered on the previous slice of its stack (the
// target): both images are read at their own size (not the display size, so
// that shifts are in image pixels as the reconstruction scales them), made
// 8-bit grey, and matched by their principal axes with image-centred rotation
// (PrincipalAxesImageRegistration<double>). The rigid result becomes the
// slice's Registration, relative to the previous slice as the stack
// reconstruction composes them: the angle atan2(R01, R00) in degrees, the
// horizontal shift t[1] and the vertical shift t[0], truncated toward zero.
//
// Registering all slices goes from the second slice to the last, each on the
// previous one as it stands in the file (the images are never resampled, so
// the order does not change the result). Progress is one step per slice;
// cancellation is polled between slices and keeps the slices done so far.

#include "numerics/progresssubject.h"
#include "stack/registration.h"

#include <string>

class Stack;
class StackSlice;

class SliceRegistration : public ProgressSubject {
public:
    // The registration of slice on the previous slice of its stack; the slice
    // is not changed. UsageError when the slice is not in a stack or is its
    // first slice; ValueError when either image is blank (no grey level to
    // weigh); the image readers' errors propagate.
    static Registration compute(const StackSlice& slice);

    // compute(), then stores the registration in the slice and makes it the
    // stack's last registered slice. Returns the registration.
    Registration registerSlice(StackSlice& slice);

    // Registers every slice from the second on, reporting progress (i, n) as
    // slice i of n (counted from 1) is done, under the title
    // "Running automatic registration...". UsageError "Cannot perform
    // registration without at least 2 slices" for a shorter stack. Returns
    // false when cancelled (the slices registered so far keep their new
    // registration), true otherwise.
    bool registerAllSlices(Stack& stack);
};
