// Nearest-vertex search: building the tree and answering nearest and
// k-nearest queries over 100,000 random points in 3-D.

#include "geometry/kdtree.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

Vertices<float> randomCloud(int n, int space, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> uniform(0.0f, 100.0f);
    Vertices<float> cloud(space, n);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < space; ++k)
            cloud[i][k] = uniform(rng);
    return cloud;
}

std::vector<Vector<float>> randomQueries(int n, int space, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> uniform(0.0f, 100.0f);
    std::vector<Vector<float>> queries(static_cast<std::size_t>(n), Vector<float>(static_cast<unsigned>(space)));
    for (auto& q : queries)
        for (float& x : q)
            x = uniform(rng);
    return queries;
}

void BM_KDTreeBuild(benchmark::State& state)
{
    const Vertices<float> cloud = randomCloud(static_cast<int>(state.range(0)), 3, 1);
    KDTree<float> tree;
    for (auto _ : state) {
        tree.setShape(cloud);
        benchmark::DoNotOptimize(tree.getNumNodes());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_KDTreeBuild)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_KDTreeNearest(benchmark::State& state)
{
    const Vertices<float> cloud = randomCloud(100000, 3, 2);
    const KDTree<float> tree(cloud);
    const auto queries = randomQueries(4096, 3, 3);
    std::size_t q = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tree.nearestVertex(queries[q]));
        q = (q + 1) & 4095;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KDTreeNearest);

void BM_KDTreeKNearest(benchmark::State& state)
{
    const Vertices<float> cloud = randomCloud(100000, 3, 4);
    const KDTree<float> tree(cloud);
    const auto queries = randomQueries(4096, 3, 5);
    const int k = static_cast<int>(state.range(0));
    Vector<int> nodes;
    Vector<float> distances;
    std::size_t q = 0;
    for (auto _ : state) {
        tree.kNearestNeighbours(nodes, distances, k, queries[q]);
        benchmark::DoNotOptimize(distances.data());
        q = (q + 1) & 4095;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KDTreeKNearest)->Arg(1)->Arg(8)->Arg(32);

} // namespace
