#include "app/slice/plximagereader.h"

#include "app/slice/plxdisplayimage.h"
#include "image/colormapexpansion.h"
#include "image/image.h"
#include "image/imagesource.h"
#include "numerics/exception.h"

PLXImageReader::PLXImageReader(const ImageSource& source, QObject* parent)
    : QObject(parent), m_source(source.clone())
{
    m_reader.addMonitor(*this);
}

PLXImageReader::~PLXImageReader()
{
    m_reader.removeMonitor(*this);
}

void PLXImageReader::cancel()
{
    m_reader.cancel();
}

void PLXImageReader::removeColormap(Image& image)
{
    if (!image.isIndexed())
        return;
    ColormapExpansion(image.isGrayscale() ? 8 : 24).apply(image);
}

void PLXImageReader::run()
{
    auto image = std::make_shared<Image>();
    try {
        if (!m_reader.isCanceled())
            m_reader.read(*image, *m_source);
        if (!m_reader.isCanceled()) {
            removeColormap(*image);
            if (image->hasData()) {
                m_range = PLXDisplayImage::rangeOf(*image);
                m_image = std::move(image);
            } else
                m_error = QStringLiteral("The image source names no image");
        }
    } catch (const Exception& e) {
        // A cancelled TIFF read ends as an exception too: it is not a failure.
        if (!m_reader.isCanceled())
            m_error = QString::fromStdString(e.getWhat());
    } catch (const std::exception& e) {
        if (!m_reader.isCanceled())
            m_error = QString::fromLocal8Bit(e.what());
    }
    emit finished();
}

void PLXImageReader::subjectProgressed(unsigned int i, unsigned int n)
{
    if (n == 0)
        return;
    const unsigned int percent = static_cast<unsigned int>(100ull * i / n);
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    emit progressed(i, n);
}
