// The linear-algebra workloads compared with numpy on the same matrices
// (bench/peers/run.sh): a million 3 x 3 symmetric eigen-decompositions
// (sorted) and singular value decompositions (with both factors), and the
// least-squares solve of a 300 x 300 system. Registered only when
// PLEXAN_PEERS_DATA names the generated inputs; leaves the eigenvalues,
// singular values and solution beside them for the agreement checks.

#include "numerics/squarematrix.h"

#include "../peers/peerdata.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int batch = 1000000;

std::vector<SquareMatrix<double>> matrices(const char* name)
{
    const std::vector<double> values = peers::readArray<double>(name, 9 * static_cast<std::size_t>(batch));
    std::vector<SquareMatrix<double>> list(batch, SquareMatrix<double>(3));
    for (int n = 0; n < batch; ++n)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                list[n](i, j) = values[9 * static_cast<std::size_t>(n) + 3 * i + j];
    return list;
}

void eigen3(benchmark::State& state)
{
    const std::vector<SquareMatrix<double>> list = matrices("w9_symmetric_3x3.f64");
    std::vector<double> out(3 * static_cast<std::size_t>(batch));
    Vector<double> values;
    SquareMatrix<double> vectors;
    for (auto _ : state)
        for (int n = 0; n < batch; ++n) {
            list[n].eigenJacobi(values, vectors, true);
            for (int i = 0; i < 3; ++i)
                out[3 * static_cast<std::size_t>(n) + i] = values[i];
        }
    peers::writeArray("w9_eigenvalues.f64", out);
}

void svd3(benchmark::State& state)
{
    const std::vector<SquareMatrix<double>> list = matrices("w9_general_3x3.f64");
    std::vector<double> out(3 * static_cast<std::size_t>(batch));
    SquareMatrix<double> left, right;
    for (auto _ : state)
        for (int n = 0; n < batch; ++n) {
            const Vector<double> s = list[n].svd(&left, &right);
            for (int i = 0; i < 3; ++i)
                out[3 * static_cast<std::size_t>(n) + i] = s[i];
        }
    peers::writeArray("w9_singularvalues.f64", out);
}

void solve300(benchmark::State& state)
{
    const std::vector<double> values = peers::readArray<double>("w9_system_300.f64", 300 * 301);
    Matrix<double> a(300, 300);
    Vector<double> b(300u);
    for (int i = 0; i < 300; ++i) {
        for (int j = 0; j < 300; ++j)
            a(i, j) = values[301 * static_cast<std::size_t>(i) + j];
        b[i] = values[301 * static_cast<std::size_t>(i) + 300];
    }
    Vector<double> x;
    for (auto _ : state) {
        x = a.solve(b);
        benchmark::DoNotOptimize(x.data());
    }
    peers::writeArray("w9_solution.f64", std::vector<double>(x.begin(), x.end()));
}

[[maybe_unused]] const bool registered = [] {
    peers::addWorkload("W9_EigenJacobi3_1e6", eigen3);
    peers::addWorkload("W9_Svd3_1e6", svd3);
    peers::addWorkload("W9_Solve300", solve300, 0);
    return true;
}();

} // namespace
