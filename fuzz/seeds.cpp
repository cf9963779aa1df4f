// fuzz_seeds <directory>: writes the seed files of every fuzz target with
// the library's own writers, one folder per target:
//
//   stackreader/  stack files naming file, mosaic and voxel-matrix-plane
//                 slices, with models, items and poses
//   imagereader/  TIFF files of each depth the reader takes, and an IMG file
//   voxelmatrix/  voxel-matrix files of every element type, both formats
//   shapefile/    a shape file of every type code
//   cli/          a command line of every plexan-cli command, one argument
//                 per line, naming the files fuzz_cli provides
//
// The test data files under tests/data are added by run.sh.

#include "fuzz/sampleimages.h"
#include "geometry/curve.h"
#include "geometry/curvestack.h"
#include "geometry/quadmesh.h"
#include "geometry/trimesh.h"
#include "geometry/vertexiterator.h"
#include "geometry/vertexstack.h"
#include "geometry/vertices.h"
#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "image/voxelmatrix.h"
#include "numerics/elementtype.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/pose.h"
#include "stack/registration.h"
#include "stack/stack.h"
#include "stack/stackslice.h"
#include "stack/stackwriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>

namespace fs = std::filesystem;

namespace {

Vertices<int> outline(int x0, int y0, int n)
{
    Vertices<int> v(2, 0, 0, 0);
    for (int i = 0; i < n; ++i)
        v.append(Vector<int>{x0 + (i * 7) % 13, y0 + (i * 5) % 11});
    return v;
}

// A stack of the three kinds of slices, two models and a pose, written in
// the directory of its images so that the file names them without a path.
void writeStacks(const fs::path& images, const fs::path& out)
{
    Stack stack;
    stack.setName("seed stack");

    auto* file = new StackSlice("first");
    file->setImageSource(ImageSourceFile((images / "grey.tif").string()));
    Registration shifted;
    shifted.setRotationAngle(12.5f);
    shifted.setHorizontalShift(3);
    file->setRegistration(shifted);
    file->setAnnotation("an \"annotated\" slice; two\nlines");
    stack.addSlice(file);

    auto* mosaic = new StackSlice("mosaic");
    ImageSourceFileMosaic tiles(2, 2);
    tiles.setFilename(0, 0, (images / "grey.tif").string());
    tiles.setFilename(1, 1, (images / "grey.tif").string());
    mosaic->setImageSource(tiles);
    mosaic->setAbsolutePosition(4.0f);
    stack.addSlice(mosaic);

    auto* plane = new StackSlice("plane");
    ImageSourceVoxelMatrixPlane source;
    source.setVoxelMatrixFilename((images / "volume.vm").string());
    source.setPlane(1);
    plane->setImageSource(source);
    stack.addSlice(plane);

    auto* img = new StackSlice("img");
    img->setImageSource(ImageSourceFile((images / "slice.img").string()));
    img->setRelativePosition(2.5f);
    stack.addSlice(img);

    auto* cells = new Model("cells");
    stack.addModel(cells);
    for (StackSlice* slice : {file, mosaic}) {
        auto* item = new ModelItem(cells, slice);
        item->setVertices(outline(10, 20, 15));
        item->attach();
    }
    auto* points = new Model("points");
    points->getProperties().setGeometry(MPrimitive::Polypoint);
    stack.addModel(points);
    auto* item = new ModelItem(points, plane);
    item->setVertices(outline(1, 2, 3));
    item->getProperties().setColor(255, 0, 128);
    item->attach();

    auto* pose = new Pose();
    pose->setName("front");
    pose->setRotation(10, 20, 30);
    pose->setTranslation(-4, 5);
    pose->setZoom(150);
    stack.addPose(pose);

    const fs::path written = images / "seed.sdf";
    if (!StackWriter().write(stack, written.string()))
        throw std::runtime_error("cannot write " + written.string());
    fs::copy_file(written, out / "written.sdf", fs::copy_options::overwrite_existing);
}

void writeImages(const fs::path& images, const fs::path& out)
{
    for (const char* name : {"grey.tif", "palette.tif", "rgb.tif", "wide.tif", "slice.img"})
        fs::copy_file(images / name, out / name, fs::copy_options::overwrite_existing);
}

template <typename T>
void writeVolume(const fs::path& out, bool format0)
{
    VoxelMatrix<T> volume(3, 2, 2);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 2; ++j)
                volume[k][i][j] = static_cast<T>(9 * k + 3 * i + j);
    const std::string type = plexan::typeName<T>();
    std::string name = type;
    for (char& c : name)
        if (c == ' ')
            c = '_';
    if (format0) {
        std::ofstream stream(out / (name + ".format0.vm"), std::ios::binary | std::ios::trunc);
        volume.saveUnderFormat0(stream);
    } else {
        volume.save((out / (name + ".vm")).string(), true);
    }
}

