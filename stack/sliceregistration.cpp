#include "stack/sliceregistration.h"

#include "image/image.h"
#include "image/imageconversion.h"
#include "image/imagereader.h"
#include "image/pixelmatrix.h"
#include "numerics/exception.h"
#include "stack/principalaxesimageregistration.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <utility>

namespace {

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

Registration principalAxes(const PixelMatrix<double>& source, const PixelMatrix<double>& target)
{
    PrincipalAxesImageRegistration<double> registration;
    registration.setSource(source);
    registration.setTarget(target);
    registration.run();
    return registration.toRegistration();
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

} // namespace

Registration SliceRegistration::compute(const StackSlice& slice)
{
    const StackSlice& previous = previousSlice(slice);
    PixelMatrix<double> source;
    PixelMatrix<double> target;
    loadGrey(slice, source);
    loadGrey(previous, target);
    return principalAxes(source, target);
}

Registration SliceRegistration::registerSlice(StackSlice& slice)
{
    const Registration r = compute(slice);
    slice.setRegistration(r);
    slice.getStack()->setLastRegisteredSlice(slice.getName());
    return r;
}

bool SliceRegistration::registerAllSlices(Stack& stack)
{
    const int n = stack.getNumSlices();
    if (n < 2)
        throw UsageError("bool SliceRegistration::registerAllSlices(Stack&)",
                         "Cannot perform registration without at least 2 slices");
    notifyStarted("Running automatic registration...");
    // Each image is read once: the source of one step is the target of the
    // next, since registrations never resample the images.
    PixelMatrix<double> target;
    PixelMatrix<double> source;
    loadGrey(*stack.getSlice(0), target);
    for (int i = 2; i <= n; ++i) {
        if (isCanceled()) {
            notifyCanceled("");
            return false;
        }
        StackSlice& slice = *stack.getSlice(i - 1);
        loadGrey(slice, source);
        slice.setRegistration(principalAxes(source, target));
        stack.setLastRegisteredSlice(slice.getName());
        std::swap(source, target);
        notifyProgressed(static_cast<unsigned int>(i), static_cast<unsigned int>(n));
    }
    notifyFinished("");
    return true;
}
