#pragma once
// PLXSliceEditWidgetMediatorDelegate: a tool of the slice editor. Besides
// the delegate's event handling it reaches the editor (its canvas, slice,
// stack and undo history) and takes part in the editor's one-tool rule:
// activating a tool cancels the tool active before it (the selection tool
// excepted, which is active whenever a slice is shown), shows the tool's
// mode and, for tools that need the user's whole attention, requests the
// slice lock until the tool is deactivated.
//
// Positions handed to the document are image pixels: imagePosition()
// converts a canvas position.

#include "app/slice/plximagewidgetmediatordelegate.h"

#include <QPoint>
#include <QString>

#include <vector>

class PLXAction;
class PLXActionHistory;
class PLXSliceEditWidgetCanvas;
class PLXSliceEditWidgetMediator;
class PLXStack;
class StackSlice;

class PLXSliceEditWidgetMediatorDelegate : public PLXImageWidgetMediatorDelegate {
    Q_OBJECT
public:
    explicit PLXSliceEditWidgetMediatorDelegate(PLXSliceEditWidgetMediator* mediator);

    PLXSliceEditWidgetMediator& getSliceEditWidgetMediator() const { return *m_editor; }

    // What the tool shows while active ("CREATE"; empty: "READY"), and
    // whether it takes the slice lock.
    const QString& getMode() const { return m_mode; }
    bool isLocking() const { return m_locking; }

public slots:
    void activate() override;
    void deactivate() override;
    // Ends the tool without changing anything (nothing when inactive).
    virtual void cancel();

protected:
    PLXSliceEditWidgetCanvas& canvas() const;
    StackSlice* slice() const;
    PLXStack* stack() const;
    // The image pixel under a canvas position.
    QPoint imagePosition(const QPointF& canvasPosition) const;
    // The click tolerance at the canvas's zoom, in image pixels.
    int tolerance() const;
    // Applies the actions and pushes them on the stack's history as one step.
    void pushStep(const std::vector<PLXAction*>& actions) const;

    // Read when the tool is activated.
    void setMode(const QString& mode) { m_mode = mode; }
    void setLocking(bool locking) { m_locking = locking; }
    // Changes the mode text while the tool is active.
    void showMode(const QString& mode);

private:
    PLXSliceEditWidgetMediator* m_editor;
    QString m_mode;
    bool m_locking = true;
};
