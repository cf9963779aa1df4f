#include "imageprocessing/imageprocessing.h"

#include "image/image.h"

void ImageProcessing::apply(Image& out, const Image& in)
{
    out = in;
    apply(out);
}
