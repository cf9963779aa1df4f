#include "imageprocessing/snake.h"

#include "imageprocessing/derichegradient.h"
#include "numerics/squarematrix.h"

#include <cmath>

template <typename T, typename U>
void Snake<T, U>::setCurve(const Curve<U>& curve)
{
    m_curve = curve;
    m_curve.detach();
}

template <typename T, typename U>
void Snake<T, U>::setConfig(const SnakeConfig& config, bool updateGradient)
{
    const bool alphaChanged = config.getAlpha() != m_config.getAlpha();
    m_config = config;
    if (m_image && m_hasGradient && alphaChanged && updateGradient)
        computeGradient();
}

template <typename T, typename U>
void Snake<T, U>::init()
{
    computeGradient();
    resampleCurve();
}

template <typename T, typename U>
void Snake<T, U>::run(unsigned int n)
{
    for (unsigned int k = 0; k < n; ++k)
        runStep();
}

template <typename T, typename U>
void Snake<T, U>::runStep()
{
    computeForces();
    computeRegularizations();
    computeNewPositions();
    resampleCurve();
}

template <typename T, typename U>
void Snake<T, U>::computeGradient()
{
    DericheGradient<T> deriche(static_cast<T>(m_config.getAlpha()));
    PixelMatrix<T> gx(*m_image);
    PixelMatrix<T> gy(*m_image);
    deriche.hGradient(gx);
    deriche.vGradient(gy);
    deriche.norm(m_gradNorm, gx, gy);
    deriche.fineNonmaxSuppression(m_gradNorm, gx, gy);
    m_hasGradient = true;
}

template <typename T, typename U>
void Snake<T, U>::resampleCurve()
{
    const int n = static_cast<int>(std::floor(m_curve.length()));
    if (n <= 2) {
        SizeError e;
        e.setWhere("void Snake::resampleCurve()");
        e.setWhat("The snake has collapsed.");
        throw e;
    }
    m_curve = m_curve.resample(n);
    m_forceX.setSize(n);
    m_forceY.setSize(n);
    m_regularization.setSize(n);
}

template <typename T, typename U>
int Snake<T, U>::search(Vector<U> q, const Vector<U>& step, int start) const
{
    const int distance = m_config.getDistance();
    const T threshold = static_cast<T>(m_config.getGradThreshold());
    const int rows = m_gradNorm.getSize1();
    const int columns = m_gradNorm.getSize2();
    int d = start;
    while (d < distance) {
        // Truncation toward zero, as pixel (row, column) = (trunc y, trunc x).
        const U x = q[0], y = q[1];
        if (!(x > U(-1) && y > U(-1) && x < U(columns) && y < U(rows)))
            return distance;
        if (m_gradNorm(static_cast<int>(y), static_cast<int>(x)) >= threshold)
            return d;
        ++d;
        q[0] += step[0];
        q[1] += step[1];
    }
    return d;
}

template <typename T, typename U>
void Snake<T, U>::computeForce(const Vector<U>& p, const Vector<U>& n, U& fx, U& fy, int& distance) const
{
    const int d1 = search(p, n, 0);
    const Vector<U> back{-n[0], -n[1]};
    const int d2 = search(Vector<U>{p[0] - n[0], p[1] - n[1]}, back, 1);
    if (d1 == d2 || d1 == 0) {
        fx = fy = U(0);
        distance = d1;
    } else if (d1 >= d2) {
        // The edge behind is nearer (or as near).
        fx = U(-0.5) * n[0];
        fy = U(-0.5) * n[1];
        distance = d2;
    } else {
        fx = U(0.5) * n[0];
        fy = U(0.5) * n[1];
        distance = d1;
    }
}

template <typename T, typename U>
void Snake<T, U>::computeForces()
{
    m_normals = m_curve.normals();
    const int n = m_curve.getNumVertices();
    m_forceX.setSize(n);
    m_forceY.setSize(n);
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        int distance = 0;
        computeForce(m_curve[i], m_normals[i], m_forceX[i], m_forceY[i], distance);
        sum += distance;
    }
    m_dataDistance = n > 0 ? static_cast<float>(sum / n) : 0.0f;
}

template <typename T, typename U>
void Snake<T, U>::computeRegularizations()
{
    m_regularization.setSize(m_curve.getNumVertices());
    m_regularization.fill(static_cast<U>(m_config.getRegMax()));
}

template <typename T, typename U>
void Snake<T, U>::computeNewPositions()
{
    const int n = m_curve.getNumVertices();
    const Vector<U>& r = m_regularization;
    // Row i: -r_i p'_(i-1) + (1 + r_i + r_(i+1)) p'_i - r_(i+1) p'_(i+1),
    // indices modulo n; the matrix is symmetric.
    Vector<U> d(static_cast<unsigned int>(n));
    Vector<U> off(static_cast<unsigned int>(n - 1));
    for (int i = 0; i < n; ++i)
        d[i] = U(1) + r[i] + r[(i + 1) % n];
    for (int i = 0; i < n - 1; ++i)
        off[i] = -r[i + 1];
    const U corner = -r[0];
    Vector<U> x(static_cast<unsigned int>(n));
    Vector<U> y(static_cast<unsigned int>(n));
    for (int i = 0; i < n; ++i) {
        x[i] = m_curve[i][0] + m_forceX[i];
        y[i] = m_curve[i][1] + m_forceY[i];
    }
    SquareMatrix<U>::cyclicTridiagSolve(x, d, off, off, corner, corner);
    SquareMatrix<U>::cyclicTridiagSolve(y, d, off, off, corner, corner);
    m_curve.detach();
    for (int i = 0; i < n; ++i) {
        m_curve[i][0] = x[i];
        m_curve[i][1] = y[i];
    }
}

template class Snake<float, float>;
template class Snake<double, double>;
