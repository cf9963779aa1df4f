#include "app/slice/plxfourierdelegate.h"

#include "app/slice/plxoutlines.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "geometry/fourierdescriptors.h"
#include "stack/modelitem.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSignalBlocker>

#include <algorithm>

PLXFourierDelegate::PLXFourierDelegate(PLXSliceEditWidgetMediator* mediator) : PLXOutlineToolDelegate(mediator) {}

QString PLXFourierDelegate::title() const
{
    return tr("Fourier smoothing");
}

QDialog* PLXFourierDelegate::makeDialog(const ModelItem& item)
{
    const FourierDescriptors<double> fourier;
    fourier.computeForward(plxoutlines::toCurve<double>(item.getVertices(), false), m_re, m_im);
    const int most = std::max(0, item.getSize() / 2);

    auto* dialog = new QDialog(&canvas());
    dialog->setWindowTitle(title());
    m_descriptors = new QSpinBox(dialog);
    m_descriptors->setRange(0, most);
    m_fidelity = new QDoubleSpinBox(dialog);
    m_fidelity->setRange(0.0, 100.0);
    m_fidelity->setDecimals(1);
    m_fidelity->setSingleStep(0.5);
    const int initial = std::min(most, fourier.numDescriptorsFromFidelity(m_re, m_im, initialFidelity));
    m_descriptors->setValue(initial);
    m_fidelity->setValue(100.0 * fourier.fidelityFromNumDescriptors(m_re, m_im, initial));

    connect(m_descriptors, &QSpinBox::valueChanged, this, [this](int n) {
        const QSignalBlocker block(m_fidelity);
        m_fidelity->setValue(100.0 * FourierDescriptors<double>().fidelityFromNumDescriptors(m_re, m_im, n));
        preview();
    });
    connect(m_fidelity, &QDoubleSpinBox::valueChanged, this, [this](double percent) {
        const int n = FourierDescriptors<double>().numDescriptorsFromFidelity(m_re, m_im,
                                                                            static_cast<float>(percent / 100.0));
        const QSignalBlocker block(m_descriptors);
        m_descriptors->setValue(n);
        preview();
    });

    auto* form = new QFormLayout(dialog);
    form->addRow(tr("Fidelity (%)"), m_fidelity);
    form->addRow(tr("Descriptors"), m_descriptors);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    form->addRow(buttons);
    return dialog;
}

bool PLXFourierDelegate::compute(const ModelItem& item, Vertices<int>& result)
{
    if (!m_descriptors || item.getSize() < 3)
        return false;
    Curve<double> curve = plxoutlines::toCurve<double>(item.getVertices(), false);
    FourierDescriptors<double>().filter(curve, m_descriptors->value());
    result = plxoutlines::toVertices(curve);
    return true;
}
