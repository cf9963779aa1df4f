#pragma once
// PLXReoriginDelegate: "Change origin": makes another vertex the outline's
// first (dialog "Contour reparameterization", value "Origin", 0 to the
// vertex count - 1). The preview marks the chosen origin as selected.

#include "app/slice/plxoutlinetooldelegate.h"

#include <QPointer>
#include <QSpinBox>

class PLXReoriginDelegate : public PLXOutlineToolDelegate {
    Q_OBJECT
public:
    explicit PLXReoriginDelegate(PLXSliceEditWidgetMediator* mediator);

protected:
    QDialog* makeDialog(const ModelItem& item) override;
    bool compute(const ModelItem& item, Vertices<int>& result) override;
    QString title() const override;

private:
    void showOrigin();

    QPointer<QSpinBox> m_origin;
};
