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
#include <sstream>

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

        auto addSlice = [&](const char* name, const ImageSource& source) {
            auto* slice = new StackSlice(name);
            m_stack.addSlice(slice);
            slice->setImageSource(source);
            slice->setPixelCalibration(c);
            return slice;
        };
        StackSlice* a = addSlice("a", ImageSourceFile(m_directory.root() + "stack/a.tif"));
        StackSlice* b = addSlice("b", ImageSourceFile(m_directory.root() + "images/b.tif"));
        b->getPixelCalibration().setPixelWidth(0.25f);
        b->setAbsolutePosition(1e-5f);
        b->setRegistration(Registration(0, -3, 12.5f));
        b->setAnnotation("x");
        ImageSourceFileMosaic mosaic(1, 2);
        mosaic.setFilename(0, 0, m_directory.root() + "images/t1.tif");
        mosaic.setFilename(0, 1, m_directory.root() + "images/t2.tif");
        addSlice("grid", mosaic)->setRelativePosition(1234567.0f);
        ImageSourceVoxelMatrixPlane plane;
        plane.setVoxelMatrixFilename(m_directory.root() + "stack/v.vm");
        plane.setPlane(3);
        addSlice("vol", plane);

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
    // The whole layout, byte for byte; a stream given the same file name gets
    // the same text (image directories relative to that name), and a failing
    // stream is reported.
    const std::string expected = readFile(std::string(PLEXAN_TEST_DATA_DIR) + "/stack/written.sdf");
    EXPECT_EQ(write(), expected);
    std::ostringstream stream;
    EXPECT_TRUE(StackWriter().write(m_stack, stream, m_directory.path("stack/out.sdf")));
    EXPECT_EQ(stream.str(), expected);
    std::ostringstream failing;
    failing.setstate(std::ios::badbit);
    EXPECT_FALSE(StackWriter().write(m_stack, failing, m_directory.path("stack/out.sdf")));
}

// The absolute policy writes absolute directories, which still hold when
// the file is read from elsewhere; images beside the stack file need no
// images path; undefined cap flags are not written; the user's locale
// changes nothing; an unwritable file is reported only by the result.
TEST_F(WritingStack, PoliciesLocaleAndFailure)
{
    const std::string plain = write();
    std::string comma;
    {
        const CommaLocale locale;
        comma = write();
    }
    EXPECT_EQ(comma, plain);

    m_stack.setAbsoluteImagesPathPolicy(true);
    const std::string text = write();
    const std::string root = m_directory.root();
    EXPECT_NE(text.find("AbsoluteImagesPathPolicy true;\n\nImagesPath \"" + root + "stack/\";\n\nSLICE \"a\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ImagesPath \"" + root + "stack/\";\n\nStackSlice \"vol\""), std::string::npos);
    const std::string moved = m_directory.path("elsewhere/moved.sdf");
    writeFile(moved, text);
    Stack copy;
    StackReader reader;
    ASSERT_TRUE(reader.read(copy, moved));
    EXPECT_TRUE(reader.getLog().empty());
    EXPECT_EQ(dynamic_cast<const ImageSourceFile&>(copy.getSlice(1)->getImageSource()).getFilename(),
              root + "images/b.tif");

    m_stack.setAbsoluteImagesPathPolicy(false);
    for (int i = m_stack.getNumSlices() - 1; i > 0; --i)
        m_stack.deleteSlice(i);
    m_stack.getModel(0)->setProperties(Model("fresh").getProperties());
    const std::string beside = write();
    EXPECT_EQ(beside.find("\nImagesPath"), std::string::npos) << beside;
    EXPECT_EQ(beside.find("Cap"), std::string::npos);

    StackWriter writer;
    EXPECT_FALSE(writer.write(m_stack, m_directory.root() + "no/such/directory/out.sdf"));
    EXPECT_TRUE(writer.getLog().empty());
    EXPECT_EQ(writer.getNumFatalErrors(), 0);
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
    std::filesystem::create_directories(directory.root() + "images");
    std::filesystem::create_directories(directory.root() + "stacks");
    ASSERT_TRUE(StackWriter().saveAsStack(volume, "cell", directory.root() + "images", directory.root() + "stacks",
                                          calibration, 2.5f));

    Stack stack;
    StackReader reader;
    ASSERT_TRUE(reader.read(stack, directory.root() + "stacks/cell.sdf"));
    EXPECT_TRUE(reader.getLog().empty());
    EXPECT_EQ(stack.getName(), "cell");
    EXPECT_EQ(stack.getLengthUnit().getScale(), -3);
    ASSERT_EQ(stack.getNumSlices(), planes);
    for (int k = 0; k < planes; ++k) {
        const StackSlice& slice = *stack.getSlice(k);
        char name[8];
        std::snprintf(name, sizeof name, "%03d", k);
        EXPECT_EQ(slice.getName(), name);
        EXPECT_FLOAT_EQ(slice.getAbsolutePosition(), 2.5f * static_cast<float>(k));
        EXPECT_FLOAT_EQ(slice.getPixelCalibration().getPixelHeight(), 0.75f);
        // The images lie in a sibling of the stack directory, named after
        // the stack and the plane.
        const auto& source = dynamic_cast<const ImageSourceFile&>(slice.getImageSource());
        EXPECT_EQ(std::filesystem::path(source.getFilename()).lexically_normal(),
                  std::filesystem::path(directory.root() + "images/cell_" + name + ".tif"));
        Image image;
        ImageReader().read(image, source.getFilename());
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
    // The free function writes images beside the stack without an images path.
    if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
        TemporaryDirectory other;
        ASSERT_TRUE(saveVolumeAsStack(volume, "vol", other.root(), other.root(), calibration, 1.0f));
        EXPECT_EQ(readFile(other.root() + "vol.sdf").find("\nImagesPath"), std::string::npos);
        EXPECT_TRUE(std::filesystem::exists(other.root() + "vol_002.tif"));
    }
}
