#pragma once
// PLXDouglasPeuckerDelegate: "Decimate (Douglas-Peucker)": simplifies the
// outline to a tolerance in pixels, 0 to 100 (dialog "Douglas-Peucker
// decimation", value "Tolerance (pixels)"); an open outline keeps its ends.
// A result of fewer than 3 vertices is refused.

#include "app/slice/plxoutlinetooldelegate.h"

#include <QPointer>
#include <QSpinBox>

class PLXDouglasPeuckerDelegate : public PLXOutlineToolDelegate {
    Q_OBJECT
public:
    explicit PLXDouglasPeuckerDelegate(PLXSliceEditWidgetMediator* mediator);

protected:
    QDialog* makeDialog(const ModelItem& item) override;
    bool compute(const ModelItem& item, Vertices<int>& result) override;
    QString refusal(const Vertices<int>& result) const override;
    QString title() const override;

private:
    QPointer<QSpinBox> m_tolerance;
};
