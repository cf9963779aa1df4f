#include "app/slice/plxdouglaspeuckerdelegate.h"

#include "app/slice/plxoutlines.h"
#include "app/slice/plxoutlinevaluedialog.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "geometry/douglaspeuckercurvedecimation.h"
#include "stack/modelitem.h"

PLXDouglasPeuckerDelegate::PLXDouglasPeuckerDelegate(PLXSliceEditWidgetMediator* mediator)
    : PLXOutlineToolDelegate(mediator)
{
}

QString PLXDouglasPeuckerDelegate::title() const
{
    return tr("Douglas-Peucker decimation");
}

QDialog* PLXDouglasPeuckerDelegate::makeDialog(const ModelItem&)
{
    auto* dialog = new PLXOutlineValueDialog(title(), tr("Tolerance (pixels)"), 0, 100, 1, &canvas());
    m_tolerance = dialog->getSpinBox();
    connect(dialog, &PLXOutlineValueDialog::valueChanged, this, &PLXDouglasPeuckerDelegate::preview);
    return dialog;
}

bool PLXDouglasPeuckerDelegate::compute(const ModelItem& item, Vertices<int>& result)
{
    if (!m_tolerance)
        return false;
    Curve<int> curve = plxoutlines::toCurve<int>(item.getVertices(), !item.isClosed());
    DouglasPeuckerCurveDecimation<int> decimation;
    decimation.setTolerance(m_tolerance->value());
    decimation.apply(curve);
    result = plxoutlines::toVertices(curve);
    return true;
}

QString PLXDouglasPeuckerDelegate::refusal(const Vertices<int>& result) const
{
    return result.getNumVertices() < 3 ? tr("Cannot decimate to less than 3 vertices") : QString();
}
