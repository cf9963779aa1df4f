#pragma once
// PLXRegistrationMediator: the behaviour of the registration window. It keeps
// the stack, the current slice (the foreground; never the first slice, which
// has no previous slice) and the registration being edited, and ties the
// canvas, the panel and the automatic-registration panel together.
//
// Navigation: "First" selects the second slice, "Prev" the previous slice
// (not before the second), "Next" the next, "Last" the last; the panel's list
// and setSlice(name) any slice but the first. Leaving a slice applies its
// pending registration first.
//
// Editing: the panel's fields, the canvas's drags and the automatic
// registration set the registration being edited; Reset makes it the
// identity, Restore the slice's stored one. Apply stores it, when it differs,
// through one undoable registration action on the stack's history (which
// brings the reconstruction up to date, marks the stack modified and sends a
// stack registration event).
//
// Automatic registration runs in a worker thread, which reads the images
// itself (from copies of the slices' image sources), with a progress dialog
// whose Cancel stops it between slices. Registering all slices goes from the
// second slice to the last and is one undo step, whose single undo restores
// every previous registration; a cancelled run keeps the slices done. The
// mediator's progress subject (getProgress) reports "Running automatic
// registration..." and one step per slice to its monitors (the status bar).
//
// Without a stack or a current slice, navigation and registration commands
// do nothing ("First" and "Last" need only the stack). The mediator follows
// the document: an undone or redone registration shows the slice's stored
// registration, slice insertions and deletions refresh the list, a new
// calibration of a shown slice remakes the display images, and the stack's
// close asks for the window to close (stackClosing).

#include "app/plxeventclient.h"
#include "app/tools/plxautomaticregistrationpanel.h"
#include "stack/registration.h"

#include <QObject>
#include <QString>

#include <memory>

class PLXProgressProxy;
class PLXRegistrationCanvas;
class PLXRegistrationPanel;
class PLXStack;
class PLXWorker;
class QWidget;
class StackSlice;

class PLXRegistrationMediator : public QObject, public PLXEventClient {
    Q_OBJECT
public:
    // The window parents the dialogs; canvas and panel are the window's.
    PLXRegistrationMediator(QWidget* window, PLXRegistrationCanvas& canvas, PLXRegistrationPanel& panel,
                            QObject* parent = nullptr);
    ~PLXRegistrationMediator() override;

    PLXStack* getStack() const { return m_stack; }
    StackSlice* getSlice() const { return m_slice; }
    const Registration& getRegistration() const { return m_registration; }
    // Forgets the stack (the window closes).
    void clearStack();

    // The progress of the automatic registration, on the GUI side.
    PLXProgressProxy& getProgress() const;
    PLXWorker& getWorker() const { return *m_worker; }

public slots:
    // UsageError "Cannot perform registration without at least 2 slices"
    // for a shorter stack. Clears the canvas; no slice is current.
    void setStack(PLXStack& stack);
    void setSlice(StackSlice& slice);
    void setSlice(const QString& name);
    void setFirstSlice();
    void setPreviousSlice();
    void setNextSlice();
    void setLastSlice();
    void setRegistration(const Registration& registration);
    void reset();
    void restore();
    void apply();
    void cancel();
    void increaseScale();
    void decreaseScale();
    void registerCurrentSlice();
    void registerAllSlices();
    void runAutomaticRegistration(const PLXAutomaticRegistrationConfig& config);
    // Stops a running automatic registration (between two slices).
    void cancelAutomaticRegistration();

signals:
    // Cancel was chosen, or the stack is closing: the window should close.
    void closeRequested();

protected:
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void stackNameEvent(PLXStackNameEvent& e) override;
    void stackRegistrationEvent(PLXStackRegistrationEvent& e) override;
    void sliceNameEvent(PLXSliceNameEvent& e) override;
    void sliceImageCalibrationEvent(PLXSliceImageCalibrationEvent& e) override;
    void processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action) override;

private:
    // Shows the slice and its previous one and restores its registration,
    // without applying anything.
    void showSlice(StackSlice* slice);
    void showCanvas();
    void showStoredRegistration();
    void report(const QString& title, const QString& text);

    QWidget* m_window;
    PLXRegistrationCanvas& m_canvas;
    PLXRegistrationPanel& m_panel;
    std::unique_ptr<PLXWorker> m_worker;
    PLXStack* m_stack = nullptr;
    StackSlice* m_slice = nullptr;
    Registration m_registration;
};
