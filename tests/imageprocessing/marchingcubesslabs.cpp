// The extractor cuts the planes into slabs run on every core and puts their
// vertices and triangles together; the mesh must be the one the plain
// sequential extraction (marchingcubesreference.h) makes, to the bit and in
// the same order, at any thread count.

#include "imageprocessing/marchingcubes.h"
#include "marchingcubesreference.h"
#include "numerics/parallel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

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
    for (int v = 0; v < mesh.getNumVertices() && differences < 5; ++v)
        for (int a = 0; a < 3; ++a)
            if (!sameBits(mesh[v][a], reference[v][a]) || !sameBits(mesh.getNormal(v)[a], reference.getNormal(v)[a])) {
                ADD_FAILURE() << "vertex " << v << " axis " << a << ": " << mesh[v][a] << " against " << reference[v][a];
                ++differences;
                break;
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

TEST(MarchingCubesSlabs, BlobVolumesGiveTheSequentialMesh)
{
    std::mt19937 rng(448552);
    const VoxelMatrix<float> volume = blobVolume(24, 28, 52, 12, rng);
    for (float iso : {0.3f, 0.5f, 0.9f})
        expectSameAsReference(volume, iso, "blobs at " + std::to_string(iso));
}

} // namespace
