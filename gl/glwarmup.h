#pragma once
// GLWarmUp: loads the OpenGL driver, and brings up its code generator with
// one frame drawn as the 3D views draw theirs (multisampled and resolved;
// the gradient background, lit two-sided surfaces from vertex arrays with
// and without shininess, lines, points, a blended transparent surface), in
// a thread of its own and on a context of its own, so that the first 3D
// window of the program does not hold the GUI thread for them (a software
// renderer spends most of a second there: driver, visual, context, the code
// for each drawing state of the first frame).
//
// start() is called once from the GUI thread, when the main window is up;
// it returns at once. Nothing else waits for it: a 3D window opened before
// it is over loads what it needs itself, as it would without it.

class GLWarmUp {
public:
    // Starts the warm-up, once per process; later calls do nothing.
    static void start();
    // Waits until the warm-up started (if any) is over (at exit, and in tests).
    static void wait();
    // Whether a warm-up started and is over, and whether it drew its frame
    // (the surface lit in its colour over the background).
    static bool isFinished();
    static bool isWarm();
};
