// The extractor cuts the planes into slabs run on every core and puts their
// vertices and triangles together; the mesh must be the one the plain
// sequential extraction (marchingcubesreference.h) makes, to the bit and in
// the same order, at any thread count.

#include "imageprocessing/marchingcubes.h"
#include "marchingcubesreference.h"
#include "numerics/parallel.h"
#include "numerics/progressmonitor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Border = MarchingCubes<float>::Border;

bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Counts, coordinates, triangles and normals equal to the bit; the first
// differences are reported.
void expectSameMesh(const TriMesh<float>& mesh, const TriMesh<float>& reference, const std::string& what)
{
    SCOPED_TRACE(what);
    ASSERT_EQ(mesh.getNumVertices(), reference.getNumVertices());
    ASSERT_EQ(mesh.getNumTriangles(), reference.getNumTriangles());
    int differences = 0;
    for (int v = 0; v < mesh.getNumVertices() && differences < 5; ++v) {
        // The vectors, made when asked for, lie on the coordinates written.
        if (mesh[v].data() != mesh.coordinates(v) || mesh.getNormal(v).data() != mesh.getNormals().coordinates(v)) {
            ADD_FAILURE() << "vertex " << v << ": vector off its coordinates";
            ++differences;
        }
        for (int a = 0; a < 3; ++a)
            if (!sameBits(mesh[v][a], reference[v][a]) || !sameBits(mesh.getNormal(v)[a], reference.getNormal(v)[a])) {
                ADD_FAILURE() << "vertex " << v << " axis " << a << ": " << mesh[v][a] << " against " << reference[v][a];
                ++differences;
                break;
            }
    }
    for (int t = 0; t < mesh.getNumTriangles() && differences < 5; ++t)
        if (mesh.triangleIndexes(static_cast<unsigned int>(t))
            != reference.triangleIndexes(static_cast<unsigned int>(t))) {
            ADD_FAILURE() << "triangle " << t << " differs";
            ++differences;
        }
    EXPECT_EQ(differences, 0);
}

VoxelMatrix<float> randomVolume(int s1, int s2, int s3, std::mt19937& rng)
{
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    VoxelMatrix<float> v(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j)
                v(i, j, k) = u(rng);
    return v;
}

// Smooth blobs: a sum of Gaussians of random centres and widths, as the
// benchmark's volume, with surfaces crossing many slabs.
VoxelMatrix<float> blobVolume(int s1, int s2, int s3, int blobs, std::mt19937& rng)
{
    std::uniform_real_distribution<double> u(0.0, 1.0);
    struct Blob {
        double c[3];
        double w;
    };
    std::vector<Blob> list;
    for (int b = 0; b < blobs; ++b)
        list.push_back({{u(rng) * s1, u(rng) * s2, u(rng) * s3}, 2.0 + 4.0 * u(rng)});
    VoxelMatrix<float> v(s1, s2, s3);
    for (int k = 0; k < s3; ++k)
        for (int i = 0; i < s1; ++i)
            for (int j = 0; j < s2; ++j) {
                double sum = 0;
                for (const Blob& b : list) {
                    const double d2 = (i - b.c[0]) * (i - b.c[0]) + (j - b.c[1]) * (j - b.c[1])
                                      + (k - b.c[2]) * (k - b.c[2]);
                    sum += std::exp(-d2 / (2 * b.w * b.w));
                }
                v(i, j, k) = static_cast<float>(sum);
            }
    return v;
}

void expectSameAsReference(const VoxelMatrix<float>& volume, float iso, const std::string& what)
{
    for (Border border : {Border::Open, Border::Overhang, Border::Faces}) {
        plexan::test::ReferenceMarchingCubes<float> reference;
        const TriMesh<float> expected = reference.buildMesh(volume, iso, static_cast<typename
            plexan::test::ReferenceMarchingCubes<float>::Border>(border));
        for (int threads : {1, 2, 4}) {
            plexan::parallel::ThreadCountScope scope(threads);
            MarchingCubes<float> mc;
            expectSameMesh(mc.buildMesh(volume, iso, border), expected,
                           what + ", border " + std::to_string(static_cast<int>(border)) + ", " + std::to_string(threads)
                               + " threads");
        }
    }
}

