#include "stack/stackwriter.h"

#include "image/imagereader.h"
#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "image/pixelcalibration.h"
#include "numerics/progressmonitor.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/pose.h"
#include "stack/stack.h"
#include "stack/stackreader.h"
#include "stack/stackslice.h"
#include "stackfiles.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace stackfiletest;

namespace {

// A small stack exercising every part of the layout: images beside the stack
// file and elsewhere, a mosaic, a voxel-matrix plane, every kind of position,
// registrations, annotations, a model with items and a pose.
class WritingStack : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeTiff(m_directory.path("stack/a.tif"), 8, 6);
        writeTiff(m_directory.path("images/b.tif"), 5, 4);
        writeTiff(m_directory.path("images/t1.tif"), 3, 2);
        writeTiff(m_directory.path("images/t2.tif"), 4, 2);
        writeVoxelMatrix(m_directory.path("stack/v.vm"), 5, 7, 4);

        m_stack.setName("demo; stack");
        m_stack.setAnnotation("line one\nline \"two\"; end");
        PixelCalibration c;
        c.setPixelWidth(0.5f);
        c.setAspectRatio(2.0f);
        c.setLengthUnit(LengthUnit(-6));
        m_stack.setDefaultPixelCalibration(c);
        m_stack.setDefaultRelativePosition(2.5f);
        m_stack.setLastSegmentedSlice("a");

        auto* a = new StackSlice("a");
        m_stack.addSlice(a);
        a->setImageSource(ImageSourceFile(m_directory.root() + "stack/a.tif"));
        a->setPixelCalibration(c);

        auto* b = new StackSlice("b");
        m_stack.addSlice(b);
        b->setImageSource(ImageSourceFile(m_directory.root() + "images/b.tif"));
        PixelCalibration d = c;
        d.setPixelWidth(0.25f);
        b->setPixelCalibration(d);
        b->setAbsolutePosition(1e-5f);
        b->setRegistration(Registration(0, -3, 12.5f));
        b->setAnnotation("x");

        auto* grid = new StackSlice("grid");
        m_stack.addSlice(grid);
        ImageSourceFileMosaic mosaic(1, 2);
        mosaic.setFilename(0, 0, m_directory.root() + "images/t1.tif");
        mosaic.setFilename(0, 1, m_directory.root() + "images/t2.tif");
        grid->setImageSource(mosaic);
        grid->setPixelCalibration(c);
        grid->setRelativePosition(1234567.0f);

        auto* volume = new StackSlice("vol");
        m_stack.addSlice(volume);
        ImageSourceVoxelMatrixPlane plane;
        plane.setVoxelMatrixFilename(m_directory.root() + "stack/v.vm");
        plane.setPlane(3);
        volume->setImageSource(plane);
        volume->setPixelCalibration(c);

        auto* cells = new Model("cells");
        cells->getProperties().setEndCapFlag(true);
        m_stack.addModel(cells);
        auto* item = new ModelItem(cells, a);
        Vertices<int> v(2, 0);
        for (int i = 0; i < 15; ++i)
            v.append(Vector<int>{i, -2 * i});
        item->setVertices(v);
        item->getProperties().setColor(1, 2, 3);
        item->getProperties().setPointSize(2.5f);
        item->attach();
        (new ModelItem(cells, b))->attach();

        auto* pose = new Pose();
        pose->setName("front");
        pose->setRotation(0, 90, -45);
        pose->setTranslation(3, 4);
        pose->setZoom(150);
        pose->setAmbientLight(10);
        pose->setDiffuseLight(20);
        pose->setSpecularLight(30);
        m_stack.addPose(pose);
    }

    std::string write()
    {
        const std::string file = m_directory.path("stack/out.sdf");
        EXPECT_TRUE(StackWriter().write(m_stack, file));
        return readFile(file);
    }

    TemporaryDirectory m_directory;
    Stack m_stack;
};

} // namespace

