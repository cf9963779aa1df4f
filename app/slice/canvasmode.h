#pragma once
// CanvasMode: how a slice canvas renders grey levels, shared by the views of
// one window (the slice view, the panorama, the overview): the grey-level
// window, black and white levels as fractions of the image's range (0 and 1
// show the image as it is).

#include <QMetaType>

struct CanvasMode {
    double black = 0.0;
    double white = 1.0;

    bool operator==(const CanvasMode& other) const { return black == other.black && white == other.white; }
    bool operator!=(const CanvasMode& other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(CanvasMode)
