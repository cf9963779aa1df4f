#pragma once
// PLXRenderingMediator: the behaviour of the rendering window: a 3D viewer
// (ViewerMediator) showing the models of one application stack, one
// PLXRenderingPainterGL per model in the stack's model order, kept in step
// with the stack through its events.
//
// Keeping in step: an event about one model or item of the shown stack
// (model created, deleted or edited; item created, deleted, converted,
// moved or restyled) rebuilds only that model's painter and repaints.
// Events that move the whole stack (image calibration, slice spacing,
// registration) rebuild every painter; slice insertions and deletions do so
// at once. While an event batch is open nothing is rebuilt: the mediator
// only notes that it must refresh, and refreshes once when the batch ends.
//
// Commands (actions owned here, placed by the window): STL export, pose
// recording with the "Select" and "Delete" pose submenus (disabled while the
// stack has no pose; recording and deleting a pose are steps of the stack's
// history), the animation angle and interval, the previous and
// next open stack, model editing (editModelsRequested), video recording of
// the view (the recorder dialog, PLXVideoRecorder) and two one-click
// movies: a turntable (one full turn about the view's vertical axis) and a
// flight through the stack's poses, rendered frame by frame with the
// view's camera, each frame written by a worker and the video made by the
// encoder.
//
// A stack-wide rebuild the user cancelled leaves the view showing the
// shapes from before the change: the mediator is then out of date
// (outOfDateChanged) until a rebuild runs to its end, the next change of
// the stack or "Rebuild" (enabled only while out of date). Meanwhile
// "Export to STL..." is disabled, its tool tip saying why: the files would
// not be the shapes on screen.
//
// Without a canvas the mediator still builds and keeps its painters (for
// batch work and tests); it draws nothing.

#include "app/plxeventclient.h"
#include "gl/viewermediator.h"
#include "stack/stackreconstruction.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class Model;
class PLXProgressDialog;
class PLXRenderingPainterGL;
class PLXStack;
class PLXVideoRecorder;
class QAction;
class QMenu;
class QWidget;
struct PLXCamera;

class PLXRenderingMediator : public ViewerMediator, public PLXEventClient {
    Q_OBJECT
public:
    explicit PLXRenderingMediator(QObject* parent = nullptr);
    ~PLXRenderingMediator() override;

    // The window that owns the dialogs, and whose title shows the stack's name.
    void setWindow(QWidget* window) { m_window = window; }
    QWidget* getWindow() const { return m_window; }

    // Shows stack: for another stack than the one shown, every painter is
    // replaced by one per model of stack; in every case the title becomes the
    // stack's name and the view is reset to the scene. The painters of
    // another stack are built in a worker behind a progress dialog; false
    // when the user cancelled it, leaving the stack shown and its painters
    // as they were.
    bool setStack(PLXStack& stack);
    PLXStack* getStack() const { return m_stack; }
    // Rebuilds every painter from the stack, in a worker behind a progress
    // dialog. False when cancelled (the painters stay as they were, and the
    // next change of the stack rebuilds them) or while a build runs (it is
    // redone when that one ends).
    bool refresh();
    // Adds a painter for a model of the shown stack (kept in model order).
    void addModel(Model& model);
    // Removes every painter from the canvas and destroys it.
    void deletePainters();

    const std::vector<std::unique_ptr<PLXRenderingPainterGL>>& getPainters() const { return m_painters; }
    // The painter of model, null if none.
    PLXRenderingPainterGL* findPainter(const Model* model) const;
    // Set while a batch holds back a rebuild.
    bool needsRefresh() const { return m_needsRefresh; }
    // Set when a rebuild of every painter was cancelled: the view shows the
    // stack as it was before its last change.
    bool isOutOfDate() const { return m_outOfDate; }
    // The reconstruction the painters are built from (bound to the stack shown).
    const StackReconstruction<float>& getReconstruction() const { return m_reconstruction; }

    // Actions --------------------------------------------------------------------------

    QAction* getExportAction() const { return m_export; }
    // "Rebuild": every painter from the stack as it is (refresh()).
    QAction* getRebuildAction() const { return m_rebuild; }
    QAction* getEditModelsAction() const { return m_editModels; }
    QAction* getAnimationTimeoutAction() const { return m_animationTimeout; }
    QAction* getAnimationAngleAction() const { return m_animationAngle; }
    QAction* getRecordPoseAction() const { return m_recordPose; }
    QMenu* getSelectPoseMenu() const { return m_selectPose.get(); }
    QMenu* getDeletePoseMenu() const { return m_deletePose.get(); }
    QAction* getResetAction() const { return m_reset; }
    QAction* getRandomRotationAction() const { return m_randomRotation; }
    QAction* getVideoStartAction() const { return m_videoStart; }
    QAction* getPreviousStackAction() const { return m_previousStack; }
    QAction* getNextStackAction() const { return m_nextStack; }
    QAction* getTurntableAction() const { return m_turntable; }
    QAction* getPoseFlightAction() const { return m_poseFlight; }

    // The recorder dialog while it is open.
    PLXVideoRecorder* getVideoRecorder() const;

    // Movies -----------------------------------------------------------------------------

    // Renders a turntable (a flight through the stack's poses) of seconds at
    // fps into file, and makes the video. False on failure (getMovieError()
    // says why; empty when the user cancelled). The view's camera is put
    // back afterwards.
    bool makeTurntable(const QString& file, double seconds, int fps);
    bool makePoseFlight(const QString& file, double seconds, int fps);
    const QString& getMovieError() const { return m_movieError; }

