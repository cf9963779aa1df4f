#pragma once
// PLXOutlineToolDelegate: the base of the tools that rewrite one outline
// from one or two values chosen in a modal dialog (resampling,
// Douglas-Peucker decimation, change of origin, Fourier smoothing). The
// tool works on the one item wholly selected. While the dialog is open the
// result is shown live on a working copy (the canvas's extra item, drawn
// over the item); on acceptance the item's vertices are replaced by one
// vertices change action in its own undo step; on cancel nothing changes.

#include "app/slice/plxsliceeditwidgetmediatordelegate.h"

#include "geometry/vertices.h"

#include <QString>

class ModelItem;
class QDialog;

class PLXOutlineToolDelegate : public PLXSliceEditWidgetMediatorDelegate {
    Q_OBJECT
public:
    explicit PLXOutlineToolDelegate(PLXSliceEditWidgetMediator* mediator);
    ~PLXOutlineToolDelegate() override;

    // The item rewritten and its working copy (null when inactive).
    ModelItem* getItem() const { return m_item; }
    ModelItem* getWorkingCopy() const { return m_copy; }

public slots:
    // Runs the tool on the one wholly selected item (nothing without one).
    void activate() override;

protected:
    // The dialog for the item; its value changes call preview().
    virtual QDialog* makeDialog(const ModelItem& item) = 0;
    // The new vertices for the dialog's values; false when there are none.
    virtual bool compute(const ModelItem& item, Vertices<int>& result) = 0;
    // Why a result cannot be taken (empty: it can), shown in a warning box.
    virtual QString refusal(const Vertices<int>&) const { return {}; }
    // The title of that box.
    virtual QString title() const = 0;
    // Shows the result of the dialog's present values on the working copy.
    void preview();

private:
    ModelItem* m_item = nullptr;
    ModelItem* m_copy = nullptr;
};