// Slabs of 16 cube layers: volumes of 1 to 3 slabs, with a last slab of a
// single layer, and planes shared by two slabs that carry vertices.
TEST(MarchingCubesSlabs, RandomVolumesGiveTheSequentialMesh)
{
    std::mt19937 rng(30);
    const int sizes[][3] = {{5, 7, 16}, {6, 5, 17}, {4, 9, 18}, {7, 6, 33}, {9, 4, 40}, {3, 3, 2}, {1, 5, 20}};
    for (const auto& s : sizes) {
        const VoxelMatrix<float> volume = randomVolume(s[0], s[1], s[2], rng);
        expectSameAsReference(volume, 0.1f, std::to_string(s[0]) + "x" + std::to_string(s[1]) + "x"
                                                + std::to_string(s[2]));
    }
}

// The extractor looks for cut edges only where the rows they join change,
// eight grid points at a time. Rows longer than a few words that are all
// inside, all outside, or one run of the other side somewhere (at the
// start, the end, across a word boundary, a single point), against each
// other in every combination, must still give every cut edge.
TEST(MarchingCubesSlabs, RowsOfOneRunGiveTheSequentialMesh)
{
    std::mt19937 rng(8);
    std::uniform_int_distribution<int> kind(0, 3);
    std::uniform_int_distribution<int> at(0, 36);
    std::uniform_real_distribution<float> size(0.1f, 1.0f);
    VoxelMatrix<float> volume(6, 37, 19);
    for (int k = 0; k < 19; ++k)
        for (int i = 0; i < 6; ++i) {
            const int type = kind(rng);
            int from = at(rng);
            int to = at(rng);
            if (from > to)
                std::swap(from, to);
            ++to;
            for (int j = 0; j < 37; ++j) {
                const bool inRun = j >= from && j < to;
                const bool inside = type == 1 || (type == 2 && inRun) || (type == 3 && !inRun);
                volume(i, j, k) = inside ? size(rng) : -size(rng);
            }
        }
    expectSameAsReference(volume, 0.0f, "rows of one run");
}

// Regression: the vertices of a grid plane shared by two slabs must be made
// once and numbered where the sequential order puts them; a surface lying
// exactly on such planes (values equal to the level) cuts every edge there.
TEST(MarchingCubesSlabs, SurfacesOnSlabBoundariesAreMadeOnce)
{
    VoxelMatrix<float> volume(6, 5, 40);
    for (int k = 0; k < 40; ++k)
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 5; ++j)
                volume(i, j, k) = static_cast<float>((k % 16) - 15 + ((i + j) % 2));
    expectSameAsReference(volume, 0.0f, "plane steps");
}

// A lone grid point whose value is the level puts all the vertices of its
// edges on itself: their triangles have no area and their normals are zero.
// The normals are normalised a block of vertices at a time; those vertices
// fall among others in their blocks.
TEST(MarchingCubesSlabs, VerticesOfTrianglesOfNoAreaKeepAZeroNormal)
{
    std::mt19937 rng(7);
    VoxelMatrix<float> volume = blobVolume(9, 11, 37, 4, rng);
    for (int k = 2; k < 35; k += 3)
        for (int i = 2; i < 7; i += 4)
            for (int j = 2; j < 9; j += 4) {
                for (int d = 0; d < 3; ++d)
                    for (int e = -1; e <= 1; e += 2) {
                        int at[3] = {i, j, k};
                        at[d] += e;
                        volume(at[0], at[1], at[2]) = 0.0f;
                    }
                volume(i, j, k) = 0.5f;
            }
    MarchingCubes<float> mc;
    const TriMesh<float> mesh = mc.buildMesh(volume, 0.5f, Border::Open);
    int zero = 0;
    for (int v = 0; v < mesh.getNumVertices(); ++v)
        zero += mesh.getNormal(v)[0] == 0 && mesh.getNormal(v)[1] == 0 && mesh.getNormal(v)[2] == 0;
    EXPECT_GT(zero, 0);
    EXPECT_LT(zero, mesh.getNumVertices() / 2);
    expectSameAsReference(volume, 0.5f, "lone points at the level");
}

TEST(MarchingCubesSlabs, BlobVolumesGiveTheSequentialMesh)
{
    std::mt19937 rng(448552);
    const VoxelMatrix<float> volume = blobVolume(24, 28, 52, 12, rng);
    for (float iso : {0.3f, 0.5f, 0.9f})
        expectSameAsReference(volume, iso, "blobs at " + std::to_string(iso));
}

