#pragma once
// ViewerMotion: an automatic rotation of the 3D view, driven by a timer in
// the GUI thread: every timeout milliseconds step() turns the rotation (three
// angles in degrees, about x, y and z) by the angle step and emits it.

#include "numerics/vector.h"

#include <QObject>
#include <QTimer>

class ViewerMotion : public QObject {
    Q_OBJECT
public:
    explicit ViewerMotion(QObject* parent = nullptr);
    ~ViewerMotion() override;

    // The orientation the next step starts from.
    void setRotation(const Vector<float>& angles) { m_rotation = angles; }
    const Vector<float>& getRotation() const { return m_rotation; }
    // Degrees per step (default 1).
    void setAngleStep(float degrees) { m_angleStep = degrees; }
    float getAngleStep() const { return m_angleStep; }
    // Milliseconds between steps (default 50); a running timer takes it at once.
    void setTimeout(int milliseconds);
    int getTimeout() const { return m_timer.interval(); }
    bool isActive() const { return m_timer.isActive(); }

public slots:
    void start() { m_timer.start(); }
    void stop() { m_timer.stop(); }
    void toggle();
    virtual void step() = 0;

signals:
    void rotationChanged(const Vector<float>& angles);

protected:
    Vector<float> m_rotation;
    float m_angleStep = 1.0f;

private:
    QTimer m_timer;
};
