#include "clitesting.h"
#include "geometry/trimesh.h"
#include "image/voxelmatrix.h"
#include "imageprocessing/marchingcubes.h"

using namespace clitest;

namespace {

const double radius = 6.0;
const Point centre{10.0, 9.0, 12.0};
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
                m(i, j, k) = static_cast<T>(std::lround(
                                 1000 * (radius - std::hypot(i * voxel[0] - centre[0], j * voxel[1] - centre[1], k * voxel[2] - centre[2])))) /
                             static_cast<T>(1000);
    m.getVoxelCalibration().setVoxelSize(Vector<float>{voxel[0], voxel[1], voxel[2]});
    m.getVoxelCalibration().setLengthUnit(LengthUnit(-6));
    m.save(file, true);
}

// The volume the facets enclose (divergence theorem).
double volume(const std::vector<Facet>& facets)
{
    double v = 0.0;
    for (const Facet& f : facets) {
        const auto& [a, b, c] = f.vertices;
        v += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0])) / 6;
    }
    return v;
}

} // namespace

TEST(IsosurfaceCommand, BallOfAnisotropicVoxelsIsASphere)
{
    Scratch scratch;
    writeBall<float>(scratch / "ball.vm");
    const Result r = run({"isosurface", scratch / "ball.vm", "--iso", "0", "-o", scratch / "ball.stl"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Facet> mesh = readStl(scratch / "ball.stl");
    ASSERT_GT(mesh.size(), 500u);
    // Outward triangles enclose the ball's volume; every vertex lies on its
    // sphere, once the voxel indices are scaled by the voxel size.
    const double ball = 4.0 / 3 * pi * std::pow(radius, 3);
    EXPECT_NEAR(volume(mesh), ball, 0.02 * ball);
    for (const Facet& f : mesh)
        for (const Point& v : f.vertices)
            ASSERT_NEAR(std::hypot(v[0] - centre[0], v[1] - centre[1], v[2] - centre[2]), radius, 0.05 * radius);
    const Table t = tables(r.out).at(0);
    EXPECT_EQ(t[0], (Row{"file", "vertices", "triangles", "area [µm^2]", "volume [µm^3]"}));
    EXPECT_EQ(number(t, 1, "triangles"), mesh.size());
    EXPECT_NEAR(number(t, 1, "volume"), volume(mesh), 1e-3 * ball);

    // The same mesh as a mesh file, and from voxels of other types.
    ASSERT_EQ(run({"isosurface", scratch / "ball.vm", "--iso", "0", "-o", scratch / "ball.tm"}).status, 0);
    EXPECT_EQ(static_cast<std::size_t>(TriMesh<float>(scratch / "ball.tm").getNumTriangles()), mesh.size());
    writeBall<double>(scratch / "double.vm");
    writeBall<long double>(scratch / "long.vm");
    for (const char* file : {"double.vm", "long.vm"}) {
        ASSERT_EQ(run({"isosurface", scratch / file, "--iso", "0", "-o", scratch / "other.stl"}).status, 0) << file;
        EXPECT_EQ(readStl(scratch / "other.stl").size(), mesh.size()) << file;
    }
}

// Closed surfaces close at the volume's border; open ones stop there.
TEST(IsosurfaceCommand, ClosedAndOpenAtTheBorder)
{
    Scratch scratch;
    VoxelMatrix<int> full(4, 5, 3);
    full.fill(7);
    full.save(scratch / "full.vm", true);
    ASSERT_EQ(run({"isosurface", scratch / "full.vm", "--iso", "5", "-o", scratch / "closed.stl"}).status, 0);
    const std::vector<Facet> box = readStl(scratch / "closed.stl");
    // Around every voxel centre, within the border planes: 0 below, and
    // size - 1 + 2/3 above, where the values go from 7 - 5 to the -1 that
    // stands for the outside.
    const double upper[3] = {3 + 2.0 / 3, 4 + 2.0 / 3, 2 + 2.0 / 3};
    EXPECT_GT(volume(box), 3 * 4 * 2);
    EXPECT_LT(volume(box), upper[0] * upper[1] * upper[2]);
    for (const Facet& f : box)
        for (const Point& v : f.vertices)
            for (int a = 0; a < 3; ++a)
                EXPECT_TRUE(v[a] >= 0.0 && v[a] <= upper[a] + 1e-4) << a << " " << v[a];

    const Result open = run({"isosurface", scratch / "full.vm", "--iso", "5", "--open", "-o", scratch / "open.stl"});
    ASSERT_EQ(open.status, 0) << open.err;
    EXPECT_TRUE(readStl(scratch / "open.stl").empty());
    EXPECT_EQ(number(tables(open.out).at(0), 1, "triangles"), 0);
}

// Regression: where voxels equal the level exactly, several cube edges meet
// the surface at the voxel itself and marching cubes makes triangles of no
// area; the files kept them (with undefined normals). The written mesh is
// the extracted one without them: same enclosed volume, every facet with an
// area; an open surface reports no enclosed volume.
TEST(IsosurfaceCommand, FlatTrianglesAtExactTiesAreLeftOut)
{
    Scratch scratch;
    // Chebyshev rings: 4 at the centre down to 1, every voxel of the second
    // ring exactly at the level 2.
    VoxelMatrix<int> rings(7, 7, 7);
    for (int k = 0; k < 7; ++k)
        for (int i = 0; i < 7; ++i)
            for (int j = 0; j < 7; ++j)
                rings(i, j, k) = 4 - std::max({std::abs(i - 3), std::abs(j - 3), std::abs(k - 3)});
    rings.save(scratch / "rings.vm", true);
    const TriMesh<float> extracted = MarchingCubes<int>().buildMesh(rings, 2, true);
    int flat = 0;
    std::vector<Facet> reference;
    for (int t = 0; t < extracted.getNumTriangles(); ++t) {
        Facet f{};
        for (int c = 0; c < 3; ++c) {
            const Vector<float>& v =
                (*extracted.getServer())[static_cast<int>(extracted.triangleIndexes(static_cast<unsigned int>(t))[static_cast<std::size_t>(c)])];
            f.vertices[c] = {double(v[0]), double(v[1]), double(v[2])};
        }
        const auto& [a, b, c] = f.vertices;
        const Point n{(b[1] - a[1]) * (c[2] - a[2]) - (b[2] - a[2]) * (c[1] - a[1]),
                      (b[2] - a[2]) * (c[0] - a[0]) - (b[0] - a[0]) * (c[2] - a[2]),
                      (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])};
        if (n == Point{0, 0, 0})
            ++flat;
        reference.push_back(f);
    }
    ASSERT_GT(flat, 0) << "the volume must give flat triangles for the test to mean anything";

    const Result r = run({"isosurface", scratch / "rings.vm", "--iso", "2", "-o", scratch / "rings.stl"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Facet> written = readStl(scratch / "rings.stl");
    EXPECT_EQ(written.size() + static_cast<std::size_t>(flat), reference.size());
    for (const Facet& f : written) {
        const auto& [a, b, c] = f.vertices;
        EXPECT_GT(std::hypot((b[1] - a[1]) * (c[2] - a[2]) - (b[2] - a[2]) * (c[1] - a[1]),
                             (b[2] - a[2]) * (c[0] - a[0]) - (b[0] - a[0]) * (c[2] - a[2]),
                             (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])),
                  0.0);
        EXPECT_NEAR(std::hypot(f.normal[0], f.normal[1], f.normal[2]), 1.0, 1e-5);
    }
    EXPECT_NEAR(volume(written), volume(reference), 1e-6 * std::fabs(volume(reference)));
    EXPECT_EQ(number(tables(r.out).at(0), 1, "triangles"), written.size());

    const Result open = run({"isosurface", scratch / "rings.vm", "--iso", "2", "--open", "-o", scratch / "open.tm"});
    ASSERT_EQ(open.status, 0) << open.err;
    const Table t = tables(open.out).at(0);
    EXPECT_EQ(t[1].back(), "NA");
    EXPECT_EQ(TriMesh<float>(scratch / "open.tm").getNumTriangles(), number(t, 1, "triangles"));
}
