#pragma once
// ViewerSpinningMotion: the scene turns about the view's vertical axis by
// the angle step at every step, whatever its orientation.

#include "gl/viewermotion.h"

class ViewerSpinningMotion : public ViewerMotion {
    Q_OBJECT
public:
    explicit ViewerSpinningMotion(QObject* parent = nullptr);
    ~ViewerSpinningMotion() override;

public slots:
    void step() override;
};