    // The file the save dialogs propose: the stack file's name (or the
    // stack's) with suffix, in the home directory.
    QString suggestedFileName(const QString& suffix) const;

public slots:
    void export2AsciiSTL();
    void setNextStack();
    void setPreviousStack();
    // "Record...": names the view's pose and adds it to the stack.
    void recordPose();
    void selectPose(int index);
    void deletePose(int index);
    void setAnimationAngle();
    void setAnimationTimeout();
    void editModels();
    // Ask for duration and frame rate, then the file, then make the movie.
    void turntableMovie();
    void poseFlightMovie();

signals:
    // After every change of the painters (a refresh, one model's rebuild).
    void paintersChanged();
    void outOfDateChanged(bool outOfDate);
    void stackShown(PLXStack* stack);
    // The stack shown is being closed: the window goes.
    void stackClosed();
    void editModelsRequested(PLXStack* stack);

protected:
    void startVideoRecorder() override;

    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void stackOpenEvent(PLXStackOpenEvent& e) override;
    void stackNameEvent(PLXStackNameEvent& e) override;
    void stackRegistrationEvent(PLXStackRegistrationEvent& e) override;
    void stackSliceSpacingEvent(PLXStackSliceSpacingEvent& e) override;
    void stackImageCalibrationEvent(PLXStackImageCalibrationEvent& e) override;
    void processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action) override;
    void modelCreateEvent(PLXModelCreateEvent& e) override;
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;
    void modelPropertiesEvent(PLXModelPropertiesEvent& e) override;
    void modelItemCreateEvent(PLXModelItemCreateEvent& e) override;
    void modelItemDeleteEvent(PLXModelItemDeleteEvent& e) override;
    void modelItemVertexEvent(PLXModelItemVertexEvent& e) override;
    void modelItemAttributeEvent(PLXModelItemAttributeEvent& e) override;
    void modelItemConvertEvent(PLXModelItemConvertEvent& e) override;
    void poseCreateEvent(PLXPoseCreateEvent& e) override;
    void poseDeleteEvent(PLXPoseDeleteEvent& e) override;
    void atEventBatchEnd() override;

private:
    enum class Movie { None, Turntable, Flight };

    void createRenderingActions();
    // A new painter for model; null (and a message noted) when it cannot be
    // built.
    static std::unique_ptr<PLXRenderingPainterGL> buildPainter(const Model& model,
                                                               const StackReconstruction<float>& reconstruction,
                                                               QStringList& problems);
    // One painter per model (those that can be shown), built in a worker
    // while the GUI thread goes on; with a dialog, progress per model and a
    // cancel. False when cancelled (out untouched).
    bool buildPainters(const std::vector<const Model*>& models, const StackReconstruction<float>& reconstruction,
                       std::vector<std::unique_ptr<PLXRenderingPainterGL>>& out, QStringList& problems,
                       PLXProgressDialog* dialog);
    // Every model of stack, behind a "Reconstructing" progress dialog.
    bool buildPainters(const PLXStack& stack, const StackReconstruction<float>& reconstruction,
                       std::vector<std::unique_ptr<PLXRenderingPainterGL>>& out, QStringList& problems);
    // The painter of one model, built in a worker without a dialog. False
    // when the caller has nothing left to do: a build was under way (it is
    // followed by a whole rebuild) or a change came in meanwhile (everything
    // has just been rebuilt).
    bool buildPainterOf(const Model& model, std::vector<std::unique_ptr<PLXRenderingPainterGL>>& built,
                        QStringList& problems);
    // The window, or its parent while the window is not shown yet.
    QWidget* dialogParent() const;
    void rebuildPainter(const Model* model);
    void removePainter(const Model* model);
    // Gives the canvas the painters and repaints; announces the change.
    void showPainters(bool resetView);
    void reportProblems(const QStringList& problems);
    // A whole-stack change: at once, or at the end of the open batch.
    void stackGeometryChanged(const PLXStack& stack);
    void rebuildPoseMenus();
    void updateStackActions(int openStacks);
    void updateTitle();
    void setOutOfDate(bool on);
    bool shows(const Model* model) const;
    bool askMovie(Movie kind);
    bool makeMovie(const std::vector<PLXCamera>& cameras, int fps, const QString& file);
    PLXCamera currentCamera() const;
    void applyCamera(const PLXCamera& camera);

    QWidget* m_window = nullptr;
    PLXStack* m_stack = nullptr;
    StackReconstruction<float> m_reconstruction;
    std::vector<std::unique_ptr<PLXRenderingPainterGL>> m_painters;
    bool m_needsRefresh = false;
    bool m_building = false;
    bool m_outOfDate = false;
    Movie m_pendingMovie = Movie::None;
    QString m_movieError;
    QPointer<PLXVideoRecorder> m_recorder;

    QAction* m_export = nullptr;
    QAction* m_rebuild = nullptr;
    QAction* m_editModels = nullptr;
    QAction* m_animationTimeout = nullptr;
    QAction* m_animationAngle = nullptr;
    QAction* m_recordPose = nullptr;
    std::unique_ptr<QMenu> m_selectPose;
    std::unique_ptr<QMenu> m_deletePose;
    QAction* m_reset = nullptr;
    QAction* m_randomRotation = nullptr;
    QAction* m_videoStart = nullptr;
    QAction* m_previousStack = nullptr;
    QAction* m_nextStack = nullptr;
    QAction* m_turntable = nullptr;
    QAction* m_poseFlight = nullptr;
};