void writeVolumes(const fs::path& images, const fs::path& out)
{
#define PLEXAN_WRITE_VOLUME(T) writeVolume<T>(out, false);
    PLEXAN_FOR_EACH_NUMERIC_TYPE(PLEXAN_WRITE_VOLUME)
#undef PLEXAN_WRITE_VOLUME
    writeVolume<float>(out, true);
    writeVolume<unsigned char>(out, true);
    fs::copy_file(images / "volume.vm", out / "volume.vm", fs::copy_options::overwrite_existing);
}

template <typename S>
void fill(S& shape, int seed)
{
    float value = 0.25f * static_cast<float>(seed);
    for (VertexIterator<float> it(shape); it.current(); ++it)
        for (int k = 0; k < it.current()->getSize(); ++k) {
            (*it.current())[k] = value;
            value = value * -1.5f + 1.0f;
        }
}

void save(const Shape<float>& shape, const fs::path& out, const std::string& name)
{
    shape.save((out / name).string(), true);
}

void writeShapes(const fs::path& out)
{
    Curve<float> closed(2, 5, 0, 0, false);
    Curve<float> open(3, 4, 0, 0, true);
    fill(closed, 1);
    fill(open, 2);
    save(closed, out, "closed");
    save(open, out, "open");

    CurveStack<float> curves(3, 3, 4, 0, 0, false);
    fill(curves, 3);
    save(curves, out, "closed");
    CurveStack<float> ragged(2, 0, 0, 0, 0, true);
    for (int n : {3, 0, 5})
        ragged.append(Curve<float>(2, n, 0, 0, true));
    fill(ragged, 4);
    save(ragged, out, "open");

    QuadMesh<float> closedMesh(3, 3, 4, 0, 0, false);
    QuadMesh<float> openMesh(3, 2, 3, 0, 0, true);
    fill(closedMesh, 5);
    fill(openMesh, 6);
    save(closedMesh, out, "closed");
    save(openMesh, out, "open");

    Vertices<float> vertices(4, 6);
    fill(vertices, 7);
    save(vertices, out, "points");
    VertexStack<float> stack(3, 3, 2);
    fill(stack, 8);
    save(stack, out, "points");

    TriMesh<float> mesh(3, 5);
    mesh.addTriangle(0, 1, 2);
    mesh.addTriangle(2, 3, 4);
    mesh.addTriangle(4, 0, 1);
    fill(mesh, 9);
    save(mesh, out, "plain");
    mesh.computeNormals();
    save(mesh, out, "normals");
}

void writeCommandLines(const fs::path& out)
{
    const std::pair<const char*, const char*> lines[] = {
        {"info", "info\nstack.sdf"},
        {"info-csv", "info\nstack.sdf\n--format=csv"},
        {"measure", "measure\nstack.sdf\n--model\ncells\n--geometry\npolygon\n--digits\n4"},
        {"export-stl", "export-stl\nstack.sdf\nmeshes\n--overwrite"},
        {"isosurface", "isosurface\nvolume.vm\n--iso\n150\n-o\nsurface.tm"},
        {"isosurface-stl", "isosurface\nvolume.vm\n--iso=120.5\n--open\n-o\nsurface.stl"},
        {"register", "register\nstack.sdf\n-o\nregistered.sdf\n--slice\ns2"},
        {"stack-to-volume", "stack-to-volume\nstack.sdf\nplanes.vm\n--content\ngray"},
        {"volume-to-stack", "volume-to-stack\nvolume.vm\nplanes\nimages\nstacks\n--spacing\n2\n--rescale"},
        {"density", "density\nstack.sdf\n--model\npoints\n--grid\n4\n3\n2\n--k\n2\n-o\ndensity.vm\n"
                    "--percentiles\n50,90"},
        {"density-histogram", "density\nstack.sdf\n--model\npoints\n--grid\n2\n2\n2\n--histogram\n-o\n"
                              "histogram.vm\n--margin\n1"},
        {"help", "help\nmeasure"},
        {"usage", "--help"},
    };
    for (const auto& [name, line] : lines) {
        std::ofstream file(out / name, std::ios::binary | std::ios::trunc);
        file << line;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    try {
        const fs::path out = argv[1];
        const fs::path images = out / "images";
        for (const char* folder : {"images", "stackreader", "imagereader", "voxelmatrix", "shapefile", "cli"})
            fs::create_directories(out / folder);
        writeSampleImages(images.string());
        writeStacks(images, out / "stackreader");
        writeImages(images, out / "imagereader");
        writeVolumes(images, out / "voxelmatrix");
        writeShapes(out / "shapefile");
        writeCommandLines(out / "cli");
        fs::remove_all(images);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: %s\n", e.getWhere().c_str(), e.getWhat().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
