#pragma once
// PLXCamera and PLXCameraPath: the camera of each frame of a movie made from
// the 3D view: a turntable (one full turn about the view's vertical axis)
// or a flight through recorded poses.
//
// A camera holds what a pose holds (rotation angles in degrees about x,
// then y, then z; translation and zoom in percent; three light intensities
// in 0 .. 255), the rotation in floating point so that slow turns stay
// smooth.

#include "numerics/vector.h"

#include <vector>

class Pose;

struct PLXCamera {
    Vector<float> rotation{0.0f, 0.0f, 0.0f};
    Vector<int> translation{0, 0};
    int zoom = 100;
    int ambient = 80;
    int diffuse = 128;
    int specular = 128;

    static PLXCamera fromPose(const Pose& pose);
};

class PLXCameraPath {
public:
    // The number of frames of a movie: seconds x fps, rounded, at least 1.
    static int frameCount(double seconds, int fps);

    // frames cameras turning start about the view's vertical axis: frame k
    // is start turned by 360 k / frames degrees, so that the movie loops
    // without a repeated frame. Everything but the rotation stays.
    static std::vector<PLXCamera> turntable(const PLXCamera& start, int frames);

    // frames cameras along the poses in order, the first frame at the first
    // pose and the last at the last (one frame: the first pose), each leg
    // between consecutive poses taking the same time. The rotation turns
    // about one fixed axis along a leg, by the smaller angle (spherical
    // interpolation of the orientations); translation, zoom and lights move
    // linearly (rounded). Empty without poses.
    static std::vector<PLXCamera> flight(const std::vector<PLXCamera>& poses, int frames);
};
