#include "imageprocessing/unitnormals.h"

#include "imageprocessing/vectorclones.h"

#include <algorithm>
#include <cmath>

namespace plexan::mc {

namespace {

// Vertices taken apart into one array per axis, a block at a time.
constexpr int vertexBlock = 64;

// A length that is not positive divides by 1, and its vertex gets 0.
inline void divideByLength(const double* x, const double* y, const double* z, float* ox, float* oy, float* oz, int n)
{
    for (int v = 0; v < n; ++v) {
        const double length = std::sqrt(x[v] * x[v] + y[v] * y[v] + z[v] * z[v]);
        const bool positive = length > 0;
        const double divisor = positive ? length : 1.0;
        ox[v] = positive ? static_cast<float>(x[v] / divisor) : 0.0f;
        oy[v] = positive ? static_cast<float>(y[v] / divisor) : 0.0f;
        oz[v] = positive ? static_cast<float>(z[v] / divisor) : 0.0f;
    }
}

} // namespace

PLEXAN_VECTOR_CLONES void normaliseSums(const double* sums, float* out, std::size_t n)
{
    alignas(64) double s[3][vertexBlock];
    alignas(64) float o[3][vertexBlock];
    for (std::size_t first = 0; first < n; first += vertexBlock) {
        const int count = static_cast<int>(std::min<std::size_t>(vertexBlock, n - first));
        const double* in = sums + 3 * first;
        for (int v = 0; v < count; ++v)
            for (int a = 0; a < 3; ++a)
                s[a][v] = in[3 * v + a];
        divideByLength(s[0], s[1], s[2], o[0], o[1], o[2], count);
        float* to = out + 3 * first;
        for (int v = 0; v < count; ++v)
            for (int a = 0; a < 3; ++a)
                to[3 * v + a] = o[a][v];
    }
}

} // namespace plexan::mc
