#include "app/tools/plxregistrationcanvas.h"

#include "app/plxworker.h"
#include "app/slice/plxdisplayimage.h"
#include "image/image.h"
#include "image/imageconversion.h"
#include "image/imagereader.h"
#include "image/imagesource.h"
#include "image/pixelmatrix.h"
#include "imageprocessing/matrixresize.h"
#include "imageprocessing/meanfilter.h"
#include "stack/stackslice.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

const double pi = 3.141592653589793;

// What the worker needs of a slice: copies, so that it never reads the
// document.
struct SliceJob {
    std::unique_ptr<ImageSource> source;
    std::string name;
    QSize displaySize;
    int halfSize = 0;
    QImage result;
};

// The slice image as 8-bit grey levels, as the automatic registration sees it.
void readGrey(const ImageSource& source, Image& image)
{
    ImageReader().read(image, source);
    image.make8bitsGrayscale();
    if (image.isIndexed())
        ImageConversion().apply(image);
}

} // namespace

PLXRegistrationCanvas::PLXRegistrationCanvas(QWidget* parent)
    : QWidget(parent), m_worker(std::make_unique<PLXWorker>())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::PreventContextMenu);
    computeTransparencyMap();
}

PLXRegistrationCanvas::~PLXRegistrationCanvas() = default;

// Slices and display images ---------------------------------------------------------

namespace {

// One physical scale for both: the largest physical extent per display
// pixel that lets each image fit within maximum.
double displayFactor(const StackSlice& background, const StackSlice& foreground, const QSize& maximum)
{
    double factor = 0.0;
    for (const StackSlice* slice : {&background, &foreground}) {
        const PixelCalibration& c = slice->getPixelCalibration();
        const ImageSource& source = slice->getImageSource();
        factor = std::max({factor, source.getSize2() * double(c.getPixelWidth()) / std::max(1, maximum.width()),
                           source.getSize1() * double(c.getPixelHeight()) / std::max(1, maximum.height())});
    }
    return factor;
}

// A slice's display size at that factor; invalid without a calibration.
QSize displaySize(const StackSlice& slice, double factor)
{
    const PixelCalibration& c = slice.getPixelCalibration();
    const ImageSource& source = slice.getImageSource();
    if (!(factor > 0.0 && c.getPixelWidth() > 0.0f && c.getPixelHeight() > 0.0f))
        return QSize();
    return QSize(std::max(1, int(std::lround(source.getSize2() * c.getPixelWidth() / factor))),
                 std::max(1, int(std::lround(source.getSize1() * c.getPixelHeight() / factor))));
}

} // namespace

std::pair<QSize, QSize> PLXRegistrationCanvas::displaySizes(const StackSlice& background,
                                                            const StackSlice& foreground, const QSize& maximum)
{
    const double factor = displayFactor(background, foreground, maximum);
    return {displaySize(background, factor), displaySize(foreground, factor)};
}

int PLXRegistrationCanvas::fittingScale(const std::vector<const StackSlice*>& slices, const QSize& available) const
{
    const QSize desktop = getDesktopSize();
    for (int scale = 100; scale > 10; scale -= 10) {
        const QSize maximum(int(std::lround(desktop.width() * scale / 100.0)),
                            int(std::lround(desktop.height() * scale / 100.0)));
        bool fits = true;
        for (size_t k = 1; k < slices.size() && fits; ++k) {
            if (!slices[k - 1]->hasImageSource() || !slices[k]->hasImageSource())
                continue;
            const auto [b, f] = displaySizes(*slices[k - 1], *slices[k], maximum);
            fits = b.width() <= available.width() && b.height() <= available.height() &&
                   f.width() <= available.width() && f.height() <= available.height();
        }
        if (fits)
            return scale;
    }
    return 10;
}

void PLXRegistrationCanvas::setSlices(StackSlice* background, StackSlice* foreground)
{
    m_backgroundSlice = background;
    m_foregroundSlice = foreground;
    makeDisplayImages();
}

void PLXRegistrationCanvas::refresh()
{
    makeDisplayImages();
}