TEST_F(WritingStack, LayoutIsExact)
{
    const std::string expected = "FileFormatVersion 1.03;\n"
                                 "STACK \"demo; stack\";\n"
                                 "LengthUnitScale -6;\n"
                                 "PIXASPECT 2;\n"
                                 "PIXWIDTH 0.5;\n"
                                 "RELPOSITION 2.5;\n"
                                 "LASTSEGMENTEDSLICE \"a\";\n"
                                 "LASTREGISTEREDSLICE \"\";\n"
                                 "Annotation \"line one__NL__line __DQ__two__DQ____SC__ end\";\n"
                                 "AbsoluteImagesPathPolicy false;\n"
                                 "\n"
                                 "SLICE \"a\" \"a.tif\";\n"
                                 "SliceSize1 6;\n"
                                 "SliceSize2 8;\n"
                                 "\n"
                                 "ImagesPath \"../images/\";\n"
                                 "\n"
                                 "SLICE \"b\" \"b.tif\";\n"
                                 "SliceSize1 4;\n"
                                 "SliceSize2 5;\n"
                                 "POSITION 1e-05;\n"
                                 "PIXWIDTH 0.25;\n"
                                 "ROTATE 12.5;\n"
                                 "SHIFT 0 -3;\n"
                                 "Annotation \"x\";\n"
                                 "\n"
                                 "SLICE \"grid\" 1 2;\n"
                                 "IMAGE 1 1 t1.tif;\n"
                                 "IMAGE 1 2 t2.tif;\n"
                                 "SliceSize1 2;\n"
                                 "SliceSize2 7;\n"
                                 "RELPOSITION 1.23457e+06;\n"
                                 "\n"
                                 "ImagesPath \"\";\n"
                                 "\n"
                                 "StackSlice \"vol\" \"v.vm\" 3;\n"
                                 "SliceSize1 5;\n"
                                 "SliceSize2 7;\n"
                                 "\n"
                                 "MODEL \"cells\";\n"
                                 "BRILLIANCY 32;\n"
                                 "COLOR 255 0 0;\n"
                                 "ECORENDERING false;\n"
                                 "FILLEDIN true;\n"
                                 "HIDDEN3D false;\n"
                                 "POINTSIZE 3;\n"
                                 "PRIMITIVE Polygon;\n"
                                 "RENDERINGMODE Surface;\n"
                                 "RESAMPLING 100 100;\n"
                                 "THICKNESS 1;\n"
                                 "TRANSPARENCY 255;\n"
                                 "VERTEXSYMBOL Sphere;\n"
                                 "EndCap true;\n"
                                 "\n"
                                 "MODELITEM \"cells\" \"a\";\n"
                                 "COLOR 1 2 3;\n"
                                 "POINTSIZE 2.5;\n"
                                 "MODELITEMDATA\n"
                                 " 0,0 1,-2 2,-4 3,-6 4,-8 5,-10 6,-12\n"
                                 " 7,-14 8,-16 9,-18 10,-20 11,-22 12,-24 13,-26\n"
                                 " 14,-28;\n"
                                 "\n"
                                 "MODELITEM \"cells\" \"b\";\n"
                                 "\n"
                                 "POSE \"front\";\n"
                                 "POSEROTATION 0 90 -45;\n"
                                 "POSESHIFT 3 4;\n"
                                 "POSEZOOM 150;\n"
                                 "AMBIENTLIGHT 10;\n"
                                 "DIFFUSELIGHT 20;\n"
                                 "SPECULARLIGHT 30;\n";
    EXPECT_EQ(write(), expected);
}

TEST_F(WritingStack, AbsolutePolicyWritesAbsoluteDirectories)
{
    m_stack.setAbsoluteImagesPathPolicy(true);
    const std::string text = write();
    const std::string root = m_directory.root();
    EXPECT_NE(text.find("AbsoluteImagesPathPolicy true;\n\nImagesPath \"" + root + "stack/\";\n\nSLICE \"a\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ImagesPath \"" + root + "images/\";\n\nSLICE \"b\""), std::string::npos);
    EXPECT_NE(text.find("ImagesPath \"" + root + "stack/\";\n\nStackSlice \"vol\""), std::string::npos);

    // Read back from another directory: the absolute paths still hold.
    const std::string moved = m_directory.path("elsewhere/moved.sdf");
    writeFile(moved, text);
    Stack copy;
    StackReader reader;
    ASSERT_TRUE(reader.read(copy, moved));
    EXPECT_TRUE(reader.getLog().empty());
    EXPECT_EQ(dynamic_cast<const ImageSourceFile&>(copy.getSlice(1)->getImageSource()).getFilename(),
              root + "images/b.tif");
}

TEST_F(WritingStack, ImagesBesideTheStackFileNeedNoImagesPath)
{
    for (int i = m_stack.getNumSlices() - 1; i > 0; --i)
        m_stack.deleteSlice(i);
    const std::string text = write();
    EXPECT_EQ(text.find("\nImagesPath"), std::string::npos) << text;
    // A model whose cap flags were never defined writes neither.
    m_stack.getModel(0)->setProperties(Model("fresh").getProperties());
    const std::string again = write();
    EXPECT_EQ(again.find("BeginCap"), std::string::npos);
    EXPECT_EQ(again.find("EndCap"), std::string::npos);
}