// The calling thread keeps the working memory from one extraction to the
// next, whichever extractor makes it: a larger volume after a smaller one
// must not write past what the smaller one set aside (ASan), nor a smaller
// one after it see the larger one's leftovers, whether the same extractor,
// a copy or a new one makes it.
TEST(MarchingCubesSlabs, OneThreadServesVolumesOfEverySize)
{
    std::mt19937 rng(2024);
    const VoxelMatrix<float> small = randomVolume(5, 6, 9, rng);
    const VoxelMatrix<float> large = blobVolume(30, 26, 48, 14, rng);
    const VoxelMatrix<float> wide = randomVolume(40, 3, 20, rng);
    using Reference = plexan::test::ReferenceMarchingCubes<float>;
    const auto expected = [](const VoxelMatrix<float>& v, float iso) {
        return Reference().buildMesh(v, iso, Reference::Border::Overhang);
    };
    VoxelMatrix<double> smallDouble(small.getSize1(), small.getSize2(), small.getSize3());
    for (int k = 0; k < small.getSize3(); ++k)
        for (int i = 0; i < small.getSize1(); ++i)
            for (int j = 0; j < small.getSize2(); ++j)
                smallDouble(i, j, k) = small(i, j, k);
    for (int threads : {1, 2, 4}) {
        plexan::parallel::ThreadCountScope scope(threads);
        const std::string tag = ", " + std::to_string(threads) + " threads";
        MarchingCubes<float> mc;
        expectSameMesh(mc.buildMesh(small, 0.1f, Border::Overhang), expected(small, 0.1f), "small" + tag);
        expectSameMesh(mc.buildMesh(large, 0.5f, Border::Overhang), expected(large, 0.5f), "large" + tag);
        MarchingCubes<float> copy(mc);
        expectSameMesh(mc.buildMesh(small, 0.1f, Border::Overhang), expected(small, 0.1f), "small again" + tag);
        expectSameMesh(copy.buildMesh(wide, 0.0f, Border::Overhang), expected(wide, 0.0f), "copy, wide" + tag);
        expectSameMesh(MarchingCubes<float>().buildMesh(large, 0.9f, Border::Overhang), expected(large, 0.9f),
                       "new, large" + tag);
        expectSameMesh(MarchingCubes<double>().buildMesh(smallDouble, 0.1, MarchingCubes<double>::Border::Overhang),
                       plexan::test::ReferenceMarchingCubes<double>().buildMesh(
                           smallDouble, 0.1, plexan::test::ReferenceMarchingCubes<double>::Border::Overhang),
                       "double, small" + tag);
    }
}

// Makes a second extraction, of another volume, from the first one's
// progress, on the thread that runs the first: the two hold their working
// memory at once.
class NestedExtraction : public ProgressMonitor {
public:
    explicit NestedExtraction(const VoxelMatrix<float>& volume) : m_volume(volume) {}
    TriMesh<float> mesh;
    int made = 0;

protected:
    void subjectProgressed(unsigned int i, unsigned int) override
    {
        if (made == 0 && i >= 30) {
            ++made;
            mesh = MarchingCubes<float>().buildMesh(m_volume, 0.5f, Border::Overhang);
        }
    }

private:
    const VoxelMatrix<float>& m_volume;
};

TEST(MarchingCubesSlabs, AnExtractionStartedFromAnotherHasMemoryOfItsOwn)
{
    std::mt19937 rng(4711);
    const VoxelMatrix<float> outer = blobVolume(26, 30, 64, 12, rng);
    const VoxelMatrix<float> inner = blobVolume(34, 22, 40, 9, rng);
    using Reference = plexan::test::ReferenceMarchingCubes<float>;
    for (int threads : {1, 2}) {
        plexan::parallel::ThreadCountScope scope(threads);
        const std::string tag = ", " + std::to_string(threads) + " threads";
        MarchingCubes<float> mc;
        NestedExtraction nested(inner);
        mc.addMonitor(nested);
        expectSameMesh(mc.buildMesh(outer, 0.5f, Border::Overhang),
                       Reference().buildMesh(outer, 0.5f, Reference::Border::Overhang), "outer" + tag);
        mc.removeMonitor(nested);
        ASSERT_EQ(nested.made, 1);
        expectSameMesh(nested.mesh, Reference().buildMesh(inner, 0.5f, Reference::Border::Overhang), "inner" + tag);
    }
}

// The output is sized from crossings counted on a sample of plane pairs.
// Here the sampled (even) planes are all outside and every odd plane is
// noise, so the edges within the odd planes go uncounted and the slabs'
// lists outgrow what was set aside for them.
TEST(MarchingCubesSlabs, SurfacesTheSampleMissesStillComeOutWhole)
{
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    VoxelMatrix<float> volume(24, 20, 40);
    for (int k = 0; k < 40; ++k)
        for (int i = 0; i < 24; ++i)
            for (int j = 0; j < 20; ++j)
                volume(i, j, k) = k % 2 ? u(rng) : -1.0f;
    expectSameAsReference(volume, 0.0f, "odd planes of noise");
}

