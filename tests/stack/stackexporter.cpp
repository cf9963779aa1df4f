#include "stack/stackexporter.h"

#include "geometry/quadmesh.h"
#include "numerics/exception.h"
#include "stack/stackreconstruction.h"
#include "stackfiles.h"
#include "stackfixture.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>

using namespace stackfiletest;

namespace {

constexpr double pi = 3.14159265358979323846;

struct Facet {
    std::array<double, 3> normal;
    std::array<std::array<double, 3>, 3> vertices;
};

// An ASCII STL file, read token by token without any of the library's code.
struct StlFile {
    std::string name;
    std::string endName;
    std::vector<Facet> facets;
    bool wellFormed = true;

    explicit StlFile(const std::string& file)
    {
        std::istringstream in(readFile(file));
        std::string line;
        std::getline(in, line);
        wellFormed = line.rfind("solid ", 0) == 0;
        name = line.size() > 6 ? line.substr(6) : "";
        auto expectWord = [&](std::istringstream& s, const char* word) {
            std::string w;
            s >> w;
            if (w != word)
                wellFormed = false;
        };
        while (std::getline(in, line)) {
            if (line.rfind("endsolid ", 0) == 0) {
                endName = line.substr(9);
                break;
            }
            Facet f{};
            std::istringstream header(line);
            expectWord(header, "facet");
            expectWord(header, "normal");
            header >> f.normal[0] >> f.normal[1] >> f.normal[2];
            std::getline(in, line);
            wellFormed = wellFormed && line == "    outer loop";
            for (auto& v : f.vertices) {
                std::getline(in, line);
                std::istringstream vertex(line);
                expectWord(vertex, "vertex");
                vertex >> v[0] >> v[1] >> v[2];
                wellFormed = wellFormed && !vertex.fail();
            }
            std::getline(in, line);
            wellFormed = wellFormed && line == "    endloop";
            std::getline(in, line);
            wellFormed = wellFormed && line == "  endfacet";
            facets.push_back(f);
        }
    }
};

std::array<double, 3> cross(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

std::array<double, 3> minus(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

double norm(const std::array<double, 3>& a)
{
    return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}

// A circle of radius r pixels around the centre of a 100 x 100 image, as an
// outline of n vertices rounded to pixels.
stacktest::Points circle(double r, int n)
{
    stacktest::Points points;
    for (int i = 0; i < n; ++i)
        points.emplace_back(static_cast<int>(std::lround(50 + r * std::cos(2 * pi * i / n))),
                            static_cast<int>(std::lround(50 + r * std::sin(2 * pi * i / n))));
    return points;
}

// Stack "demo": three slices 1 apart with pixels of 0.5, a tube of circles
// (radius 40 pixels), an open path, points, an empty model and a branching
// one.
class Exporting : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_stack.setName("demo");
        m_stack.setDefaultRelativePosition(1.0f);
        for (int k = 0; k < 3; ++k)
            m_stack.addSlice(stacktest::newSlice("s" + std::to_string(k), 100, 100, 0.5f, 0.5f));

        auto* tube = new Model("tube");
        tube->getProperties().setQuadMeshWidth(8);
        tube->getProperties().setQuadMeshHeight(5);
        m_stack.addModel(tube);
        for (int k = 0; k < 3; ++k)
            stacktest::newItem(tube, m_stack.getSlice(k), circle(40, 64));

        auto* path = new Model("path");
        path->getProperties().setGeometry(MPrimitive::Polyline);
        path->getProperties().setQuadMeshWidth(6);
        path->getProperties().setQuadMeshHeight(3);
        m_stack.addModel(path);
        stacktest::newItem(path, m_stack.getSlice(0), {{10, 10}, {20, 10}, {30, 15}});
        stacktest::newItem(path, m_stack.getSlice(2), {{10, 12}, {20, 12}, {30, 17}});

        auto* dots = new Model("dots");
        dots->getProperties().setGeometry(MPrimitive::Polypoint);
        m_stack.addModel(dots);
        stacktest::newItem(dots, m_stack.getSlice(1), {{1, 1}, {2, 2}});

        m_stack.addModel(new Model("empty"));

        auto* branch = new Model("branch");
        m_stack.addModel(branch);
        stacktest::newItem(branch, m_stack.getSlice(1), circle(10, 16));
        stacktest::newItem(branch, m_stack.getSlice(1), circle(20, 16));
    }

    TemporaryDirectory m_directory;
    Stack m_stack;
};

} // namespace

