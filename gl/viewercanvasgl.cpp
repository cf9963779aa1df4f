#include "gl/viewercanvasgl.h"

#include "gl/dialogs.h"
#include "gl/draftmesh.h"
#include "gl/viewrotation.h"
#include "numerics/maths.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QMouseEvent>
#include <QSaveFile>
#include <QSettings>
#include <QSurfaceFormat>
#include <QWheelEvent>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

const char* const backgroundColorKey = "viewerCanvas/background/color";
const char* const backgroundGradientKey = "viewerCanvas/background/gradient";
constexpr float minimumZoom = 0.01f;
constexpr float maximumZoom = 5.0f;
// How long the camera must rest before a multisampled frame.
constexpr int stillDelay = 250;

// A box as a 3-D one (missing coordinates 0), so that plane shapes and
// solids merge.
BoundingBox<float> solid(const BoundingBox<float>& box)
{
    if (!box.isValid())
        return BoundingBox<float>();
    Vector<float> lower{0.0f, 0.0f, 0.0f}, upper{0.0f, 0.0f, 0.0f};
    for (int k = 0; k < 3 && k < box.getSpace(); ++k) {
        lower[k] = box.min(k);
        upper[k] = box.max(k);
    }
    return BoundingBox<float>(lower, upper);
}

} // namespace

ViewerCanvasGL::ViewerCanvasGL(QWidget* parent)
    : QOpenGLWidget(parent), m_centre{0.0f, 0.0f, 0.0f}, m_rotation{0.0f, 0.0f, 0.0f}, m_ambient(80 / 255.0f),
      m_diffuse(128 / 255.0f), m_specular(128 / 255.0f)
{
    QSurfaceFormat surface = format();
    surface.setSamples(4);
    setFormat(surface);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::StrongFocus);
    m_stillTimer.setSingleShot(true);
    m_stillTimer.setInterval(stillDelay);
    connect(&m_stillTimer, &QTimer::timeout, this, [this] {
        m_moving = false;
        if (m_softwareRenderer)
            update();
    });

    QSettings settings;
    if (settings.contains(backgroundColorKey)) {
        const QColor c = settings.value(backgroundColorKey).value<QColor>();
        if (c.isValid())
            m_background.setColor(Vector<int>{c.red(), c.green(), c.blue()});
        m_background.setGradient(settings.value(backgroundGradientKey, true).toBool());
    }
}

ViewerCanvasGL::~ViewerCanvasGL() = default;

// Painters ----------------------------------------------------------------------

void ViewerCanvasGL::addPainter(PainterGL<float>* painter)
{
    m_painters.append(painter);
}

void ViewerCanvasGL::removePainter(PainterGL<float>* painter)
{
    m_painters.removeOne(painter);
}

void ViewerCanvasGL::removePainters()
{
    m_painters.clear();
}

void ViewerCanvasGL::setPainters(const QList<PainterGL<float>*>& painters)
{
    m_painters = painters;
}

void ViewerCanvasGL::updateBoundingBox()
{
    BoundingBox<float> merged;
    for (const PainterGL<float>* painter : m_painters)
        merged = merged.merge(solid(painter->boundingBox()));
    m_sceneBox = merged;
    if (!merged.isValid()) {
        m_centre = Vector<float>{0.0f, 0.0f, 0.0f};
        m_radius = 1.0f;
        m_boundingBoxPainter.setBoundingBox(BoundingBox<float>());
    } else {
        m_centre = merged.cog();
        m_radius = 0.6f * merged.diagonal();
        // A single point still gets a view around it.
        if (!(m_radius > 0.0f))
            m_radius = 1.0f;
        BoundingBox<float> drawn = merged;
        Vector<float> margins = merged.widths();
        for (int k = 0; k < margins.getSize(); ++k)
            margins[k] *= (m_boundingBoxScaling - 100) / 100.0f;
        drawn.expand(margins);
        m_boundingBoxPainter.setBoundingBox(drawn);
    }
    m_projectionDirty = true;
}

