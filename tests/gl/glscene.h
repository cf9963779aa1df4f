#pragma once
// A shown 3D view for pixel checks: orthographic, no rotation, black
// uniform background, no box, and a light that shows every lit colour as
// it is (full ambient, no diffuse or specular), so that expected pixels
// follow from the colours and the projection alone.

#include "gl/viewercanvasgl.h"

#include <QImage>
#include <QTest>

#include <cmath>

class GLScene {
public:
    GLScene(int width, int height)
    {
        canvas.resize(width, height);
        canvas.show();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&canvas);
        canvas.setAmbientLight(255);
        canvas.setDiffuseLight(0);
        canvas.setSpecularLight(0);
        ProjectionGL projection;
        projection.setOrthographic();
        canvas.setProjection(projection);
        canvas.setBackground(BackgroundGL(Vector<int>{0, 0, 0}, false));
        canvas.toggleBoundingBox(false);
    }

    QImage frame()
    {
        canvas.updateBoundingBox();
        return canvas.grabFramebuffer();
    }

    // The image pixel where a scene point lands, from the projection
    // arithmetic: orthographic box of half side R around the centre, square
    // viewport of side max(w, h) centred on the view. centre and radius are
    // the scene's, computed by the caller from its own geometry.
    QPoint project(double x, double y, const double centre[2], double radius) const
    {
        const int w = canvas.width(), h = canvas.height();
        const int side = std::max(w, h);
        const double left = (w - side) / 2.0, bottom = (h - side) / 2.0;
        const double gx = left + side * (x - centre[0] + radius) / (2 * radius);
        const double gy = bottom + side * (y - centre[1] + radius) / (2 * radius);
        return QPoint(static_cast<int>(std::floor(gx)), h - 1 - static_cast<int>(std::floor(gy)));
    }

    ViewerCanvasGL canvas;
};