TEST_F(Exporting, SurfaceModelsBecomeStlFilesWithTheirQuadMeshes)
{
    const std::string directory = m_directory.root() + "out";
    std::filesystem::create_directories(directory);
    StackExporter::export2AsciiSTL(m_stack, directory, false);
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"demo-tube.stl", "demo-tube.qm", "demo-path.stl", "demo-path.qm"}));

    // The tube: 8 columns, 5 rows, closed: two triangles per quadrilateral.
    const StlFile stl(directory + "/demo-tube.stl");
    ASSERT_TRUE(stl.wellFormed);
    EXPECT_EQ(stl.name, "tube");
    EXPECT_EQ(stl.endName, "tube");
    ASSERT_EQ(stl.facets.size(), 2u * 4u * 8u);

    const QuadMesh<float> mesh(directory + "/demo-tube.qm");
    EXPECT_EQ(mesh.getHeight(), 5);
    EXPECT_EQ(mesh.getWidth(), 8);
    std::vector<std::array<double, 3>> meshVertices;
    for (int r = 0; r < mesh.getHeight(); ++r)
        for (int c = 0; c < mesh.getWidth(); ++c) {
            const Vector<float>& v = mesh[r].vertex(c);
            meshVertices.push_back({v[0], v[1], v[2]});
        }

    double area = 0;
    for (const Facet& f : stl.facets) {
        const auto n = cross(minus(f.vertices[1], f.vertices[0]), minus(f.vertices[2], f.vertices[0]));
        area += norm(n) / 2;
        // The normal written is the unit normal of the facet's vertices (to
        // the six digits written).
        EXPECT_NEAR(norm(f.normal), 1.0, 1e-5);
        for (int d = 0; d < 3; ++d)
            EXPECT_NEAR(f.normal[d], n[d] / norm(n), 1e-4);
        for (const auto& v : f.vertices) {
            // On the circle of radius 20 (40 pixels of 0.5) around the axis,
            // between the slices at z = 0 and z = 2.
            EXPECT_NEAR(std::hypot(v[0], v[1]), 20.0, 0.5);
            EXPECT_GE(v[2], -1e-6);
            EXPECT_LE(v[2], 2 + 1e-6);
            // A vertex of the saved quadrilateral mesh.
            bool found = false;
            for (const auto& m : meshVertices)
                found = found || (std::fabs(m[0] - v[0]) <= 1e-4 * (1 + std::fabs(m[0])) &&
                                  std::fabs(m[1] - v[1]) <= 1e-4 * (1 + std::fabs(m[1])) &&
                                  std::fabs(m[2] - v[2]) <= 1e-4);
            EXPECT_TRUE(found);
        }
    }
    // The side of a prism over an octagon inscribed in the circle.
    EXPECT_NEAR(area, 16 * 20 * std::sin(pi / 8) * 2, 0.02 * area);
}

TEST_F(Exporting, ExistingFilesAreRefusedWithoutOverwrite)
{
    const std::string directory = m_directory.root();
    std::filesystem::create_directories(directory + "d");
    StackExporter::export2AsciiSTL(m_stack, directory + "d", false);
    const std::string tube = directory + "d/demo-tube.stl";
    try {
        StackExporter::export2AsciiSTL(m_stack, directory + "d", false);
        ADD_FAILURE() << "an existing file was replaced";
    } catch (const FileWriteError& e) {
        EXPECT_EQ(e.getWhere(), "void StackExporter::export2AsciiSTL(...)");
        EXPECT_EQ(e.getWhat(), tube + " : file exists");
        EXPECT_EQ(e.getFile(), tube);
    }
    // Overwriting replaces both files.
    const auto before = std::filesystem::last_write_time(tube);
    StackExporter::export2AsciiSTL(m_stack, directory + "d", true);
    EXPECT_GE(std::filesystem::last_write_time(tube), before);

    // The quadrilateral mesh beside it counts as well.
    std::filesystem::remove(tube);
    EXPECT_PLEXAN_THROW(StackExporter::export2AsciiSTL(*m_stack.getModel(0), StackReconstruction<double>(m_stack),
                                                       directory + "d", "demo", false),
                        FileWriteError, "void StackExporter::export2AsciiSTL(...)",
                        directory + "d/demo-tube.qm : file exists");
    EXPECT_FALSE(std::filesystem::exists(tube));
}

TEST_F(Exporting, FileNamesTakeDirectoryAndPrefixOnlyWhenGiven)
{
    const Model& tube = *m_stack.getModel(0);
    EXPECT_EQ(StackExporter::fileName(tube, "", ""), "tube.stl");
    EXPECT_EQ(StackExporter::fileName(tube, "dir", ""), "dir/tube.stl");
    EXPECT_EQ(StackExporter::fileName(tube, "", "p"), "p-tube.stl");
    EXPECT_EQ(StackExporter::fileName(tube, "a/b", "p q"), "a/b/p q-tube.stl");
}

TEST_F(Exporting, OneItemGivesOneRowAndPointsAreSkipped)
{
    Model single("single");
    single.getProperties().setQuadMeshWidth(12);
    stacktest::newItem(&single, m_stack.getSlice(1), circle(30, 32));
    const StackReconstruction<float> reconstruction(m_stack);
    std::filesystem::create_directories(m_directory.root() + "one");
    StackExporter::export2AsciiSTL(single, reconstruction, m_directory.root() + "one", "", false);
    const QuadMesh<float> mesh(m_directory.root() + "one/single.qm");
    EXPECT_EQ(mesh.getHeight(), 1);
    EXPECT_EQ(mesh.getWidth(), 12);
    const StlFile stl(m_directory.root() + "one/single.stl");
    EXPECT_TRUE(stl.wellFormed);
    EXPECT_EQ(stl.name, "single");
    EXPECT_TRUE(stl.facets.empty());

    StackExporter::export2AsciiSTL(*m_stack.getModel(2), reconstruction, m_directory.root() + "one", "", false);
    EXPECT_FALSE(std::filesystem::exists(m_directory.root() + "one/dots.stl"));

    Model huge("huge");
    huge.getProperties().setQuadMeshWidth(1u << 13);
    huge.getProperties().setQuadMeshHeight(1u << 13);
    stacktest::newItem(&huge, m_stack.getSlice(0), circle(30, 32));
    stacktest::newItem(&huge, m_stack.getSlice(1), circle(30, 32));
    EXPECT_PLEXAN_THROW(StackExporter::export2AsciiSTL(huge, reconstruction, m_directory.root() + "one", "", false),
                        SizeError, "void StackExporter::export2AsciiSTL(...)", "Resampling grid is too large");
}
