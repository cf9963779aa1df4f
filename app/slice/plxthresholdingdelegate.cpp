#include "app/slice/plxthresholdingdelegate.h"

#include "app/plxitemactions.h"
#include "app/plxworker.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "app/slice/plxsliceeditwidgetstatusbar.h"
#include "geometry/curve.h"
#include "gl/dialogs.h"
#include "image/image.h"
#include "image/imageconversion.h"
#include "image/pixelmatrix.h"
#include "imageprocessing/isodatathresholding.h"
#include "imageprocessing/meanfilter.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cstring>

namespace {

// The region of the slice's image, smoothed, as grey levels.
PixelMatrix<float> readRegion(const StackSlice& slice, const QRect& region, int smoothing)
{
    Image image;
    slice.load(image);
    if (image.isIndexed())
        ImageConversion().apply(image);
    const int bytes = image.bytesPerPixel();
    Image part(region.width(), region.height(), image.getDepth());
    for (int y = 0; y < region.height(); ++y)
        std::memcpy(part.getRow(y), image.getRow(region.y() + y) + region.x() * bytes,
                    static_cast<std::size_t>(region.width() * bytes));
    if (smoothing > 0)
        MeanFilter(smoothing).apply(part);
    return PixelMatrix<float>(part);
}

// The binarised boundaries of the dark objects of the region.
void binarise(PixelMatrix<float>& m)
{
    float lowest = m(0, 0);
    float highest = m(0, 0);
    for (int i = 0; i < m.getSize1(); ++i)
        for (int j = 0; j < m.getSize2(); ++j) {
            lowest = std::min(lowest, m(i, j));
            highest = std::max(highest, m(i, j));
        }
    IsodataThresholding<float> isodata;
    // 256 bins over the region's levels (one per level for bytes).
    const float width = std::max(1.0f, (highest - lowest + 1.0f) / 256.0f);
    isodata.setBins(lowest - 0.5f * width, width, 256);
    isodata.setThreshold(isodata.computeThreshold(m));
    isodata.setForegroundIsAbove(false);
    isodata.setForeground(255.0f);
    isodata.setBackground(0.0f);
    isodata.Thresholding<float>::apply(m);
    isodata.contours(m);
}

} // namespace

PLXThresholdingDelegate::PLXThresholdingDelegate(PLXSliceEditWidgetMediator* mediator)
    : PLXSliceEditWidgetMediatorDelegate(mediator)
{
    setMode(QStringLiteral("CREATE"));
}

void PLXThresholdingDelegate::activate(const QString& modelName)
{
    StackSlice* s = slice();
    Stack* document = s ? s->getStack() : nullptr;
    if (!document || s->isEmpty())
        return;
    const int index = document->findModel(modelName.toStdString());
    if (index < 0)
        return;
    if (isActive())
        cancel();
    m_model = document->getModel(index);
    m_dragging = false;
    PLXSliceEditWidgetMediatorDelegate::activate();
    canvas().setCursor(Qt::CrossCursor);
}

void PLXThresholdingDelegate::deactivate()
{
    m_model = nullptr;
    m_dragging = false;
    canvas().clearRubberBand();
    PLXSliceEditWidgetMediatorDelegate::deactivate();
}

bool PLXThresholdingDelegate::outline(const QRect& wanted)
{
    StackSlice* s = slice();
    if (!s || !m_model)
        return false;
    const QRect region = wanted.normalized().intersected(QRect(0, 0, s->width(), s->height()));
    if (region.width() < 3 || region.height() < 3)
        return false;
    const QString title = tr("Automatic thresholding");
    bool ok = false;
    const int smoothing =
        Dialogs::getInt(&canvas(), title, tr("Enter smoothing level:"), m_smoothing, 0, 50, 1, &ok);
    if (!ok)
        return false;
    m_smoothing = smoothing;

    PixelMatrix<float> m;
    try {
        PLXWorker worker;
        worker.run([&](PLXProgressProxy&) {
            m = readRegion(*s, region, smoothing);
            binarise(m);
        });
    } catch (const Exception& e) {
        Dialogs::warning(&canvas(), title, QString::fromStdString(e.getWhat()));
        return false;
    }
    int si = -1;
    int sj = -1;
    for (int i = 0; i < m.getSize1() && si < 0; ++i)
        for (int j = 0; j < m.getSize2(); ++j)
            if (m(i, j) == 255.0f) {
                si = i;
                sj = j;
                break;
            }
    if (si < 0) {
        Dialogs::warning(&canvas(), title, tr("No starting point found. Retry with another ROI."));
        return false;
    }

    const int decimation =
        Dialogs::getInt(&canvas(), title, tr("Enter decimation level:"), m_decimation, 0, 100, 5, &ok);
    if (!ok)
        return false;
    m_decimation = decimation;
    Curve<int> curve(2, 0, 0, 0, false);
    Thresholding<float>().extractCurve(curve, si, sj, m, decimation);
    // The boundary comes back to its start: a closed outline needs it once.
    while (curve.getNumVertices() > 1 && curve[curve.getNumVertices() - 1] == curve[0])
        curve.remove(curve.getNumVertices() - 1);
    const MPrimitive geometry = m_model->getGeometry();
    const int least = geometry == MPrimitive::Polygon ? 3 : geometry == MPrimitive::Polyline ? 2 : 1;
    if (curve.getNumVertices() < least) {
        Dialogs::information(&canvas(), tr("Automatic thresholding result"),
                             tr("The detected contour does not contain enough points\n"
                                "Hint: try using a smaller decimation level"));
        return false;
    }
    auto* item = new ModelItem(m_model, s);
    Vertices<int> vertices(2, 0, curve.getNumVertices(), 0);
    for (int k = 0; k < curve.getNumVertices(); ++k)
        vertices.append(Vector<int>{curve[k][1] + region.x(), curve[k][0] + region.y()});
    item->setVertices(vertices);
    if (geometry == MPrimitive::Polygon)
        item->setClockwise(false);
    pushStep({new PLXItemCreationAction(*item)});
    getSliceEditWidgetMediator().getStatusBar()->showMessage(
        tr("Curve created with %1 vertices").arg(curve.getNumVertices()));
    return true;
}

void PLXThresholdingDelegate::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        cancel();
    } else if (event->button() == Qt::LeftButton) {
        m_origin = imagePosition(event->position());
        m_dragging = true;
    }
    event->accept();
}

void PLXThresholdingDelegate::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        canvas().setRubberBand(QRect(m_origin, imagePosition(event->position())));
    event->accept();
}

void PLXThresholdingDelegate::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    canvas().clearRubberBand();
    outline(QRect(m_origin, imagePosition(event->position())));
    if (isActive())
        deactivate();
}

void PLXThresholdingDelegate::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        cancel();
        event->accept();
    }
}

void PLXThresholdingDelegate::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}
