#include "stack/standardimage.h"

#include "image/image.h"
#include "image/imagereader.h"
#include "image/pixelmatrix.h"

StandardImage::StandardImage(const StandardImage& other)
    : Slice(other), m_stack(other.m_stack),
      m_curve(other.m_curve ? std::make_unique<CalibrationCurve>(*other.m_curve) : nullptr)
{
}

StandardImage& StandardImage::operator=(const StandardImage& other)
{
    if (this != &other) {
        Slice::operator=(other);
        m_stack = other.m_stack;
        m_curve = other.m_curve ? std::make_unique<CalibrationCurve>(*other.m_curve) : nullptr;
    }
    return *this;
}

StandardImage::~StandardImage() = default;

void StandardImage::setCalibrationCurve(const CalibrationCurve& curve)
{
    m_curve = std::make_unique<CalibrationCurve>(curve);
}

void StandardImage::measureSamples()
{
    if (!m_curve)
        return;
    Image image;
    ImageReader().read(image, getImageSource());
    // Grey levels: 8- and 16-bit grey samples as they are, colour made grey.
    if (image.getDepth() != 16 && (image.getDepth() != 8 || image.isIndexed()))
        image.make8bitsGrayscale();
    if (image.isIndexed()) {
        // The colormap is grey now: read the levels through it.
        image = image.channel(ImageChannel::Red);
    }
    const PixelMatrix<double> grey(image);
    m_curve->measure(grey);
}