// Camera ------------------------------------------------------------------------

QRect ViewerCanvasGL::viewport(int width, int height)
{
    if (width > height)
        return QRect(0, (height - width) / 2, width, width);
    return QRect((width - height) / 2, 0, height, height);
}

void ViewerCanvasGL::projectionBox(double box[6]) const
{
    const double r = m_radius;
    const double cx = m_tx * r, cy = m_ty * r, h = r / m_zoom;
    box[0] = cx - h;
    box[1] = cx + h;
    box[2] = cy - h;
    box[3] = cy + h;
    if (m_projection.isPerspective()) {
        const double strength = m_projection.getPerspectiveStrength();
        box[4] = (6.0 - strength) * r;
        box[5] = (8.0 - strength) * r;
    } else {
        box[4] = -r;
        box[5] = r;
    }
}

Vector<int> ViewerCanvasGL::translationPercent() const
{
    const float scale = 1.0f / m_zoom + 1.0f;
    return Vector<int>{-Maths::fround(m_tx * 100.0f / scale), -Maths::fround(m_ty * 100.0f / scale)};
}

Pose ViewerCanvasGL::getPose() const
{
    Pose pose;
    pose.setRotation(Maths::fround(m_rotation[0]), Maths::fround(m_rotation[1]), Maths::fround(m_rotation[2]));
    pose.setTranslation(translationPercent());
    pose.setZoom(Maths::fround(m_zoom * 100.0f));
    pose.setAmbientLight(Maths::fround(m_ambient * 255.0f));
    pose.setDiffuseLight(Maths::fround(m_diffuse * 255.0f));
    pose.setSpecularLight(Maths::fround(m_specular * 255.0f));
    return pose;
}

void ViewerCanvasGL::markMoving()
{
    m_moving = true;
    m_stillTimer.start();
}

void ViewerCanvasGL::setRotation(const Vector<float>& angles)
{
    m_rotation = angles;
    markMoving();
    update();
}

void ViewerCanvasGL::setTranslation(const Vector<int>& t)
{
    const float scale = 1.0f / m_zoom + 1.0f;
    m_tx = -t[0] * scale / 100.0f;
    m_ty = -t[1] * scale / 100.0f;
    m_projectionDirty = true;
    markMoving();
    update();
}

void ViewerCanvasGL::setZoomValue(float zoom)
{
    m_zoom = std::clamp(zoom, minimumZoom, maximumZoom);
    m_projectionDirty = true;
}

void ViewerCanvasGL::setZoom(int zoom)
{
    // The pose panel reaches beyond the mouse's range; only a zero or
    // negative zoom is refused (kept at the smallest).
    m_zoom = std::max(zoom / 100.0f, minimumZoom);
    m_projectionDirty = true;
    markMoving();
    update();
}

void ViewerCanvasGL::setProjection(const ProjectionGL& projection)
{
    m_projection = projection;
    m_projectionDirty = true;
    update();
}

void ViewerCanvasGL::setPose(const Pose& pose)
{
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    const Vector<int> r = pose.getRotation();
    setRotation(Vector<float>{static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2])});
    // The translation is scaled by the zoom: zoom first.
    setZoom(pose.getZoom());
    setTranslation(pose.getTranslation());
    setAmbientLight(pose.getAmbientLight());
    setDiffuseLight(pose.getDiffuseLight());
    setSpecularLight(pose.getSpecularLight());
    setUpdatesEnabled(updates);
    update();
}

void ViewerCanvasGL::emitPose()
{
    emit poseChanged(getPose());
}

void ViewerCanvasGL::resetPose()
{
    m_rotation = Vector<float>{0.0f, 0.0f, 0.0f};
    m_tx = m_ty = 0.0f;
    m_zoom = 1.0f;
    m_projectionDirty = true;
    update();
    emitPose();
}