// What a monitor hears, with the threads it hears it from.
class Recorder : public ProgressMonitor {
public:
    std::vector<unsigned int> steps;
    std::vector<std::thread::id> threads;
    int started = 0;
    int finished = 0;
    int canceled = 0;

protected:
    void subjectStarted(const std::string&) override { ++started; }
    void subjectFinished(const std::string&) override { ++finished; }
    void subjectCanceled(const std::string&) override { ++canceled; }
    void subjectProgressed(unsigned int i, unsigned int n) override
    {
        EXPECT_EQ(n, 100u);
        steps.push_back(i);
        threads.push_back(std::this_thread::get_id());
    }
};

// Progress goes out from the calling thread only, never goes back, ends at
// 100 and comes in many steps along the way (not all at the end).
TEST(MarchingCubesProgress, ClimbsToOneHundredFromTheCallingThread)
{
    std::mt19937 rng(7);
    const VoxelMatrix<float> volume = blobVolume(20, 22, 70, 10, rng);
    for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        plexan::parallel::ThreadCountScope scope(threads);
        MarchingCubes<float> mc;
        Recorder recorder;
        mc.addMonitor(recorder);
        const TriMesh<float> mesh = mc.buildMesh(volume, 0.5f, Border::Overhang);
        EXPECT_GT(mesh.getNumTriangles(), 0);
        EXPECT_EQ(recorder.started, 1);
        EXPECT_EQ(recorder.finished, 1);
        EXPECT_EQ(recorder.canceled, 0);
        ASSERT_FALSE(recorder.steps.empty());
        EXPECT_EQ(recorder.steps.back(), 100u);
        for (std::size_t i = 1; i < recorder.steps.size(); ++i)
            EXPECT_LT(recorder.steps[i - 1], recorder.steps[i]);
        for (std::thread::id id : recorder.threads)
            EXPECT_EQ(id, std::this_thread::get_id());
        if (threads == 1) // 71 cube layers and 5 slabs: a step for nearly every one
            EXPECT_GE(recorder.steps.size(), 40u);
    }
}

// Blocks the build at its first progress step until the test thread has
// cancelled it.
class CancelGate : public Recorder {
public:
    std::mutex mutex;
    std::condition_variable signal;
    bool reached = false;
    bool cancelled = false;

protected:
    void subjectProgressed(unsigned int i, unsigned int n) override
    {
        Recorder::subjectProgressed(i, n);
        std::unique_lock<std::mutex> lock(mutex);
        reached = true;
        signal.notify_all();
        signal.wait(lock, [&] { return cancelled; });
    }
};

// Cancelling from another thread while the slabs run stops the build: no
// half mesh comes back, the monitors hear of the cancellation instead of the
// end, and the same extractor then builds the whole mesh again.
TEST(MarchingCubesProgress, CancelFromAnotherThreadLeavesNoMesh)
{
    std::mt19937 rng(11);
    const VoxelMatrix<float> volume = blobVolume(20, 22, 70, 10, rng);
    plexan::test::ReferenceMarchingCubes<float> reference;
    const TriMesh<float> whole =
        reference.buildMesh(volume, 0.5f, plexan::test::ReferenceMarchingCubes<float>::Border::Open);
    for (int threads : {1, 2}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        plexan::parallel::ThreadCountScope scope(threads);
        MarchingCubes<float> mc;
        CancelGate gate;
        mc.addMonitor(gate);
        TriMesh<float> mesh(3, 1);
        std::thread build([&] { mesh = mc.buildMesh(volume, 0.5f, Border::Open); });
        {
            std::unique_lock<std::mutex> lock(gate.mutex);
            gate.signal.wait(lock, [&] { return gate.reached; });
            mc.cancel();
            gate.cancelled = true;
            gate.signal.notify_all();
        }
        build.join();
        EXPECT_TRUE(mc.isCanceled());
        EXPECT_EQ(mesh.getNumVertices(), 0);
        EXPECT_EQ(mesh.getNumTriangles(), 0);
        EXPECT_FALSE(mesh.hasNormals());
        EXPECT_EQ(gate.canceled, 1);
        EXPECT_EQ(gate.finished, 0);
        if (threads == 1) // the layer that reported was the last one run
            EXPECT_EQ(gate.steps.size(), 1u);

        mc.removeMonitor(gate);
        expectSameMesh(mc.buildMesh(volume, 0.5f, Border::Open), whole, "after the cancellation");
        EXPECT_FALSE(mc.isCanceled());
    }
}

} // namespace
