#pragma once
// PLXFourierDelegate: "Smooth (Fourier)": smooths a closed outline by
// keeping its lowest Fourier descriptors. The dialog ("Fourier smoothing")
// sets either the number of descriptors kept or the fidelity, the share of
// the outline's amplitude spectrum they hold (in percent); each follows the
// other.

#include "app/slice/plxoutlinetooldelegate.h"

#include "numerics/vector.h"

#include <QDoubleSpinBox>
#include <QPointer>
#include <QSpinBox>

class PLXFourierDelegate : public PLXOutlineToolDelegate {
    Q_OBJECT
public:
    explicit PLXFourierDelegate(PLXSliceEditWidgetMediator* mediator);

    // The fidelity first proposed, as a fraction.
    static constexpr float initialFidelity = 0.95f;

protected:
    QDialog* makeDialog(const ModelItem& item) override;
    bool compute(const ModelItem& item, Vertices<int>& result) override;
    QString title() const override;

private:
    QPointer<QSpinBox> m_descriptors;
    QPointer<QDoubleSpinBox> m_fidelity;
    Vector<float> m_re;
    Vector<float> m_im;
};