void ViewerCanvasGL::applyStandardPose(const Pose& pose)
{
    const Vector<int> r = pose.getRotation();
    m_rotation = Vector<float>{static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2])};
    m_zoom = std::max(pose.getZoom() / 100.0f, minimumZoom);
    m_tx = m_ty = 0.0f;
    m_projectionDirty = true;
    update();
    emitPose();
}

void ViewerCanvasGL::setStandardPose1() { applyStandardPose(Pose::canonicalPose1()); }
void ViewerCanvasGL::setStandardPose2() { applyStandardPose(Pose::canonicalPose2()); }
void ViewerCanvasGL::setStandardPose3() { applyStandardPose(Pose::canonicalPose3()); }
void ViewerCanvasGL::setRevStandardPose1() { applyStandardPose(Pose::reverseCanonicalPose1()); }
void ViewerCanvasGL::setRevStandardPose2() { applyStandardPose(Pose::reverseCanonicalPose2()); }
void ViewerCanvasGL::setRevStandardPose3() { applyStandardPose(Pose::reverseCanonicalPose3()); }

// Lights, box, background ----------------------------------------------------------

void ViewerCanvasGL::setAmbientLight(int value)
{
    m_ambient = value / 255.0f;
    m_lightDirty = true;
    update();
}

void ViewerCanvasGL::setDiffuseLight(int value)
{
    m_diffuse = value / 255.0f;
    m_lightDirty = true;
    update();
}

void ViewerCanvasGL::setSpecularLight(int value)
{
    m_specular = value / 255.0f;
    m_lightDirty = true;
    update();
}

void ViewerCanvasGL::setBoundingBoxScaling(int percent)
{
    m_boundingBoxScaling = percent;
    updateBoundingBox();
    update();
}

void ViewerCanvasGL::toggleBoundingBox(bool on)
{
    m_boundingBoxPainter.setActive(on);
    update();
}

void ViewerCanvasGL::setBackground(const BackgroundGL& background)
{
    m_background = background;
    const Vector<int>& c = background.getColor();
    QSettings settings;
    settings.setValue(backgroundColorKey, QColor(c[0], c[1], c[2]));
    settings.setValue(backgroundGradientKey, background.hasGradient());
    update();
}

void ViewerCanvasGL::snapshot()
{
    QString name = Dialogs::getSaveFileName(this, tr("Enter output filename"), QString(),
                                            tr("Portable Network Graphics (*.png)"));
    if (name.isEmpty())
        return;
    const QImage image = grabFramebuffer();
    // Written aside and renamed into place: a failed save leaves no partial
    // file and an existing one untouched.
    QSaveFile file(name);
    if (image.isNull() || !file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        file.cancelWriting();
        Dialogs::critical(this, tr("Snapshot"), tr("Could not write file\n\n") + name);
    }
}

// GL ----------------------------------------------------------------------------

void ViewerCanvasGL::applySurfaceState()
{
    glEnable(GL_LIGHTING);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LIGHT0);
}

void ViewerCanvasGL::initializeGL()
{
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const QByteArray name = QByteArray(renderer ? renderer : "").toLower();
    m_softwareRenderer = name.contains("llvmpipe") || name.contains("softpipe") || name.contains("swrast");
    applySurfaceState();
    m_projectionDirty = true;
    m_lightDirty = true;
    updateBoundingBox();
}

void ViewerCanvasGL::resizeGL(int, int)
{
    m_projectionDirty = true;
}

void ViewerCanvasGL::loadProjection()
{
    double box[6];
    projectionBox(box);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (m_projection.isPerspective())
        glFrustum(box[0], box[1], box[2], box[3], box[4], box[5]);
    else
        glOrtho(box[0], box[1], box[2], box[3], box[4], box[5]);
    glMatrixMode(GL_MODELVIEW);
    m_projectionDirty = false;
}

