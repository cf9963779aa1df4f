#pragma once
// ImageSource: where the pixels of a slice come from. A source knows the size,
// depth and colormap of the image it names without reading its pixels;
// ImageReader::read(Image&, const ImageSource&) reads them.
//
// Sources are polymorphic values: copy them through clone().

#include "numerics/vector.h"

#include <memory>

class Colormap;

class ImageSource {
public:
    // The values of getType().
    enum Type { FileType = 0, FileMosaicType = 1, VoxelMatrixPlaneType = 2 };

    virtual ~ImageSource() = default;

    virtual std::unique_ptr<ImageSource> clone() const = 0;
    virtual int getType() const = 0;
    virtual bool isDefined() const = 0;
    // Image height (rows) and width (columns).
    virtual int getSize1() const = 0;
    virtual int getSize2() const = 0;
    // Bits per pixel of the image read.
    virtual int getDepth() const = 0;
    // The colormap of the image read, null when it has none.
    virtual const Colormap* getColormap() const = 0;

    // (size1, size2).
    Vector<int> getSize() const;

protected:
    ImageSource() = default;
    ImageSource(const ImageSource&) = default;
    ImageSource& operator=(const ImageSource&) = default;
};