TEST_F(WritingStack, UnwritableFileIsReportedOnlyByTheResult)
{
    StackWriter writer;
    EXPECT_FALSE(writer.write(m_stack, m_directory.root() + "no/such/directory/out.sdf"));
    EXPECT_TRUE(writer.getLog().empty());
    EXPECT_EQ(writer.getNumFatalErrors(), 0);
}

TEST_F(WritingStack, NumbersIgnoreTheUsersLocale)
{
    struct CommaPoint : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::string plain = write();
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
    const std::string text = write();
    std::locale::global(previous);
    EXPECT_EQ(text, plain);
}

// Volumes saved as stacks ---------------------------------------------------------------

template <typename T>
class SavingVolume : public ::testing::Test {};

using VolumeTypes = ::testing::Types<int, float, double, long double>;
TYPED_TEST_SUITE(SavingVolume, VolumeTypes);

TYPED_TEST(SavingVolume, PlanesBecomeByteImagesAndSlices)
{
    using T = TypeParam;
    TemporaryDirectory directory;
    const int rows = 3, cols = 4, planes = 3;
    VoxelMatrix<T> volume(rows, cols, planes);
    auto value = [](int i, int j, int k) {
        return static_cast<T>(100 * k + 37 * i + j - 10) + static_cast<T>(std::is_integral_v<T> ? 0 : 0.7);
    };
    for (int k = 0; k < planes; ++k)
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j)
                volume(i, j, k) = value(i, j, k);
    PixelCalibration calibration;
    calibration.setPixelWidth(0.5f);
    calibration.setPixelHeight(0.75f);
    calibration.setAspectRatio(1.5f);
    calibration.setLengthUnit(LengthUnit(-3));

    const std::string images = directory.root() + "images";
    const std::string stacks = directory.root() + "stacks";
    std::filesystem::create_directories(images);
    std::filesystem::create_directories(stacks);
    StackWriter writer;
    ASSERT_TRUE(writer.saveAsStack(volume, "cell", images, stacks, calibration, 2.5f));

    for (int k = 0; k < planes; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "cell_%03d.tif", k);
        Image image;
        ImageReader().read(image, images + "/" + name);
        ASSERT_EQ(image.getWidth(), cols);
        ASSERT_EQ(image.getHeight(), rows);
        ASSERT_EQ(image.getDepth(), 8);
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) {
                // Truncated toward zero, then the low byte.
                const long long whole = static_cast<long long>(std::trunc(static_cast<long double>(value(i, j, k))));
                EXPECT_EQ(image.getRow(i)[j], static_cast<unsigned char>(whole & 255)) << k << " " << i << " " << j;
            }
    }

    Stack stack;
    StackReader reader;
    ASSERT_TRUE(reader.read(stack, stacks + "/cell.sdf"));
    EXPECT_TRUE(reader.getLog().empty());
    EXPECT_EQ(stack.getName(), "cell");
    EXPECT_EQ(stack.getLengthUnit().getScale(), -3);
    EXPECT_FLOAT_EQ(stack.getDefaultRelativePosition(), 2.5f);
    ASSERT_EQ(stack.getNumSlices(), planes);
    for (int k = 0; k < planes; ++k) {
        const StackSlice& slice = *stack.getSlice(k);
        char name[8];
        std::snprintf(name, sizeof name, "%03d", k);
        EXPECT_EQ(slice.getName(), name);
        EXPECT_FLOAT_EQ(slice.getAbsolutePosition(), 2.5f * static_cast<float>(k));
        EXPECT_FLOAT_EQ(slice.getPixelCalibration().getPixelWidth(), 0.5f);
        EXPECT_FLOAT_EQ(slice.getPixelCalibration().getPixelHeight(), 0.75f);
        EXPECT_EQ(slice.getImageSource().getSize(), (Vector<int>{rows, cols}));
    }
    // The images lie in a sibling of the stack directory.
    EXPECT_NE(readFile(stacks + "/cell.sdf").find("ImagesPath \"../images/\";"), std::string::npos);

    if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
        TemporaryDirectory other;
        ASSERT_TRUE(saveVolumeAsStack(volume, "vol", other.root(), other.root(), calibration, 1.0f));
        EXPECT_EQ(readFile(other.root() + "vol.sdf").find("\nImagesPath"), std::string::npos);
        EXPECT_TRUE(std::filesystem::exists(other.root() + "vol_002.tif"));
    }
}
