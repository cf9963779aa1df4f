#pragma once
// ViewerAnimation: shows a list of the viewer's painters a few at a time,
// stepping through the list on a timer: the painters at positions
// [index, index + step size) are visible, the others hidden. At the end of
// the list a circular animation starts again at the other end; otherwise it
// turns back and runs the other way.

#include <QList>
#include <QObject>
#include <QTimer>

class ShapeViewerPainterGL;

class ViewerAnimation : public QObject {
    Q_OBJECT
public:
    enum Direction { Forward, Backward };

    explicit ViewerAnimation(QObject* parent = nullptr);
    ~ViewerAnimation() override;

    // Not owned.
    void setPainters(const QList<ShapeViewerPainterGL*>& painters) { m_painters = painters; }
    const QList<ShapeViewerPainterGL*>& getPainters() const { return m_painters; }
    int getCurrentIndex() const { return m_index; }
    // Painters shown at once (default 2; at least 1).
    void setStepSize(int size) { m_stepSize = size < 1 ? 1 : size; }
    int getStepSize() const { return m_stepSize; }
    void setCircular(bool circular) { m_circular = circular; }
    bool isCircular() const { return m_circular; }
    Direction getDirection() const { return m_direction; }
    void setDirection(Direction direction) { m_direction = direction; }
    // Milliseconds between steps (default 50); a running timer takes it at once.
    void setTimeout(int milliseconds) { m_timer.setInterval(milliseconds); }
    int getTimeout() const { return m_timer.interval(); }
    bool isActive() const { return m_timer.isActive(); }

public slots:
    // Moves to index i (turning or wrapping at the ends), shows the painters
    // from there and emits currentIndexChanged.
    void setCurrentIndex(int i);
    // One step size forward or backward.
    void makeOneStep();
    // Starts from index 0 forward, or stops; stopping shows every painter again.
    void toggle();

signals:
    void currentIndexChanged(int index);

private:
    QList<ShapeViewerPainterGL*> m_painters;
    int m_index = 0;
    int m_stepSize = 2;
    bool m_circular = false;
    Direction m_direction = Forward;
    QTimer m_timer;
};
