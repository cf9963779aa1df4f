#pragma once
// ImageProcessing: the base of the operations on byte images (Image) rather
// than on numeric matrices: configured by setters, run by apply, in place or
// from an input into an output, reporting progress through a ProgressSubject.

#include "numerics/progresssubject.h"

class Image;

class ImageProcessing : public virtual ProgressSubject {
public:
    ~ImageProcessing() override = default;

    virtual void apply(Image& image) = 0;
    // out becomes the result for in; the default copies in and works in place.
    virtual void apply(Image& out, const Image& in);
};
