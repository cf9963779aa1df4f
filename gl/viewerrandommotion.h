#pragma once
// ViewerRandomMotion: a tumbling rotation. Each angle moves by its own sign
// times the angle step, wrapped into [-180, 180]; at every step each sign
// flips with probability 0.001, so that the tumbling changes course now and
// then.

#include "gl/viewermotion.h"
#include "numerics/randomgenerator.h"

class ViewerRandomMotion : public ViewerMotion {
    Q_OBJECT
public:
    // Signs (1, 1, 1); the generator seeded from the clock.
    explicit ViewerRandomMotion(QObject* parent = nullptr);
    ~ViewerRandomMotion() override;

    const Vector<int>& getDirection() const { return m_direction; }
    // Restarts the sign draws from a fixed seed (a seed below 1: the clock).
    void seed(long value) { m_generator.init(value); }

public slots:
    void step() override;

private:
    Vector<int> m_direction;
    RandomGenerator m_generator;
};