void PLXRegistrationCanvas::makeDisplayImages()
{
    m_backgroundImage = QImage();
    m_foregroundImage = QImage();
    m_foregroundImageSize = QSize();
    m_mouseMode = MouseMode::None;
    const bool shown = m_backgroundSlice && m_foregroundSlice && m_backgroundSlice->hasImageSource() &&
                       m_foregroundSlice->hasImageSource();
    if (shown) {
        SliceJob jobs[2];
        const StackSlice* slices[2] = {m_backgroundSlice, m_foregroundSlice};
        const char* names[2] = {"background", "foreground"};
        const QSize maximum = getMaximumDisplaySize();
        const double factor = displayFactor(*slices[0], *slices[1], maximum);
        for (int k = 0; k < 2; ++k) {
            const PixelCalibration& c = slices[k]->getPixelCalibration();
            SliceJob& job = jobs[k];
            job.source = slices[k]->getImageSource().clone();
            job.name = names[k];
            job.displaySize = displaySize(*slices[k], factor);
            if (job.displaySize.isValid()) {
                const double reduction = std::max(factor / c.getPixelWidth(), factor / c.getPixelHeight());
                job.halfSize = static_cast<int>(reduction / 2.0);
            }
        }
        m_foregroundImageSize = QSize(m_foregroundSlice->getImageSource().getSize2(),
                                      m_foregroundSlice->getImageSource().getSize1());
        try {
            m_worker->run([&jobs](PLXProgressProxy& progress) {
                for (SliceJob& job : jobs) {
                    if (job.displaySize.isEmpty())
                        continue;
                    progress.notifyProgressed("Loading " + job.name + " slice image...");
                    Image image;
                    readGrey(*job.source, image);
                    if (progress.isCanceled())
                        return;
                    progress.notifyProgressed("Low-pass filtering " + job.name + " slice image...");
                    if (job.halfSize >= 1)
                        MeanFilter(job.halfSize).apply(image);
                    progress.notifyProgressed("Resizing " + job.name + " slice image...");
                    job.result = displayImage(image, job.displaySize, 0);
                }
                progress.notifyFinished("");
            });
        } catch (...) {
            // An unreadable image shows nothing, and the caller hears why.
            m_foregroundImageSize = QSize();
            updateConverter();
            update();
            throw;
        }
        m_backgroundImage = jobs[0].result;
        m_foregroundImage = jobs[1].result;
    }
    updateConverter();
    m_displayRegistration = m_converter.toWorld(m_registration);
    fitContents();
    update();
}

QSize PLXRegistrationCanvas::contentsSize() const
{
    double halfWidth = m_backgroundImage.width() / 2.0, halfHeight = m_backgroundImage.height() / 2.0;
    if (!m_foregroundImage.isNull()) {
        // The foreground's corners about the background's centre.
        const double a = m_displayRegistration.getRotationAngle() * pi / 180.0;
        const double c = std::cos(a), s = std::sin(a);
        const double hw = m_foregroundImage.width() / 2.0, hh = m_foregroundImage.height() / 2.0;
        for (const QPointF& p : {QPointF(-hw, -hh), QPointF(hw, -hh), QPointF(hw, hh), QPointF(-hw, hh)}) {
            halfWidth = std::max(halfWidth, std::abs(m_displayRegistration.getHorizontalShift() + c * p.x() - s * p.y()));
            halfHeight = std::max(halfHeight, std::abs(m_displayRegistration.getVerticalShift() + s * p.x() + c * p.y()));
        }
    }
    // Even sizes keep the background's centre on a pixel boundary.
    return QSize(2 * int(std::ceil(halfWidth)), 2 * int(std::ceil(halfHeight)));
}

void PLXRegistrationCanvas::fitContents()
{
    const QSize needed = contentsSize();
    setMinimumSize(needed);
    // Within a view, also shrink back to it (the view lays the canvas out
    // again on the resize).
    if (const QWidget* view = parentWidget(); view && size() != needed.expandedTo(view->size()))
        resize(needed.expandedTo(view->size()));
    updateGeometry();
}

QImage PLXRegistrationCanvas::displayImage(const Image& source, const QSize& size, int halfSize)
{
    Image image(source);
    image.make8bitsGrayscale();
    if (image.isIndexed())
        ImageConversion().apply(image);
    if (halfSize >= 1)
        MeanFilter(halfSize).apply(image);
    PixelMatrix<float> grey;
    grey.convertFromImage(image);
    if (grey.getSize1() != size.height() || grey.getSize2() != size.width()) {
        MatrixResize<float> resize(size.height(), size.width());
        resize.setInterpolationMode(LinearInterpolationMode);
        resize.apply(grey);
    }
    QImage out(grey.getSize2(), grey.getSize1(), QImage::Format_Grayscale8);
    for (int y = 0; y < out.height(); ++y) {
        uchar* line = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x)
            line[x] = static_cast<uchar>(std::clamp(std::lround(grey(y, x)), 0L, 255L));
    }
    return out;
}

void PLXRegistrationCanvas::updateConverter()
{
    m_converter.setWorld(0, 0, m_foregroundImage.width(), m_foregroundImage.height());
    m_converter.setModel(0, 0, m_foregroundImageSize.width(), m_foregroundImageSize.height());
}

// Registration -----------------------------------------------------------------------

