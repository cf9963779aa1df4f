#include "app/slice/plxreorigindelegate.h"

#include "app/slice/plxoutlines.h"
#include "app/slice/plxoutlinevaluedialog.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "stack/modelitem.h"

#include <algorithm>

PLXReoriginDelegate::PLXReoriginDelegate(PLXSliceEditWidgetMediator* mediator) : PLXOutlineToolDelegate(mediator)
{
}

QString PLXReoriginDelegate::title() const
{
    return tr("Contour reparameterization");
}

QDialog* PLXReoriginDelegate::makeDialog(const ModelItem& item)
{
    auto* dialog =
        new PLXOutlineValueDialog(title(), tr("Origin"), 0, std::max(0, item.getSize() - 1), 0, &canvas());
    m_origin = dialog->getSpinBox();
    connect(dialog, &PLXOutlineValueDialog::valueChanged, this, &PLXReoriginDelegate::showOrigin);
    return dialog;
}

void PLXReoriginDelegate::showOrigin()
{
    preview();
    if (ModelItem* copy = getWorkingCopy(); copy && copy->getSize() > 0) {
        copy->getSelection().set(true, 0, true);
        canvas().updateExtraItem();
    }
}

bool PLXReoriginDelegate::compute(const ModelItem& item, Vertices<int>& result)
{
    if (!m_origin)
        return false;
    result = plxoutlines::toVertices(item.getVertices());
    result.setOrigin(m_origin->value());
    return true;
}
