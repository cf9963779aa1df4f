#pragma once
// PLXSnakeDelegate: "Run Snake": an active contour starts from the one
// wholly selected closed outline and moves to the nearby edges of the slice
// image, with the snake configuration of the outline's model (the default
// one when the model has none), at most 2000 steps per slice. The result
// becomes a new item of the same model on the slice; the outline stays.
//
// Over the stack (setRunOverStack), the user chooses how many slices on
// each side to process ("nSlices", 0 for all); the current slice goes
// first, then the slices below it downwards, then those above it upwards.
// With propagation, each result is the starting outline on the next slice
// processed; otherwise, and after a failure, every slice starts from the
// selected outline. The computation runs in a worker thread behind a
// progress dialog ("Running snake...") whose Cancel stops it after the
// slice being processed; whatever was made until then is kept. All the new
// items form one undo step. Failures are reported in one box once the run
// is over.
//
// "Snake parameters..." (configure) edits the selected outline's model's
// parameters and the tool's two choices; the last ones accepted are
// remembered between runs of the program (PLXSnakeConfigDialog), and a
// model without parameters of its own runs with the remembered ones.

#include "app/slice/plxsliceeditwidgetmediatordelegate.h"

#include <QStringList>

class ModelItem;

class PLXSnakeDelegate : public PLXSliceEditWidgetMediatorDelegate {
    Q_OBJECT
public:
    explicit PLXSnakeDelegate(PLXSliceEditWidgetMediator* mediator);

    static constexpr int maxIterations = 2000;

    // The tool's own settings beside the model's snake configuration.
    void setRunOverStack(bool on) { m_overStack = on; }
    bool isRunOverStack() const { return m_overStack; }
    void setPropagationEnabled(bool on) { m_propagation = on; }
    bool isPropagationEnabled() const { return m_propagation; }

    // Whether the last run was cancelled, and the slices it failed on.
    bool wasCanceled() const { return m_canceled; }
    const QStringList& getFailures() const { return m_failures; }

public slots:
    void activate() override;
    // Asks for the parameters (modal dialog); returns whether accepted.
    bool configure();

private:
    bool m_overStack = false;
    bool m_propagation = true;
    bool m_canceled = false;
    QStringList m_failures;
};
