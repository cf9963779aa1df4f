#pragma once
// ViewerCanvasGL: the OpenGL view of the 3D viewer. It draws a list of
// painters (not owned) under a camera made of three rotation angles (degrees
// about x, then y, then z), a translation in the view plane (in units of the
// scene radius R) and a zoom, lit by one directional light from the viewer,
// over a background, with an optional box around the scene.
//
// The scene's centre and radius come from the painters' merged bounding box
// (R = 0.6 x its diagonal; centre at the origin and R = 1 without painters);
// the owner calls updateBoundingBox() after changing the painters.
//
// Mouse: left drag rotates (0.25 degree per pixel about the view's x and y
// axes), with Shift about the view axis (1 degree per pixel), with Ctrl
// zooms, with Alt moves the view; the wheel zooms (zoom kept in
// [0.01, 5]); a double click resets the pose.
//
// Setters called by other widgets (the pose panel, motions) change the view
// silently; the view's own gestures emit the changed values and
// poseChanged.
//
// The view is multisampled. A software renderer pays four times the work per
// triangle for it, so there, while the camera moves (and until it has been
// still for a moment), frames are drawn with one sample per pixel; the view
// is redrawn multisampled once it rests.

#include "gl/backgroundgl.h"
#include "gl/boundingboxpaintergl.h"
#include "gl/projectiongl.h"
#include "stack/pose.h"

#include <QList>
#include <QOpenGLWidget>
#include <QPoint>
#include <QRect>
#include <QTimer>

class ViewerCanvasGL : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit ViewerCanvasGL(QWidget* parent = nullptr);
    ~ViewerCanvasGL() override;

    // Painters ------------------------------------------------------------------

    void addPainter(PainterGL<float>* painter);
    // Removes the first occurrence.
    void removePainter(PainterGL<float>* painter);
    void removePainters();
    void setPainters(const QList<PainterGL<float>*>& painters);
    const QList<PainterGL<float>*>& getPainters() const { return m_painters; }
    // Recomputes the centre, the radius and the drawn box from the painters.
    void updateBoundingBox();

    // Camera and scene ------------------------------------------------------------

    const Vector<float>& getCentre() const { return m_centre; }
    float getRadius() const { return m_radius; }
    const Vector<float>& getRotation() const { return m_rotation; }
    float getTranslationX() const { return m_tx; }
    float getTranslationY() const { return m_ty; }
    float getZoom() const { return m_zoom; }
    float getAmbientLight() const { return m_ambient; }
    float getDiffuseLight() const { return m_diffuse; }
    float getSpecularLight() const { return m_specular; }
    const ProjectionGL& getProjection() const { return m_projection; }
    const BackgroundGL& getBackground() const { return m_background; }
    int getBoundingBoxScaling() const { return m_boundingBoxScaling; }
    const BoundingBoxPainterGL<float>& getBoundingBoxPainter() const { return m_boundingBoxPainter; }

    // The rotation in whole degrees, translation (percent, as setTranslation
    // takes it), zoom (percent) and lights (0 .. 255) of the view.
    Pose getPose() const;

    // The viewport of a view of this size in pixels: a centred square of
    // side max(width, height).
    static QRect viewport(int width, int height);
    // Sets the drawing state every view draws its surfaces in (lit on both
    // sides, material from colour, depth-tested, smooth) in the current context.
    static void applySurfaceState();
    // The projection box (left, right, bottom, top, near, far) loaded for the
    // current camera: orthographic or frustum.
    void projectionBox(double box[6]) const;
    // The camera changed less than a moment ago.
    bool isMoving() const { return m_moving; }
    // The context renders in software (known once the view has been shown).
    bool isSoftwareRenderer() const { return m_softwareRenderer; }

public slots:
    // Degrees about x, y and z.
    void setRotation(const Vector<float>& angles);
    // Percent: tx = -t[0] (1/zoom + 1) / 100, ty likewise from t[1].
    void setTranslation(const Vector<int>& t);
    // Percent (at least 1).
    void setZoom(int zoom);
    void setProjection(const ProjectionGL& projection);
    // Rotation, zoom, translation and the three lights, with one repaint.
    void setPose(const Pose& pose);
    // Rotation 0, translation 0, zoom 1; emits poseChanged.
    void resetPose();
    // The canonical poses of the stack's main axes and their reverses (the
    // rotation; translation and zoom reset, lights kept); each emits
    // poseChanged.
    void setStandardPose1();
    void setStandardPose2();
    void setStandardPose3();
    void setRevStandardPose1();
    void setRevStandardPose2();
    void setRevStandardPose3();
    // 0 .. 255.
    void setAmbientLight(int value);
    void setDiffuseLight(int value);
    void setSpecularLight(int value);
    // Percent of the scene's box (100: the box itself).
    void setBoundingBoxScaling(int percent);
    void toggleBoundingBox(bool on);
    // Also written to the settings.
    void setBackground(const BackgroundGL& background);
    // Asks for a PNG file name and saves the current frame there.
    void snapshot();

signals:
    void rotationChanged(const Vector<float>& angles);
    void translationChanged(const Vector<int>& translation);
    void zoomChanged(int zoom);
    void poseChanged(const Pose& pose);

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void loadProjection();
    void loadLight();
    void applyStandardPose(const Pose& pose);
    void setZoomValue(float zoom);
    Vector<int> translationPercent() const;
    void emitPose();
    // Marks the camera as moving until it rests for stillDelay ms.
    void markMoving();

    QList<PainterGL<float>*> m_painters;
    Vector<float> m_centre;
    float m_radius = 1.0f;
    int m_boundingBoxScaling = 110;
    BoundingBox<float> m_sceneBox;
    bool m_projectionDirty = true;
    bool m_lightDirty = true;
    BackgroundGL m_background;
    ProjectionGL m_projection;
    BoundingBoxPainterGL<float> m_boundingBoxPainter;
    Vector<float> m_rotation;
    float m_tx = 0.0f;
    float m_ty = 0.0f;
    float m_zoom = 1.0f;
    float m_ambient = 0.0f;
    float m_diffuse = 0.0f;
    float m_specular = 0.0f;
    QPoint m_lastPosition;
    bool m_moved = false;
    bool m_moving = false;
    bool m_softwareRenderer = false;
    QTimer m_stillTimer;
};
