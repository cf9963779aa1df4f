// Global (joint registration and averaging) registration of 10 specimens of
// 5 structures each: closed tubes of 20 levels of 32 vertices, moved by
// rigid turns of up to 10 degrees and shifts of up to 10 units, with noise.

#include "statistics/globalshapesetgroupregistration.h"
#include "statistics/rigidshaperegistration.h"

#include "geometry/quadmesh.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

constexpr double pi = 3.141592653589793;

template <typename T>
class Move : public RigidShapeRegistration<T> {
protected:
    void compute(const Shape<T>&, const Shape<T>&) override {}
};

template <typename T>
QuadMesh<T>* tube(int s, std::mt19937& rng, double sigma, const Move<T>& move)
{
    std::normal_distribution<double> noise(0.0, sigma);
    auto* mesh = new QuadMesh<T>(3, 20, 32);
    for (int r = 0; r < 20; ++r)
        for (int c = 0; c < 32; ++c) {
            const double t = 2 * pi * c / 32;
            const double grow = 1 + 0.05 * r;
            (*mesh)[r][c] = Vector<T>{T(8 * s + 0.03 * r * r + (4 + s) * grow * std::cos(t) + noise(rng)),
                                      T(3 * s + (2 + 0.5 * s) * grow * std::sin(t) + noise(rng)),
                                      T(-20 + 2 * r + 5 * s + noise(rng))};
        }
    mesh->buildCaps();
    move.apply(*mesh);
    return mesh;
}

template <typename T>
void BM_GlobalRegistration(benchmark::State& state)
{
    const int specimens = 10;
    const int structures = 5;
    for (auto _ : state) {
        state.PauseTiming();
        std::mt19937 rng(42);
        std::uniform_real_distribution<double> u(-1, 1);
        std::vector<ShapeSet<T>> sets;
        for (int i = 0; i < specimens; ++i) {
            const double angle = 10 * pi / 180 * u(rng);
            double x = u(rng), y = u(rng), z = u(rng);
            const double n = std::sqrt(x * x + y * y + z * z);
            x /= n, y /= n, z /= n;
            const double c = std::cos(angle), s = std::sin(angle), d = 1 - c;
            SquareMatrix<T> r(3u);
            const double m[3][3] = {{c + x * x * d, x * y * d - z * s, x * z * d + y * s},
                                    {y * x * d + z * s, c + y * y * d, y * z * d - x * s},
                                    {z * x * d - y * s, z * y * d + x * s, c + z * z * d}};
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b)
                    r(a, b) = T(m[a][b]);
            Move<T> move;
            move.setTransform(r, Vector<T>{T(10 * u(rng)), T(10 * u(rng)), T(10 * u(rng))});
            sets.emplace_back("specimen");
            for (int s = 0; s < structures; ++s)
                sets.back().addShape(tube<T>(s, rng, 0.05, move), true, true);
        }
        ShapeSetGroup<T> group;
        for (ShapeSet<T>& set : sets)
            group.addShapeSet(set);
        GlobalShapeSetGroupRegistration<T> registration;
        state.ResumeTiming();
        registration.apply(group);
        state.counters["sweeps"] = registration.getNumSweeps();
        std::vector<T> means, sems;
        registration.getDynamics(means, sems);
        state.counters["error_before"] = static_cast<double>(means.front());
        state.counters["error_after"] = static_cast<double>(means.back());
    }
}
BENCHMARK(BM_GlobalRegistration<float>)->Unit(benchmark::kMillisecond);

} // namespace
