#include "clitesting.h"
#include "geometry/trimesh.h"
#include "image/voxelmatrix.h"

#include <gtest/gtest.h>

#include <locale>

using namespace clitest;

namespace {

const double pi = 3.141592653589793;
const double radius = 6.0;
const std::array<double, 3> centre{10.0, 9.0, 12.0};
const std::array<float, 3> voxel{0.5f, 0.75f, 1.25f};

// R - |p - c| on a grid of anisotropic voxels: the level 0 is a sphere of
// radius R in lengths.
template <typename T>
void writeBall(const std::string& file)
{
    VoxelMatrix<T> m(42, 26, 22);
    for (int k = 0; k < m.getSize3(); ++k)
        for (int i = 0; i < m.getSize1(); ++i)
            for (int j = 0; j < m.getSize2(); ++j)
                m(i, j, k) = static_cast<T>(
                    std::lround(1000 * (radius - std::hypot(i * voxel[0] - centre[0], j * voxel[1] - centre[1],
                                                            k * voxel[2] - centre[2])))) /
                             static_cast<T>(1000);
    m.getVoxelCalibration().setVoxelSize(Vector<float>{voxel[0], voxel[1], voxel[2]});
    m.getVoxelCalibration().setLengthUnit(LengthUnit(-6));
    m.save(file, true);
}

// The facets' vertices and the volume they enclose (divergence theorem).
struct Mesh {
    std::vector<std::array<double, 3>> vertices;
    double volume = 0.0;
    int facets = 0;
};

Mesh readStl(const std::string& file)
{
    std::istringstream in(readFile(file));
    in.imbue(std::locale::classic());
    Mesh mesh;
    std::string word;
    while (in >> word)
        if (word == "loop") {
            std::array<std::array<double, 3>, 3> v{};
            for (auto& p : v)
                in >> word >> p[0] >> p[1] >> p[2];
            mesh.vertices.insert(mesh.vertices.end(), v.begin(), v.end());
            mesh.volume += (v[0][0] * (v[1][1] * v[2][2] - v[1][2] * v[2][1]) -
                            v[0][1] * (v[1][0] * v[2][2] - v[1][2] * v[2][0]) +
                            v[0][2] * (v[1][0] * v[2][1] - v[1][1] * v[2][0])) / 6;
            ++mesh.facets;
        }
    return mesh;
}

} // namespace

TEST(IsosurfaceCommand, BallOfAnisotropicVoxelsIsASphere)
{
    Scratch scratch;
    writeBall<float>(scratch / "ball.vm");
    const Result r = run({"isosurface", scratch / "ball.vm", "--iso", "0", "-o", scratch / "ball.stl"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Mesh mesh = readStl(scratch / "ball.stl");
    ASSERT_GT(mesh.facets, 500);
    // Outward triangles enclose the ball's volume; every vertex lies on its
    // sphere, once the voxel indices are scaled by the voxel size.
    EXPECT_NEAR(mesh.volume, 4.0 / 3 * pi * std::pow(radius, 3), 0.02 * 4.0 / 3 * pi * std::pow(radius, 3));
    for (const auto& v : mesh.vertices)
        ASSERT_NEAR(std::hypot(v[0] - centre[0], v[1] - centre[1], v[2] - centre[2]), radius, 0.05 * radius);

    const Table t = tables(r.out).at(0);
    EXPECT_EQ(t[0], (Row{"file", "vertices", "triangles", "area [µm^2]", "volume [µm^3]"}));
    EXPECT_EQ(number(t, 1, "triangles"), mesh.facets);
    EXPECT_NEAR(number(t, 1, "volume"), mesh.volume, 1e-3 * mesh.volume);

    // The same mesh as a mesh file, and from voxels of other types.
    ASSERT_EQ(run({"isosurface", scratch / "ball.vm", "--iso", "0", "-o", scratch / "ball.tm"}).status, 0);
    const TriMesh<float> saved(scratch / "ball.tm");
    EXPECT_EQ(saved.getNumTriangles(), mesh.facets);
    writeBall<double>(scratch / "double.vm");
    writeBall<long double>(scratch / "long.vm");
    for (const char* file : {"double.vm", "long.vm"}) {
        const Result other = run({"isosurface", scratch / file, "--iso", "0", "-o", scratch / "other.stl"});
        ASSERT_EQ(other.status, 0) << other.err;
        EXPECT_EQ(readStl(scratch / "other.stl").facets, mesh.facets) << file;
    }
}

// Closed surfaces close at the volume's border; open ones stop there.
TEST(IsosurfaceCommand, ClosedAndOpenAtTheBorder)
{
    Scratch scratch;
    VoxelMatrix<int> full(4, 5, 3);
    full.fill(7);
    full.save(scratch / "full.vm", true);
    const Result closed = run({"isosurface", scratch / "full.vm", "--iso", "5", "-o", scratch / "closed.stl"});
    ASSERT_EQ(closed.status, 0) << closed.err;
    const Mesh box = readStl(scratch / "closed.stl");
    EXPECT_GT(box.facets, 0);
    // Around every voxel centre, within the border planes: 0 below, and
    // size - 1 + 2/3 above, where the values go from 7 - 5 to the -1 that
    // stands for the outside.
    const double upper[3] = {3 + 2.0 / 3, 4 + 2.0 / 3, 2 + 2.0 / 3};
    EXPECT_GT(box.volume, 3 * 4 * 2);
    EXPECT_LT(box.volume, upper[0] * upper[1] * upper[2]);
    for (const auto& v : box.vertices)
        for (int a = 0; a < 3; ++a) {
            EXPECT_GE(v[a], 0.0);
            EXPECT_LE(v[a], upper[a] + 1e-4);
        }

    const Result open = run({"isosurface", scratch / "full.vm", "--iso", "5", "--open", "-o", scratch / "open.stl"});
    ASSERT_EQ(open.status, 0) << open.err;
    EXPECT_EQ(readStl(scratch / "open.stl").facets, 0);
    EXPECT_EQ(number(tables(open.out).at(0), 1, "triangles"), 0);
}
