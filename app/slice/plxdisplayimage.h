#pragma once
// PLXDisplayImage: turns a slice image into the picture a view draws, through
// the grey-level window of a canvas mode.
//
// The range of an image is 0 to 255 for byte samples (8-bit grey, 24- and
// 32-bit colour, each colour channel windowed alike) and 0 to the largest
// sample of the full image for 16-bit ones, so that the reduced copies of an
// image look like the image itself. A level at or below the black level
// shows black, at or above the white level white, linearly in between.
// Indexed images show their colormap's colours.

#include "app/slice/canvasmode.h"

#include <QImage>

#include <vector>

class Image;

class PLXDisplayImage {
public:
    // 255 for byte samples; the largest sample (at least 1) for 16-bit images.
    static int rangeOf(const Image& image);
    // The display level (0 to 255) of each level 0 .. range.
    static std::vector<unsigned char> windowTable(int range, const CanvasMode& mode);
    // The picture of image: 8-bit grey or 24-bit RGB. range: that of the
    // full image (rangeOf), 0 to compute it from image itself. An image
    // without pixels gives a null picture.
    static QImage toQImage(const Image& image, const CanvasMode& mode, int range = 0);
};
