#include "clitesting.h"
#include "geometry/trimesh.h"
#include "image/voxelmatrix.h"
#include "imageprocessing/marchingcubes.h"

#include <cstring>

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
    // Coordinates are in the stack's frame: x along the columns and y up the
    // rows from the plane's centre, z across the planes from plane 0.
    const Point c{centre[1] - voxel[1] * 26 / 2, voxel[0] * 42 / 2 - centre[0], centre[2]};
    const double ball = 4.0 / 3 * pi * std::pow(radius, 3);
    EXPECT_NEAR(volume(mesh), ball, 0.02 * ball);
    for (const Facet& f : mesh)
        for (const Point& v : f.vertices)
            ASSERT_NEAR(std::hypot(v[0] - c[0], v[1] - c[1], v[2] - c[2]), radius, 0.05 * radius);
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

// Closed surfaces close on the volume's faces, the planes through its first
// and last voxels, on both sides alike; open ones stop at the border.
// Regression: the far faces were capped up to 2/3 of a voxel beyond the last
// voxels, so a uniform block of 5 x 6 x 7 voxels of 1 x 2 x 3 µm enclosed
// 873 µm^3 instead of the 4 x 10 x 18 between its outer voxels' centres.
TEST(IsosurfaceCommand, ClosedOnTheVolumesFacesOrOpen)
{
    Scratch scratch;
    VoxelMatrix<int> full(5, 6, 7);
    full.fill(7);
    full.getVoxelCalibration().setVoxelSize(Vector<float>{1.0f, 2.0f, 3.0f});
    full.getVoxelCalibration().setLengthUnit(LengthUnit(-6));
    full.save(scratch / "full.vm", true);
    const Result closed = run({"isosurface", scratch / "full.vm", "--iso", "5", "-o", scratch / "closed.stl"});
    ASSERT_EQ(closed.status, 0) << closed.err;
    const std::vector<Facet> box = readStl(scratch / "closed.stl");
    EXPECT_NEAR(volume(box), 720.0, 1e-3);
    EXPECT_NEAR(number(tables(closed.out).at(0), 1, "volume"), 720.0, 1e-3);
    // The box in the stack's frame: x = 2 (column - 3), y = 2.5 - row,
    // z = 3 plane; every corner on one of its faces at least.
    const double low[3] = {-6, -1.5, 0}, high[3] = {4, 2.5, 18};
    for (const Facet& f : box)
        for (const Point& p : f.vertices) {
            int onFace = 0;
            for (int a = 0; a < 3; ++a) {
                EXPECT_TRUE(p[a] >= low[a] - 1e-5 && p[a] <= high[a] + 1e-5) << a << " " << p[a];
                onFace += std::fabs(p[a] - low[a]) < 1e-5 || std::fabs(p[a] - high[a]) < 1e-5;
            }
            EXPECT_GT(onFace, 0) << p[0] << " " << p[1] << " " << p[2];
        }

    const Result open = run({"isosurface", scratch / "full.vm", "--iso", "5", "--open", "-o", scratch / "open.stl"});
    ASSERT_EQ(open.status, 0) << open.err;
    EXPECT_TRUE(readStl(scratch / "open.stl").empty());
    EXPECT_EQ(number(tables(open.out).at(0), 1, "triangles"), 0);
}