void PLXRegistrationCanvas::setRegistration(const Registration& registration)
{
    m_registration = registration;
    // A registration that the display one already converts to (the one a
    // drag just emitted) keeps the display shifts, so that moves smaller
    // than an image pixel still add up.
    if (m_converter.toModel(m_displayRegistration) != registration)
        m_displayRegistration = m_converter.toWorld(registration);
    m_displayRegistration.setRotationAngle(registration.getRotationAngle());
    // A drag grows the canvas when it ends, so that nothing jumps under
    // the mouse.
    if (m_mouseMode == MouseMode::None)
        fitContents();
    update();
}

void PLXRegistrationCanvas::emitRegistration()
{
    m_registration = m_converter.toModel(m_displayRegistration);
    update();
    emit registrationChanged(m_registration);
}

// Scale ---------------------------------------------------------------------------------

void PLXRegistrationCanvas::setDesktopSize(const QSize& size)
{
    m_desktopSize = size;
}

QSize PLXRegistrationCanvas::getDesktopSize() const
{
    if (m_desktopSize.isValid())
        return m_desktopSize;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1024, 768);
}

QSize PLXRegistrationCanvas::getMaximumDisplaySize() const
{
    const QSize desktop = getDesktopSize();
    return QSize(int(std::lround(desktop.width() * m_scale / 100.0)),
                 int(std::lround(desktop.height() * m_scale / 100.0)));
}

void PLXRegistrationCanvas::setScale(int percent)
{
    if (percent == m_scale)
        return;
    m_scale = percent;
    makeDisplayImages();
}

bool PLXRegistrationCanvas::increaseScale()
{
    if (m_scale > 99)
        return false;
    setScale(m_scale + 10);
    return true;
}

bool PLXRegistrationCanvas::decreaseScale()
{
    if (m_scale < 11)
        return false;
    setScale(m_scale - 10);
    return true;
}

// Display options --------------------------------------------------------------------

int PLXRegistrationCanvas::transparency(ImageTransparencyMode mode, int b, int f)
{
    switch (mode) {
    case ImageTransparencyMode::Addition:
        return (b + f) / 2;
    case ImageTransparencyMode::Subtraction:
        return std::abs(f - b);
    case ImageTransparencyMode::Multiplication:
        return b * f / 256;
    case ImageTransparencyMode::Minimum:
        return std::min(b, f);
    case ImageTransparencyMode::Maximum:
        return std::max(b, f);
    }
    return 0;
}

void PLXRegistrationCanvas::computeTransparencyMap()
{
    m_map.resize(256 * 256);
    for (int b = 0; b < 256; ++b)
        for (int f = 0; f < 256; ++f)
            m_map[static_cast<std::size_t>(b * 256 + f)] =
                static_cast<unsigned char>(transparency(m_transparencyMode, b, f));
}

void PLXRegistrationCanvas::setTransparencyMode(ImageTransparencyMode mode)
{
    if (mode == m_transparencyMode)
        return;
    m_transparencyMode = mode;
    computeTransparencyMap();
    update();
}

void PLXRegistrationCanvas::setFramesEnabled(bool on)
{
    m_frames = on;
    update();
}

void PLXRegistrationCanvas::setCanvasMode(const CanvasMode& mode)
{
    m_canvasMode = mode;
    update();
}

// Drawing ------------------------------------------------------------------------------

QSize PLXRegistrationCanvas::sizeHint() const
{
    const QSize images = contentsSize();
    return images.isEmpty() ? QSize(400, 400) : images;
}

QPointF PLXRegistrationCanvas::getBackgroundCentre() const
{
    const QRect r = contentsRect();
    const int left = r.x() + (r.width() - m_backgroundImage.width()) / 2;
    const int top = r.y() + (r.height() - m_backgroundImage.height()) / 2;
    return QPointF(left + m_backgroundImage.width() / 2.0, top + m_backgroundImage.height() / 2.0);
}

QPointF PLXRegistrationCanvas::getForegroundCentre() const
{
    return getBackgroundCentre() +
           QPointF(m_displayRegistration.getHorizontalShift(), m_displayRegistration.getVerticalShift());
}

