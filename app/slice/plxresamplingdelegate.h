#pragma once
// PLXResamplingDelegate: "Resample": redistributes the outline's vertices at
// equal spacing along it, to a count chosen from 3 to the outline's length
// in pixels (dialog "Contour resampling", value "Vertices").

#include "app/slice/plxoutlinetooldelegate.h"

#include <QPointer>
#include <QSpinBox>

class PLXResamplingDelegate : public PLXOutlineToolDelegate {
    Q_OBJECT
public:
    explicit PLXResamplingDelegate(PLXSliceEditWidgetMediator* mediator);

protected:
    QDialog* makeDialog(const ModelItem& item) override;
    bool compute(const ModelItem& item, Vertices<int>& result) override;
    QString title() const override;

private:
    QPointer<QSpinBox> m_count;
};
