#include "app/slice/plxresamplingdelegate.h"

#include "app/slice/plxoutlines.h"
#include "app/slice/plxoutlinevaluedialog.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "geometry/curveresampling.h"
#include "stack/modelitem.h"

#include <QSpinBox>

#include <algorithm>
#include <cmath>

PLXResamplingDelegate::PLXResamplingDelegate(PLXSliceEditWidgetMediator* mediator)
    : PLXOutlineToolDelegate(mediator)
{
}

QString PLXResamplingDelegate::title() const
{
    return tr("Contour resampling");
}

QDialog* PLXResamplingDelegate::makeDialog(const ModelItem& item)
{
    const double length = plxoutlines::toCurve<double>(item.getVertices(), !item.isClosed()).length();
    const int most = std::max(3, static_cast<int>(std::floor(length)));
    auto* dialog = new PLXOutlineValueDialog(title(), tr("Vertices"), 3, most,
                                             std::clamp(item.getSize(), 3, most), &canvas());
    m_count = dialog->getSpinBox();
    connect(dialog, &PLXOutlineValueDialog::valueChanged, this, &PLXResamplingDelegate::preview);
    return dialog;
}

bool PLXResamplingDelegate::compute(const ModelItem& item, Vertices<int>& result)
{
    if (!m_count || item.getSize() < 2)
        return false;
    const Curve<double> in = plxoutlines::toCurve<double>(item.getVertices(), !item.isClosed());
    Curve<double> out;
    CurveResampling<double>().apply(in, out, m_count->value());
    result = plxoutlines::toVertices(out);
    return true;
}