QImage PLXRegistrationCanvas::composedImage() const
{
    const QRect r = contentsRect();
    QImage out(r.size(), QImage::Format_Grayscale8);
    out.fill(0);
    if (m_backgroundImage.isNull() || m_foregroundImage.isNull())
        return out;
    const std::vector<unsigned char> window = PLXDisplayImage::windowTable(255, m_canvasMode);
    const QPointF bc = getBackgroundCentre() - QPointF(r.topLeft());
    const int bx0 = int(std::lround(bc.x() - m_backgroundImage.width() / 2.0));
    const int by0 = int(std::lround(bc.y() - m_backgroundImage.height() / 2.0));
    const QPointF fc = getForegroundCentre() - QPointF(r.topLeft());
    const double a = m_displayRegistration.getRotationAngle() * pi / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    const double fcx = m_foregroundImage.width() / 2.0, fcy = m_foregroundImage.height() / 2.0;
    const int bw = m_backgroundImage.width(), bh = m_backgroundImage.height();
    const int fw = m_foregroundImage.width(), fh = m_foregroundImage.height();
    for (int y = 0; y < out.height(); ++y) {
        uchar* line = out.scanLine(y);
        const int by = y - by0;
        const uchar* bline = by >= 0 && by < bh ? m_backgroundImage.constScanLine(by) : nullptr;
        const double dy = y - fc.y();
        for (int x = 0; x < out.width(); ++x) {
            const int bx = x - bx0;
            const int b = bline && bx >= 0 && bx < bw ? window[bline[bx]] : 0;
            // The foreground pixel shown here: the inverse of the turn.
            const double dx = x - fc.x();
            const long px = std::lround(fcx + c * dx + s * dy);
            const long py = std::lround(fcy - s * dx + c * dy);
            const int f = px >= 0 && px < fw && py >= 0 && py < fh
                              ? window[m_foregroundImage.constScanLine(int(py))[px]]
                              : 0;
            line[x] = m_map[static_cast<std::size_t>(b * 256 + f)];
        }
    }
    return out;
}

void PLXRegistrationCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QRect r = contentsRect();
    painter.drawImage(r.topLeft(), composedImage());
    if (!m_frames || m_backgroundImage.isNull() || m_foregroundImage.isNull())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF bc = getBackgroundCentre();
    painter.setPen(QPen(QColor(0, 200, 255), 1));
    painter.drawRect(QRectF(bc.x() - m_backgroundImage.width() / 2.0, bc.y() - m_backgroundImage.height() / 2.0,
                            m_backgroundImage.width(), m_backgroundImage.height()));
    const QPointF fc = getForegroundCentre();
    const double a = m_displayRegistration.getRotationAngle() * pi / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    const double hw = m_foregroundImage.width() / 2.0, hh = m_foregroundImage.height() / 2.0;
    QPolygonF frame;
    for (const QPointF& p : {QPointF(-hw, -hh), QPointF(hw, -hh), QPointF(hw, hh), QPointF(-hw, hh)})
        frame << fc + QPointF(c * p.x() - s * p.y(), s * p.x() + c * p.y());
    painter.setPen(QPen(QColor(255, 160, 0), 1));
    painter.drawPolygon(frame);
    painter.drawLine(fc - QPointF(5, 0), fc + QPointF(5, 0));
    painter.drawLine(fc - QPointF(0, 5), fc + QPointF(0, 5));
}

// Mouse ---------------------------------------------------------------------------------

void PLXRegistrationCanvas::mousePressEvent(QMouseEvent* event)
{
    m_lastPosition = event->position().toPoint();
    if (m_foregroundImage.isNull())
        return;
    if (event->button() == Qt::LeftButton) {
        m_mouseMode = MouseMode::Translate;
    } else if (event->button() == Qt::RightButton) {
        m_mouseMode = MouseMode::Rotate;
        m_continuousAngle = m_displayRegistration.getRotationAngle();
    }
}

void PLXRegistrationCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    const QPoint last = m_lastPosition;
    m_lastPosition = position;
    if (m_mouseMode == MouseMode::Translate) {
        const QPoint d = position - last;
        if (d.isNull())
            return;
        m_displayRegistration.setHorizontalShift(m_displayRegistration.getHorizontalShift() + d.x());
        m_displayRegistration.setVerticalShift(m_displayRegistration.getVerticalShift() + d.y());
        emitRegistration();
    } else if (m_mouseMode == MouseMode::Rotate) {
        const QPointF centre = getForegroundCentre();
        const double before = std::atan2(last.y() - centre.y(), last.x() - centre.x());
        const double after = std::atan2(position.y() - centre.y(), position.x() - centre.x());
        m_continuousAngle += (after - before) * 180.0 / pi;
        while (m_continuousAngle >= 360.0)
            m_continuousAngle -= 360.0;
        while (m_continuousAngle < 0.0)
            m_continuousAngle += 360.0;
        // Floored to the precision (counted in tenths, which a sum of turns
        // may miss by a rounding error only).
        const double steps = 1.0 / rotationPrecision;
        long tenths = static_cast<long>(std::floor(m_continuousAngle * steps + 1e-9));
        if (tenths >= std::lround(360.0 * steps))
            tenths = 0;
        if (tenths == std::lround(m_displayRegistration.getRotationAngle() * steps))
            return;
        m_displayRegistration.setRotationAngle(static_cast<float>(tenths / steps));
        emitRegistration();
    }
}

void PLXRegistrationCanvas::mouseReleaseEvent(QMouseEvent*)
{
    const bool dragged = m_mouseMode != MouseMode::None;
    m_mouseMode = MouseMode::None;
    if (dragged)
        fitContents();
}
