#include "gl/viewermediator.h"

#include "gl/dialogs.h"
#include "gl/shapeviewerpaintergl.h"
#include "gl/viewercanvasgl.h"
#include "gl/viewerposepanel.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QProcess>

ViewerMediator::ViewerMediator(QObject* parent) : QObject(parent)
{
    createActions();
}

ViewerMediator::~ViewerMediator() = default;

void ViewerMediator::setCanvas(ViewerCanvasGL* canvas)
{
    if (m_canvas)
        m_canvas->removeEventFilter(this);
    m_canvas = canvas;
    if (m_canvas)
        m_canvas->installEventFilter(this);
}

void ViewerMediator::setPosePanel(ViewerPosePanel* panel)
{
    m_panel = panel;
}

void ViewerMediator::createActions()
{
    if (m_snapshot)
        return;
    auto action = [this](const QString& text, auto slot) {
        auto* a = new QAction(text, this);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    m_snapshot = action(tr("Snapshot"), &ViewerMediator::snapshot);
    m_record = action(tr("Record"), &ViewerMediator::videoStart);
    m_randomMotion = action(tr("Toggle random motion"), &ViewerMediator::toggleRandomMotion);
    m_spinningMotion = action(tr("Toggle spinning motion"), &ViewerMediator::toggleSpinningMotion);
    m_motionAngle = action(tr("Set motion angle..."), &ViewerMediator::setRandomMotionAngle);
    m_motionTimeout = action(tr("Set motion timeout..."), &ViewerMediator::setRandomMotionTimeout);
    m_animation = action(tr("Toggle animation"), &ViewerMediator::toggleAnimation);
    m_standardPose[0] = action(tr("Standard pose 1"), &ViewerMediator::setStandardPose1);
    m_standardPose[1] = action(tr("Standard pose 2"), &ViewerMediator::setStandardPose2);
    m_standardPose[2] = action(tr("Standard pose 3"), &ViewerMediator::setStandardPose3);
    m_reversePose[0] = action(tr("Reverse standard pose 1"), &ViewerMediator::setRevStandardPose1);
    m_reversePose[1] = action(tr("Reverse standard pose 2"), &ViewerMediator::setRevStandardPose2);
    m_reversePose[2] = action(tr("Reverse standard pose 3"), &ViewerMediator::setRevStandardPose3);
}

void ViewerMediator::populateFileMenu(QMenu* menu)
{
    menu->addAction(m_snapshot);
    menu->addAction(m_record);
}

void ViewerMediator::populatePoseMenu(QMenu* menu)
{
    for (QAction* a : m_standardPose)
        menu->addAction(a);
    for (QAction* a : m_reversePose)
        menu->addAction(a);
    menu->addSeparator();
    menu->addAction(m_animation);
    menu->addAction(m_randomMotion);
    menu->addAction(m_spinningMotion);
    menu->addAction(m_motionAngle);
    menu->addAction(m_motionTimeout);
}

void ViewerMediator::initialize()
{
    if (!m_canvas || !m_panel)
        return;
    const Vector<float> rotation{0.0f, 0.0f, 0.0f};
    const Vector<int> translation{0, 0};
    m_canvas->setRotation(rotation);
    m_panel->setRotation(rotation);
    m_canvas->setZoom(100);
    m_panel->setZoom(100);
    m_canvas->setTranslation(translation);
    m_panel->setTranslation(translation);
    m_canvas->setBoundingBoxScaling(110);
    m_panel->setBoundingBoxScaling(110);
    m_canvas->setAmbientLight(80);
    m_panel->setAmbientLight(80);
    m_canvas->setDiffuseLight(128);
    m_panel->setDiffuseLight(128);
    m_canvas->setSpecularLight(128);
    m_panel->setSpecularLight(128);
    m_panel->setBackground(m_canvas->getBackground());
    m_panel->setProjection(m_canvas->getProjection());
    m_panel->setBoundingBoxShown(m_canvas->getBoundingBoxPainter().isActive());

    const auto unique = Qt::UniqueConnection;
    connect(m_panel, &ViewerPosePanel::rotationChanged, m_canvas, &ViewerCanvasGL::setRotation, unique);
    connect(m_panel, &ViewerPosePanel::translationChanged, m_canvas, &ViewerCanvasGL::setTranslation, unique);
    connect(m_panel, &ViewerPosePanel::zoomChanged, m_canvas, &ViewerCanvasGL::setZoom, unique);
    connect(m_panel, &ViewerPosePanel::boundingBoxScalingChanged, m_canvas, &ViewerCanvasGL::setBoundingBoxScaling,
            unique);
    connect(m_panel, &ViewerPosePanel::ambientLightChanged, m_canvas, &ViewerCanvasGL::setAmbientLight, unique);
    connect(m_panel, &ViewerPosePanel::diffuseLightChanged, m_canvas, &ViewerCanvasGL::setDiffuseLight, unique);
    connect(m_panel, &ViewerPosePanel::specularLightChanged, m_canvas, &ViewerCanvasGL::setSpecularLight, unique);
    connect(m_panel, &ViewerPosePanel::backgroundChanged, m_canvas, &ViewerCanvasGL::setBackground, unique);
    connect(m_panel, &ViewerPosePanel::projectionChanged, m_canvas, &ViewerCanvasGL::setProjection, unique);
    connect(m_panel, &ViewerPosePanel::boundingBoxToggled, m_canvas, &ViewerCanvasGL::toggleBoundingBox, unique);

    connect(m_canvas, &ViewerCanvasGL::rotationChanged, m_panel, &ViewerPosePanel::setRotation, unique);
    connect(m_canvas, &ViewerCanvasGL::translationChanged, m_panel, &ViewerPosePanel::setTranslation, unique);
    connect(m_canvas, &ViewerCanvasGL::zoomChanged, m_panel, &ViewerPosePanel::setZoom, unique);
    connect(m_canvas, &ViewerCanvasGL::poseChanged, m_panel, &ViewerPosePanel::setPose, unique);

    for (ViewerMotion* motion : {static_cast<ViewerMotion*>(&m_random), static_cast<ViewerMotion*>(&m_spinning)}) {
        connect(motion, &ViewerMotion::rotationChanged, m_canvas, &ViewerCanvasGL::setRotation, unique);
        connect(motion, &ViewerMotion::rotationChanged, m_panel, &ViewerPosePanel::setRotation, unique);
    }
    connect(&m_anim, &ViewerAnimation::currentIndexChanged, m_canvas,
            static_cast<void (QWidget::*)()>(&QWidget::update), unique);
}

// Poses -------------------------------------------------------------------------------

void ViewerMediator::setPose(const Pose& pose)
{
    if (m_canvas)
        m_canvas->setPose(pose);
    if (m_panel)
        m_panel->setPose(pose);
}

void ViewerMediator::resetPose()
{
    if (m_canvas)
        m_canvas->resetPose();
}

void ViewerMediator::setStandardPose1() { if (m_canvas) m_canvas->setStandardPose1(); }
void ViewerMediator::setStandardPose2() { if (m_canvas) m_canvas->setStandardPose2(); }
void ViewerMediator::setStandardPose3() { if (m_canvas) m_canvas->setStandardPose3(); }
void ViewerMediator::setRevStandardPose1() { if (m_canvas) m_canvas->setRevStandardPose1(); }
void ViewerMediator::setRevStandardPose2() { if (m_canvas) m_canvas->setRevStandardPose2(); }
void ViewerMediator::setRevStandardPose3() { if (m_canvas) m_canvas->setRevStandardPose3(); }

// Motions and animation ---------------------------------------------------------------

void ViewerMediator::setRandomMotionAngle()
{
    bool ok = false;
    const int angle = Dialogs::getInt(m_canvas, tr("Set motion angle"), tr("Enter motion angle (in degrees):"),
                                      static_cast<int>(m_random.getAngleStep()), -180, 180, 1, &ok);
    if (!ok)
        return;
    m_random.setAngleStep(static_cast<float>(angle));
    m_spinning.setAngleStep(static_cast<float>(angle));
}

void ViewerMediator::setRandomMotionTimeout()
{
    bool ok = false;
    const int timeout = Dialogs::getInt(m_canvas, tr("Set motion timeout"), tr("Enter motion interval (msec):"),
                                        m_random.getTimeout(), 0, 10000, 1, &ok);
    if (!ok)
        return;
    m_random.setTimeout(timeout);
    m_spinning.setTimeout(timeout);
}

void ViewerMediator::startMotion(ViewerMotion& motion)
{
    if (m_canvas)
        motion.setRotation(m_canvas->getRotation());
    motion.start();
}

void ViewerMediator::toggleRandomMotion()
{
    m_spinning.stop();
    if (m_random.isActive())
        m_random.stop();
    else
        startMotion(m_random);
}

void ViewerMediator::toggleSpinningMotion()
{
    m_random.stop();
    if (m_spinning.isActive())
        m_spinning.stop();
    else
        startMotion(m_spinning);
}

void ViewerMediator::toggleAnimation()
{
    if (!m_anim.isActive() && m_canvas) {
        QList<ShapeViewerPainterGL*> painters;
        for (PainterGL<float>* painter : m_canvas->getPainters())
            if (auto* shape = dynamic_cast<ShapeViewerPainterGL*>(painter))
                painters.append(shape);
        m_anim.setPainters(painters);
    }
    m_anim.toggle();
}

// Snapshot and video ---------------------------------------------------------------------

void ViewerMediator::snapshot()
{
    if (m_canvas)
        m_canvas->snapshot();
}

void ViewerMediator::videoStart()
{
    // A probe, not a recording: the encoder prints its licence and exits.
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(m_encoder, {QStringLiteral("-L")});
    const bool answered = probe.waitForStarted(5000) && probe.waitForFinished(10000) &&
                          probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    if (probe.state() != QProcess::NotRunning) {
        probe.kill();
        probe.waitForFinished(1000);
    }
    if (answered) {
        startVideoRecorder();
        return;
    }
    Dialogs::critical(m_canvas, QStringLiteral("QMessageBox::critical()"),
                      tr("Please install ffmpeg software to record videos.\n"
                         "It can be downloaded from https://ffmpeg.org/download.html"));
}

void ViewerMediator::startVideoRecorder() {}

bool ViewerMediator::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_canvas && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_R) {
            toggleRandomMotion();
            return true;
        }
        if (key == Qt::Key_Delete)
            return true;
    }
    return QObject::eventFilter(watched, event);
}

#include "moc_viewermediator.cpp"
