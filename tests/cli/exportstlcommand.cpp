#include "clitesting.h"
#include "image/image.h"
#include "image/imagewriter.h"

using namespace clitest;

namespace {

// The volume enclosed by an open tube whose two ends are flat, at z = z0 and
// z = z1: the flux of (0, 0, z) through the tube, plus that through the end
// at z1, whose area the ring of vertices at z1 gives (the end at z0 adds
// nothing).
double tubeVolume(const std::vector<Facet>& facets, double z1)
{
    double flux = 0.0;
    std::vector<std::array<double, 2>> ring;
    for (const Facet& f : facets) {
        const auto& [a, b, c] = f.vertices;
        // z n_z dA over a flat triangle: its mean z times its signed area
        // projected on the xy plane.
        flux += (a[2] + b[2] + c[2]) / 3 * ((b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1])) / 2;
        for (const auto& v : f.vertices)
            if (std::fabs(v[2] - z1) < 1e-3)
                ring.push_back({v[0], v[1]});
    }
    // The end's area: its ring's points sorted by angle about their centre.
    double cx = 0, cy = 0, end = 0;
    for (const auto& p : ring)
        cx += p[0] / ring.size(), cy += p[1] / ring.size();
    std::sort(ring.begin(), ring.end(), [&](const auto& p, const auto& q) {
        return std::atan2(p[1] - cy, p[0] - cx) < std::atan2(q[1] - cy, q[0] - cx);
    });
    ring.erase(std::unique(ring.begin(), ring.end()), ring.end());
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const auto& p = ring[i];
        const auto& q = ring[(i + 1) % ring.size()];
        end += (p[0] * q[1] - q[0] * p[1]) / 2;
    }
    // Outward triangles give a positive flux for a body larger than its top
    // prism; inward ones the opposite.
    return std::fabs(flux) + z1 * std::fabs(end);
}

} // namespace

