#pragma once
// ViewerMediator: the behaviour of a 3D viewer: ties its canvas and pose
// panel together, owns the automatic motions and the animation, and offers
// the viewer's commands as actions for the windows' menus (snapshot, video
// recording, standard poses, motions, animation).
//
// Video recording belongs to the window that embeds the viewer: "Record"
// probes the video encoder and, when it answers, calls startVideoRecorder(),
// which such a window's mediator overrides.

#include "gl/vieweranimation.h"
#include "gl/viewerrandommotion.h"
#include "gl/viewerspinningmotion.h"
#include "stack/pose.h"

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class ViewerCanvasGL;
class ViewerPosePanel;

class ViewerMediator : public QObject {
    Q_OBJECT
public:
    explicit ViewerMediator(QObject* parent = nullptr);
    ~ViewerMediator() override;

    // Not owned. The canvas gets the mediator's key filter (R toggles the
    // random motion; Delete is kept from the canvas).
    void setCanvas(ViewerCanvasGL* canvas);
    ViewerCanvasGL* getCanvas() const { return m_canvas; }
    void setPosePanel(ViewerPosePanel* panel);
    ViewerPosePanel* getPosePanel() const { return m_panel; }

    // Puts canvas and panel in the starting pose and lights and connects
    // them, the motions and the animation. Call once both are set.
    void initialize();
    // Made by the constructor; a second call does nothing.
    void createActions();
    // "Snapshot", "Record".
    void populateFileMenu(QMenu* menu);
    // The standard poses, the reverse poses, a separator, then the
    // animation and motion actions.
    void populatePoseMenu(QMenu* menu);

    QAction* getSnapshotAction() const { return m_snapshot; }
    QAction* getRecordAction() const { return m_record; }
    QAction* getRandomMotionAction() const { return m_randomMotion; }
    QAction* getSpinningMotionAction() const { return m_spinningMotion; }
    QAction* getMotionAngleAction() const { return m_motionAngle; }
    QAction* getMotionTimeoutAction() const { return m_motionTimeout; }
    QAction* getAnimationAction() const { return m_animation; }
    // k = 1 .. 3.
    QAction* getStandardPoseAction(int k) const { return m_standardPose[k - 1]; }
    QAction* getReverseStandardPoseAction(int k) const { return m_reversePose[k - 1]; }

    ViewerRandomMotion& getRandomMotion() { return m_random; }
    ViewerSpinningMotion& getSpinningMotion() { return m_spinning; }
    ViewerAnimation& getAnimation() { return m_anim; }

    // The program probed by "Record" (default "ffmpeg").
    void setEncoderProgram(const QString& program) { m_encoder = program; }
    const QString& getEncoderProgram() const { return m_encoder; }

public slots:
    void setPose(const Pose& pose);
    void resetPose();
    void setStandardPose1();
    void setStandardPose2();
    void setStandardPose3();
    void setRevStandardPose1();
    void setRevStandardPose2();
    void setRevStandardPose3();
    // Ask for the motions' angle step and timer interval (both motions).
    void setRandomMotionAngle();
    void setRandomMotionTimeout();
    // The spinning motion stops before the random one starts: never both.
    void toggleRandomMotion();
    void toggleSpinningMotion();
    // Animates the canvas's shape painters.
    void toggleAnimation();
    void snapshot();
    // Runs the encoder with "-L"; on success startVideoRecorder(), otherwise
    // a message asking to install it.
    void videoStart();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The encoder is there: the embedding window starts recording. Nothing
    // here.
    virtual void startVideoRecorder();

private:
    // Starts a motion from the canvas's current orientation.
    void startMotion(ViewerMotion& motion);

    ViewerCanvasGL* m_canvas = nullptr;
    ViewerPosePanel* m_panel = nullptr;
    ViewerRandomMotion m_random;
    ViewerSpinningMotion m_spinning;
    ViewerAnimation m_anim;
    QString m_encoder = QStringLiteral("ffmpeg");

    QAction* m_snapshot = nullptr;
    QAction* m_record = nullptr;
    QAction* m_randomMotion = nullptr;
    QAction* m_spinningMotion = nullptr;
    QAction* m_motionAngle = nullptr;
    QAction* m_motionTimeout = nullptr;
    QAction* m_animation = nullptr;
    QAction* m_standardPose[3] = {};
    QAction* m_reversePose[3] = {};
};