// A ball touching the far faces of its volume, or cut in half by one, keeps
// its volume (half of it when cut): the faces add nothing beyond them.
TEST(IsosurfaceCommand, BallsAtTheFacesKeepTheirVolume)
{
    Scratch scratch;
    const double r = 6.0, ball = 4.0 / 3 * pi * r * r * r, step = 0.5;
    const int rows = 30, columns = 28, planes = 26;
    // Touching the last row and plane faces; then cut by the last plane face.
    const struct {
        Point centre;
        double fraction;
    } cases[] = {{{(rows - 1) * step - r, 7.3, (planes - 1) * step - r}, 1.0}, {{7.1, 7.3, (planes - 1) * step}, 0.5}};
    for (const auto& c : cases) {
        VoxelMatrix<float> m(rows, columns, planes);
        for (int k = 0; k < planes; ++k)
            for (int i = 0; i < rows; ++i)
                for (int j = 0; j < columns; ++j)
                    m(i, j, k) = static_cast<float>(
                        r - std::hypot(i * step - c.centre[0], j * step - c.centre[1], k * step - c.centre[2]));
        m.getVoxelCalibration().setVoxelSize(Vector<float>{float(step), float(step), float(step)});
        m.save(scratch / "ball.vm", true);
        const Result result = run({"isosurface", scratch / "ball.vm", "--iso", "0", "-o", scratch / "ball.stl"});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_NEAR(volume(readStl(scratch / "ball.stl")), c.fraction * ball, 0.01 * c.fraction * ball) << c.fraction;
    }
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
    const TriMesh<float> extracted = MarchingCubes<int>().buildMesh(rings, 2, MarchingCubes<int>::Border::Faces);
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

// Regression: the level was cast to the voxels' integer type, so that 0.5
// became 0 and every voxel of value 0 was inside: the surface was the
// volume's border instead of the one bright voxel's.
TEST(IsosurfaceCommand, FractionalLevelsOfIntegerVolumes)
{
    Scratch scratch;
    VoxelMatrix<int> one(3, 3, 3);
    one.fill(0);
    one(1, 1, 1) = 1;
    one.save(scratch / "int.vm", true);
    one.toType<unsigned char>().save(scratch / "byte.vm", true);
    one.toType<short>().save(scratch / "short.vm", true);
    for (const char* file : {"int.vm", "byte.vm", "short.vm"}) {
        const Result r = run({"isosurface", scratch / file, "--iso", "0.5", "-o", scratch / "one.stl"});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<Facet> mesh = readStl(scratch / "one.stl");
        // An octahedron of half-diagonals 0.5 around the voxel's centre.
        ASSERT_EQ(mesh.size(), 8u) << file;
        EXPECT_NEAR(volume(mesh), 4.0 / 3 * 0.125, 1e-6) << file;
        for (const Facet& f : mesh)
            for (const Point& v : f.vertices)
                EXPECT_NEAR(std::fabs(v[0] + 0.5) + std::fabs(v[1] - 0.5) + std::fabs(v[2] - 1), 0.5, 1e-6) << file;
    }
    // A level beyond what an int holds is not cast either.
    const Result r = run({"isosurface", scratch / "int.vm", "--iso", "-1e12", "-o", scratch / "all.stl"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Every voxel is inside: the surface is the box through their centres.
    EXPECT_NEAR(volume(readStl(scratch / "all.stl")), 8.0, 1e-6);
}

namespace {

template <typename V>
V little(const std::string& bytes, std::size_t offset)
{
    V v;
    std::memcpy(&v, bytes.data() + offset, sizeof(V));
    return v;
}

// The triangles of a mesh as corner triples in a canonical order, for
// comparing files of different formats: exact floats.
using Corner = std::array<float, 3>;
using Corners = std::array<Corner, 3>;

Corners triangle(Corners corners)
{
    // The same rotation whichever corner comes first.
    const auto first = std::min_element(corners.begin(), corners.end()) - corners.begin();
    std::rotate(corners.begin(), corners.begin() + first, corners.end());
    return corners;
}

std::vector<Corners> sorted(std::vector<Corners> triangles)
{
    std::sort(triangles.begin(), triangles.end());
    return triangles;
}

std::vector<Corners> fromBinaryStl(const std::string& bytes)
{
    std::vector<Corners> out;
    const auto count = little<std::uint32_t>(bytes, 80);
    EXPECT_EQ(bytes.size(), 84u + 50u * count);
    EXPECT_NE(bytes.compare(0, 5, "solid"), 0) << "a binary file must not look like an ASCII one";
    for (std::uint32_t t = 0; t < count && 84 + 50 * (t + 1) <= bytes.size(); ++t) {
        Corners c;
        for (int k = 0; k < 3; ++k) {
            const std::size_t at = 84 + 50 * t + 12 + 12 * k;
            c[k] = {little<float>(bytes, at), little<float>(bytes, at + 4), little<float>(bytes, at + 8)};
        }
        out.push_back(triangle(c));
    }
    return sorted(out);
}

std::vector<Corners> fromPly(const std::string& bytes, std::array<int, 3>& colour)
{
    const std::size_t end = bytes.find("end_header\n");
    EXPECT_NE(end, std::string::npos);
    std::istringstream head(bytes.substr(0, end));
    std::string line;
    std::size_t vertices = 0, faces = 0;
    while (std::getline(head, line)) {
        if (line.rfind("element vertex ", 0) == 0)
            vertices = std::stoul(line.substr(15));
        if (line.rfind("element face ", 0) == 0)
            faces = std::stoul(line.substr(13));
    }
    std::size_t at = end + 11;
    EXPECT_EQ(bytes.size(), at + 15 * vertices + 13 * faces);
    std::vector<Corner> points;
    for (std::size_t v = 0; v < vertices; ++v, at += 15) {
        points.push_back({little<float>(bytes, at), little<float>(bytes, at + 4), little<float>(bytes, at + 8)});
        colour = {static_cast<unsigned char>(bytes[at + 12]), static_cast<unsigned char>(bytes[at + 13]),
                  static_cast<unsigned char>(bytes[at + 14])};
    }
    std::vector<Corners> out;
    for (std::size_t f = 0; f < faces; ++f, at += 13) {
        EXPECT_EQ(bytes[at], 3);
        Corners c;
        for (int k = 0; k < 3; ++k)
            c[k] = points.at(static_cast<std::size_t>(little<std::int32_t>(bytes, at + 1 + 4 * k)));
        out.push_back(triangle(c));
    }
    return sorted(out);
}

std::vector<Corners> fromObj(const std::string& text)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    std::vector<Corner> points;
    std::vector<Corners> out;
    std::string word;
    while (in >> word) {
        if (word == "v") {
            Corner p;
            in >> p[0] >> p[1] >> p[2];
            points.push_back(p);
        } else if (word == "f") {
            std::size_t a, b, c;
            in >> a >> b >> c;
            out.push_back(triangle({points.at(a - 1), points.at(b - 1), points.at(c - 1)}));
        } else {
            std::getline(in, word);
        }
    }
    return sorted(out);
}

double area(const std::vector<Corners>& triangles)
{
    double sum = 0.0;
    for (const Corners& t : triangles) {
        const double u[3] = {t[1][0] - t[0][0], t[1][1] - t[0][1], t[1][2] - t[0][2]};
        const double v[3] = {t[2][0] - t[0][0], t[2][1] - t[0][1], t[2][2] - t[0][2]};
        sum += std::hypot(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]) / 2;
    }
    return sum;
}

} // namespace

// One surface, four files: the same triangles, the same way round (the
// binary files and OBJ exactly, the ASCII file to its printed digits).
TEST(IsosurfaceCommand, StlPlyAndObjFilesHoldTheSameSurface)
{
    Scratch scratch;
    writeBall<float>(scratch / "ball.vm");
    auto surface = [&](const std::string& file, const std::vector<std::string>& more = {}) {
        std::vector<std::string> args{"isosurface", scratch / "ball.vm", "--iso", "0", "-o", scratch / file};
        args.insert(args.end(), more.begin(), more.end());
        const Result r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return readFile(scratch / file);
    };
    const std::vector<Corners> expected = fromBinaryStl(surface("binary.stl", {"--binary"}));
    ASSERT_GT(expected.size(), 500u);
    std::array<int, 3> colour{};
    EXPECT_TRUE(fromPly(surface("ball.ply", {"--color", "10,200,255"}), colour) == expected);
    EXPECT_EQ(colour, (std::array<int, 3>{10, 200, 255}));
    EXPECT_TRUE(fromObj(surface("ball.obj")) == expected);
    surface("ascii.stl");
    const std::vector<Facet> ascii = readStl(scratch / "ascii.stl");
    EXPECT_EQ(ascii.size(), expected.size());
    double asciiArea = 0.0;
    for (const Facet& f : ascii) {
        const auto& [a, b, c] = f.vertices;
        asciiArea += std::hypot((b[1] - a[1]) * (c[2] - a[2]) - (b[2] - a[2]) * (c[1] - a[1]),
                                (b[2] - a[2]) * (c[0] - a[0]) - (b[0] - a[0]) * (c[2] - a[2]),
                                (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])) / 2;
    }
    EXPECT_NEAR(asciiArea, area(expected), 1e-5 * area(expected));
    std::vector<Facet> binaryFacets;
    for (const Corners& t : expected) {
        Facet f{};
        for (int k = 0; k < 3; ++k)
            f.vertices[k] = {t[k][0], t[k][1], t[k][2]};
        binaryFacets.push_back(f);
    }
    // The same way round: the same enclosed volume.
    EXPECT_NEAR(volume(binaryFacets), volume(ascii), 1e-5 * volume(ascii));

    EXPECT_EQ(run({"isosurface", scratch / "ball.vm", "--iso", "0", "-o", scratch / "x.ply", "--color", "1,2"}).status, 2);
    EXPECT_EQ(run({"isosurface", scratch / "ball.vm", "--iso", "0", "-o", scratch / "x.ply", "--color", "1,2,256"}).status,
              2);
    EXPECT_FALSE(fs::exists(scratch / "x.ply"));
    // An OBJ file is replaced, notes under an OBJ name are not.
    EXPECT_TRUE(fromObj(surface("ball.obj")) == expected);
    writeFile(scratch / "notes.obj", "surface of the left lobe, to redo\n");
    const Result notes = run({"isosurface", scratch / "ball.vm", "--iso", "0", "-o", scratch / "notes.obj"});
    EXPECT_EQ(notes.status, 2);
    EXPECT_NE(notes.err.find("notes.obj is a text file, not an OBJ mesh (.obj): it is not replaced"), std::string::npos)
        << notes.err;
    EXPECT_EQ(readFile(scratch / "notes.obj"), "surface of the left lobe, to redo\n");
}