void ViewerCanvasGL::loadLight()
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Directional, from the viewer, in eye coordinates.
    const GLfloat position[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    const GLfloat ambient[4] = {m_ambient, m_ambient, m_ambient, 1.0f};
    const GLfloat diffuse[4] = {m_diffuse, m_diffuse, m_diffuse, 1.0f};
    const GLfloat specular[4] = {m_specular, m_specular, m_specular, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    m_lightDirty = false;
}

void ViewerCanvasGL::paintGL()
{
    const qreal ratio = devicePixelRatioF();
    const QRect view = viewport(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
    glViewport(view.x(), view.y(), view.width(), view.height());
    // While the camera moves, a software renderer draws one sample per pixel
    // and the largest surfaces coarser; the view is redrawn whole once the
    // camera rests.
    const bool draft = m_softwareRenderer && m_moving;
    if (draft)
        glDisable(GL_MULTISAMPLE);
    else
        glEnable(GL_MULTISAMPLE);
    DraftMesh::setDraftFrame(draft);

    m_background.glDraw();
    if (m_projectionDirty)
        loadProjection();
    if (m_lightDirty)
        loadLight();

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (m_projection.isPerspective())
        glTranslatef(0.0f, 0.0f, -(7.0f - m_projection.getPerspectiveStrength()) * m_radius);
    glRotatef(m_rotation[0], 1.0f, 0.0f, 0.0f);
    glRotatef(m_rotation[1], 0.0f, 1.0f, 0.0f);
    glRotatef(m_rotation[2], 0.0f, 0.0f, 1.0f);
    glTranslatef(-m_centre[0], -m_centre[1], -m_centre[2]);

    m_boundingBoxPainter.glDraw();
    for (PainterGL<float>* painter : m_painters)
        if (painter->isOpaque())
            painter->glDraw();
    // Transparent painters blend their colour only: the frame stays opaque
    // (a frame of lower alpha is shown blended with, or garbled by, what lies
    // under the view).
    glDepthMask(GL_FALSE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (PainterGL<float>* painter : m_painters)
        if (!painter->isOpaque())
            painter->glDraw();
    glDisable(GL_BLEND);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    DraftMesh::setDraftFrame(false);
}

// Mouse ---------------------------------------------------------------------------

void ViewerCanvasGL::mousePressEvent(QMouseEvent* event)
{
    m_lastPosition = event->position().toPoint();
    m_moved = false;
}

void ViewerCanvasGL::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint position = event->position().toPoint();
    const int dx = position.x() - m_lastPosition.x();
    const int dy = position.y() - m_lastPosition.y();
    m_lastPosition = position;
    if (dx == 0 && dy == 0)
        return;
    m_moved = true;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers & Qt::ControlModifier) {
        setZoomValue(m_zoom + 3.0f * dx / std::max(width(), 1));
        emit zoomChanged(Maths::fround(m_zoom * 100.0f));
    } else if (modifiers & Qt::AltModifier) {
        m_tx -= static_cast<float>(dx) / std::max(width(), 1);
        m_ty += static_cast<float>(dy) / std::max(height(), 1);
        m_projectionDirty = true;
        emit translationChanged(translationPercent());
    } else {
        const Vector<float> angles = (modifiers & Qt::ShiftModifier)
                                         ? plexan::gl::rotateInView(m_rotation, 0.0f, 0.0f, 1.0f * dx)
                                         : plexan::gl::rotateInView(m_rotation, 0.25f * dy, 0.25f * dx, 0.0f);
        for (int k = 0; k < 3; ++k)
            m_rotation[k] = Maths::fround(angles[k], 0.25f);
        emit rotationChanged(m_rotation);
    }
    markMoving();
    emitPose();
    update();
}

void ViewerCanvasGL::mouseReleaseEvent(QMouseEvent*)
{
    if (m_moved)
        update();
    m_moved = false;
}

void ViewerCanvasGL::mouseDoubleClickEvent(QMouseEvent*)
{
    resetPose();
}

void ViewerCanvasGL::wheelEvent(QWheelEvent* event)
{
    setZoomValue(m_zoom - event->angleDelta().y() / 800.0f);
    markMoving();
    emit zoomChanged(Maths::fround(m_zoom * 100.0f));
    emitPose();
    update();
    event->accept();
}
