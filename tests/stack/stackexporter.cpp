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
#include <cstdio>
#include <set>

using namespace stackfiletest;

namespace {

constexpr double pi = 3.14159265358979323846;

struct Facet {
    std::array<double, 3> normal;
    std::array<std::array<double, 3>, 3> vertices;
};

// An ASCII STL file, read line by line without any of the library's code.
struct StlFile {
    std::string name, endName;
    std::vector<Facet> facets;
    bool wellFormed = true;

    explicit StlFile(const std::string& file)
    {
        std::istringstream in(readFile(file));
        std::string line, rest[6];
        std::getline(in, line);
        wellFormed = line.rfind("solid ", 0) == 0;
        name = line.substr(std::min<std::size_t>(6, line.size()));
        while (std::getline(in, line) && line.rfind("endsolid ", 0) != 0) {
            Facet f{};
            for (std::string& next : rest)
                std::getline(in, next);
            wellFormed = wellFormed && rest[0] == "    outer loop" && rest[4] == "    endloop" &&
                         rest[5] == "  endfacet" &&
                         std::sscanf(line.c_str(), " facet normal %lf %lf %lf", &f.normal[0], &f.normal[1],
                                     &f.normal[2]) == 3;
            for (int k = 0; k < 3; ++k)
                wellFormed = wellFormed && std::sscanf(rest[k + 1].c_str(), " vertex %lf %lf %lf", &f.vertices[k][0],
                                                       &f.vertices[k][1], &f.vertices[k][2]) == 3;
            facets.push_back(f);
        }
        endName = line.substr(std::min<std::size_t>(9, line.size()));
    }
};

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

        Model* tube = stacktest::newModel(m_stack, "tube");
        tube->getProperties().setQuadMeshWidth(8);
        tube->getProperties().setQuadMeshHeight(5);
        for (int k = 0; k < 3; ++k)
            stacktest::newItem(tube, m_stack.getSlice(k), circle(40, 64));

        Model* path = stacktest::newModel(m_stack, "path", MPrimitive::Polyline);
        path->getProperties().setQuadMeshWidth(6);
        path->getProperties().setQuadMeshHeight(3);
        stacktest::newItem(path, m_stack.getSlice(0), {{10, 10}, {20, 10}, {30, 15}});
        stacktest::newItem(path, m_stack.getSlice(2), {{10, 12}, {20, 12}, {30, 17}});

        stacktest::newItem(stacktest::newModel(m_stack, "dots", MPrimitive::Polypoint), m_stack.getSlice(1),
                           {{1, 1}, {2, 2}});

        m_stack.addModel(new Model("empty"));

        Model* branch = stacktest::newModel(m_stack, "branch");
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
    EXPECT_EQ(stl.name + "|" + stl.endName, "tube|tube");
    ASSERT_EQ(stl.facets.size(), 2u * 4u * 8u);

    const QuadMesh<float> mesh(directory + "/demo-tube.qm");
    EXPECT_EQ(mesh.getHeight(), 5);
    EXPECT_EQ(mesh.getWidth(), 8);
    double area = 0;
    for (const Facet& f : stl.facets) {
        const auto& [a, b, c] = f.vertices;
        const double e[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, g[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const double n[3] = {e[1] * g[2] - e[2] * g[1], e[2] * g[0] - e[0] * g[2], e[0] * g[1] - e[1] * g[0]};
        const double length = std::hypot(n[0], n[1], n[2]);
        area += length / 2;
        // The normal written is the unit normal of the facet's vertices (to
        // the six digits written).
        for (int d = 0; d < 3; ++d)
            EXPECT_NEAR(f.normal[d], n[d] / length, 1e-4);
        for (const auto& v : f.vertices) {
            // On the circle of radius 20 (40 pixels of 0.5) around the axis,
            // between the slices at z = 0 and z = 2.
            EXPECT_NEAR(std::hypot(v[0], v[1]), 20.0, 0.5);
            EXPECT_GE(v[2], -1e-6);
            EXPECT_LE(v[2], 2 + 1e-6);
            // A vertex of the saved quadrilateral mesh.
            bool found = false;
            for (int r = 0; r < mesh.getHeight(); ++r)
                for (int c = 0; c < mesh.getWidth(); ++c)
                    found = found || (Vector<double>{v[0], v[1], v[2]} - Vector<double>{mesh[r].vertex(c)[0],
                                      mesh[r].vertex(c)[1], mesh[r].vertex(c)[2]}).norm() < 1e-3;
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
    EXPECT_PLEXAN_THROW(StackExporter::export2AsciiSTL(m_stack, directory + "d", false), FileWriteError,
                        "void StackExporter::export2AsciiSTL(...)", tube + " : file exists");
    StackExporter::export2AsciiSTL(m_stack, directory + "d", true);
    EXPECT_EQ(StackExporter::fileName(*m_stack.getModel(0), "", ""), "tube.stl");
    EXPECT_EQ(StackExporter::fileName(*m_stack.getModel(0), "a/b", "p q"), "a/b/p q-tube.stl");

    // The quadrilateral mesh beside it counts as well.
    std::filesystem::remove(tube);
    EXPECT_PLEXAN_THROW(StackExporter::export2AsciiSTL(*m_stack.getModel(0), StackReconstruction<double>(m_stack),
                                                       directory + "d", "demo", false),
                        FileWriteError, "void StackExporter::export2AsciiSTL(...)",
                        directory + "d/demo-tube.qm : file exists");
    EXPECT_FALSE(std::filesystem::exists(tube));
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
    EXPECT_EQ(stl.endName, "single");
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