TEST(ExportStlCommand, WritesEveryOutlineModelAsASurface)
{
    Scratch scratch;
    const Result r = run({"export-stl", sampleStack(), scratch.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    std::string expected;
    for (const char* model : {"duct", "lumen", "organ"})
        for (const char* extension : {".qm", ".stl"})
            expected += scratch / (std::string("sample-") + model + extension) + "\n";
    EXPECT_EQ(r.out, expected);

    std::string name;
    const std::vector<Facet> organ = readStl(scratch / "sample-organ.stl", &name);
    EXPECT_EQ(name, "organ");
    // A closed tube of 100 x 100 resampled vertices: two triangles per
    // quadrilateral, 100 around and 99 along.
    EXPECT_EQ(organ.size(), 2u * 100 * 99);
    double zMin = 1e9, zMax = -1e9;
    for (const Facet& f : organ) {
        const double n = std::hypot(f.normal[0], f.normal[1], f.normal[2]);
        EXPECT_TRUE(std::fabs(n - 1) < 1e-4 || n == 0) << n;
        for (const auto& v : f.vertices)
            zMin = std::min(zMin, v[2]), zMax = std::max(zMax, v[2]);
    }
    const auto& sections = sample().sections;
    EXPECT_DOUBLE_EQ(zMin, sections.front().position);
    EXPECT_NEAR(zMax, sections.back().position, 1e-3);

    // The surface joins the sections: the volume it encloses with its two
    // flat ends is that of the ellipsoid's sections joined linearly.
    double volume = 0.0;
    for (std::size_t k = 1; k < sections.size(); ++k)
        volume += (sections[k].position - sections[k - 1].position) / 2 *
                  (Specimen::sectionArea(sample().organAxes, sections[k].position - sample().organCentreZ) +
                   Specimen::sectionArea(sample().organAxes, sections[k - 1].position - sample().organCentreZ));
    EXPECT_NEAR(tubeVolume(organ, sections.back().position), volume, 0.02 * volume);

    // Existing files are replaced only when asked, and no temporary remains.
    writeFile(scratch / "sample-lumen.stl", "solid mine\nendsolid mine\n");
    const Result again = run({"export-stl", sampleStack(), scratch.path()});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err.rfind("plexan-cli export-stl: ", 0), 0u) << again.err;
    EXPECT_EQ(lineCount(again.err), 1) << again.err;
    EXPECT_NE(again.err.find("sample-organ.stl : file exists"), std::string::npos) << again.err;
    EXPECT_EQ(readFile(scratch / "sample-lumen.stl"), "solid mine\nendsolid mine\n");
    // A file of another kind under an output's name is never replaced.
    writeFile(scratch / "sample-duct.stl", "my notes on the duct\n");
    const Result notes = run({"export-stl", sampleStack(), scratch.path(), "--overwrite"});
    EXPECT_EQ(notes.status, 2);
    EXPECT_NE(notes.err.find("sample-duct.stl is a text file, not an STL surface (.stl): it is not replaced"),
              std::string::npos)
        << notes.err;
    EXPECT_EQ(readFile(scratch / "sample-duct.stl"), "my notes on the duct\n");
    EXPECT_EQ(readFile(scratch / "sample-lumen.stl"), "solid mine\nendsolid mine\n");
    fs::remove(scratch / "sample-duct.stl");
    EXPECT_EQ(run({"export-stl", sampleStack(), scratch.path(), "--overwrite"}).status, 0);
    EXPECT_EQ(readFile(scratch / "sample-lumen.stl").rfind("solid lumen\n", 0), 0u);
    for (const auto& entry : fs::directory_iterator(scratch.path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

namespace {

struct Box {
    Point low{1e9, 1e9, 1e9}, high{-1e9, -1e9, -1e9};
    void add(const Point& p)
    {
        for (int a = 0; a < 3; ++a)
            low[a] = std::min(low[a], p[a]), high[a] = std::max(high[a], p[a]);
    }
    double centre(int a) const { return (low[a] + high[a]) / 2; }
};

Box boxOf(const std::vector<Facet>& facets)
{
    Box box;
    for (const Facet& f : facets)
        for (const Point& p : f.vertices)
            box.add(p);
    return box;
}

} // namespace

// The surface of a model and the isosurface of the stack's images, where
// the model outlines a bright block, superpose: both are in the stack's
// frame. The block lies off the image centre, so that a mirrored or shifted
// frame shows.
TEST(ExportStlCommand, ModelSurfacesAndIsosurfacesOfTheStackSuperpose)
{
    Scratch scratch;
    std::string text = "FileFormatVersion 1.03;\nSTACK \"block\";\nLengthUnitScale -6;\nPIXASPECT 1;\nPIXWIDTH 0.5;\n"
                       "RELPOSITION 2;\n";
    for (int k = 0; k < 3; ++k) {
        Image image;
        image.init(16, 12, 8);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x)
                image.getRow(y)[x] = static_cast<unsigned char>(x >= 2 && x <= 8 && y >= 2 && y <= 5 ? 200 : 20);
        const std::string name = "b" + std::to_string(k) + ".tif";
        ImageWriter().write(image, scratch / name, true);
        text += "SLICE \"s" + std::to_string(k) + "\" \"" + name + "\";\nSliceSize1 12;\nSliceSize2 16;\n";
    }
    text += "MODEL \"block\";\nPRIMITIVE Polygon;\nRESAMPLING 16 4;\n";
    for (int k = 0; k < 3; ++k)
        text += "MODELITEM \"block\" \"s" + std::to_string(k) + "\";\nMODELITEMDATA 2,2 8,2 8,5 2,5;\n";
    writeFile(scratch / "block.sdf", text);

    const Result model = run({"export-stl", scratch / "block.sdf", scratch / "out"});
    ASSERT_EQ(model.status, 0) << model.err;
    ASSERT_EQ(run({"stack-to-volume", scratch / "block.sdf", scratch / "block.vm"}).status, 0);
    const Result iso = run({"isosurface", scratch / "block.vm", "--iso", "110", "--open", "-o", scratch / "iso.stl"});
    ASSERT_EQ(iso.status, 0) << iso.err;
    const Box a = boxOf(readStl(scratch / "out/block-block.stl")), b = boxOf(readStl(scratch / "iso.stl"));
    // Within a quarter of a pixel (0.5): the isosurface passes half-way
    // between the block's pixels and the dark ones, the model through the
    // pixels on the block's edge.
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_NEAR(a.centre(axis), b.centre(axis), 0.125) << axis;
    // The block's centre: column 5 and row 3.5 of 16 x 12 pixels of 0.5.
    EXPECT_NEAR(a.centre(0), 0.5 * (5 - 8), 1e-4);
    EXPECT_NEAR(a.centre(1), 0.5 * (6 - 3.5), 1e-4);
    EXPECT_NEAR(a.centre(2), 2.0, 1e-4);

    // The same surface as PLY and OBJ.
    const Result ply = run({"export-stl", scratch / "block.sdf", scratch / "ply", "--format", "ply"});
    ASSERT_EQ(ply.status, 0) << ply.err;
    EXPECT_EQ(ply.out, scratch / "ply/block-block.ply\n" + scratch / "ply/block-block.qm\n");
    const std::string bytes = readFile(scratch / "ply/block-block.ply");
    EXPECT_NE(bytes.find("element face " + std::to_string(readStl(scratch / "out/block-block.stl").size()) + "\n"),
              std::string::npos);
    EXPECT_EQ(run({"export-stl", scratch / "block.sdf", scratch / "x", "--format", "ply", "--binary"}).status, 2);
    EXPECT_EQ(run({"export-stl", scratch / "block.sdf", scratch / "x", "--format", "vrml"}).status, 2);
    EXPECT_FALSE(fs::exists(scratch / "x"));
}
