#pragma once
// Snake<T, U>: an active contour, a closed curve drawn on a slice image that
// moves towards the nearby edges of the image.
//
// The edge map is the Deriche gradient norm of the image thinned to its ridges
// (fineNonmaxSuppression). The contour is kept at about one vertex per pixel
// of its length. Each step pushes every vertex half a pixel along its normal
// towards the nearer edge found within the search distance on either side,
// then moves the contour by one implicit step of a membrane model:
//   (1 + r_i + r_(i+1)) p'_i - r_i p'_(i-1) - r_(i+1) p'_(i+1) = p_i + f_i
// on the closed polygon, for x and y separately, and resamples it.
//
// Vertices are (x, y): x along the columns, y along the rows of the image.
// Instantiated for (float, float) and (double, double): T is the image
// element type, U the coordinate type.

#include "geometry/curve.h"
#include "image/pixelmatrix.h"
#include "imageprocessing/snakeconfig.h"

template <typename T, typename U>
class Snake {
public:
    Snake() = default;
    explicit Snake(const SnakeConfig& config) : m_config(config) {}

    // The image is only referred to: it must outlive the snake's use.
    void setPixelMatrix(const PixelMatrix<T>& image) { m_image = &image; }
    const PixelMatrix<T>& getImageMatrix() const { return *m_image; }
    // The contour is copied (a private copy of its vertices).
    void setCurve(const Curve<U>& curve);
    const Curve<U>& getCurve() const { return m_curve; }
    const SnakeConfig& getConfig() const { return m_config; }
    // Copies every field; with updateGradient, an edge map already computed
    // is recomputed when alpha has changed.
    void setConfig(const SnakeConfig& config, bool updateGradient);
    const PixelMatrix<T>& getGradNorm() const { return m_gradNorm; }
    // The mean search distance of the last force computation.
    float getDataDistance() const { return m_dataDistance; }

    // computeGradient, then resampleCurve: after the image and the contour
    // are set.
    void init();
    // n steps.
    void run(unsigned int n);
    // computeForces, computeRegularizations, computeNewPositions,
    // resampleCurve.
    void runStep();

    void computeGradient();
    // floor(length) evenly spaced vertices; SizeError "The snake has
    // collapsed." when that is not more than 2.
    void resampleCurve();
    void computeForces();
    // The force on a vertex at p with unit normal n, (fx, fy); distance
    // receives the search distance that counts for the data distance.
    void computeForce(const Vector<U>& p, const Vector<U>& n, U& fx, U& fy, int& distance) const;
    void computeRegularizations();
    void computeNewPositions();

    const Vector<U>& getRegularizations() const { return m_regularization; }

private:
    // The search along direction step from q: steps of one pixel until the
    // edge map reaches the threshold (the count so far), the image is left
    // (the full distance) or the distance is reached.
    int search(Vector<U> q, const Vector<U>& step, int start) const;

    SnakeConfig m_config;
    const PixelMatrix<T>* m_image = nullptr;
    PixelMatrix<T> m_gradNorm;
    bool m_hasGradient = false;
    Curve<U> m_curve;
    Vertices<U> m_normals;
    Vector<U> m_forceX;
    Vector<U> m_forceY;
    Vector<U> m_regularization;
    float m_dataDistance = 0.0f;
};

extern template class Snake<float, float>;
extern template class Snake<double, double>;
