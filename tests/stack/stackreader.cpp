#include "stack/stackreader.h"

#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "numerics/progressmonitor.h"
#include "stack/calibrationcurve.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/pose.h"
#include "stack/stack.h"
#include "stack/stackslice.h"
#include "stack/stackwriter.h"
#include "stack/standardimage.h"
#include "stackfiles.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <locale.h>
#include <random>

using namespace stackfiletest;

namespace {

const std::string dataDirectory = std::string(PLEXAN_TEST_DATA_DIR) + "/stack/";

// A stack read from a text in a temporary directory.
class StackReading : public ::testing::Test {
protected:
    std::string stackFile() const { return m_directory.path("stack/stack.sdf"); }
    std::string stackDirectory() const { return m_directory.root() + "stack/"; }

    // Reads text as the file stack/stack.sdf; true when the log is empty
    // and no fatal error was counted.
    bool readText(const std::string& text)
    {
        writeFile(stackFile(), text);
        return readFile(stackFile());
    }
    bool readFile(const std::string& file)
    {
        EXPECT_TRUE(m_reader.read(m_stack, file));
        return m_reader.getLog().empty() && m_reader.getNumFatalErrors() == 0;
    }
    // Copies a file of the test data beside the temporary stack file.
    std::string copyData(const std::string& name)
    {
        const std::string file = m_directory.path("stack/" + name);
        writeFile(file, stackfiletest::readFile(dataDirectory + name));
        return file;
    }
    std::string log() const
    {
        std::string text;
        for (const std::string& line : m_reader.getLog())
            text += line + "\n";
        return text;
    }
    const std::string& fileOf(int slice) const
    {
        return dynamic_cast<const ImageSourceFile&>(m_stack.getSlice(slice)->getImageSource()).getFilename();
    }

    TemporaryDirectory m_directory;
    StackReader m_reader;
    Stack m_stack;
};

std::vector<std::pair<int, int>> pointsOf(const ModelItem& item)
{
    std::vector<std::pair<int, int>> points;
    for (int i = 0; i < item.getSize(); ++i)
        points.emplace_back(item.getVertices()[i][0], item.getVertices()[i][1]);
    return points;
}

// Twice the signed area of an outline in image coordinates.
long long twiceArea(const std::vector<std::pair<int, int>>& p)
{
    long long sum = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const auto& a = p[i];
        const auto& b = p[(i + 1) % p.size()];
        sum += static_cast<long long>(a.first) * b.second - static_cast<long long>(b.first) * a.second;
    }
    return sum;
}

class ProgressRecorder : public ProgressMonitor {
public:
    void subjectProgressed(unsigned int i, unsigned int n) override { steps.emplace_back(i, n); }
    void subjectProgressed(const std::string& text) override { messages.push_back(text); }
    std::vector<std::pair<unsigned int, unsigned int>> steps;
    std::vector<std::string> messages;
};

} // namespace

// Versions ---------------------------------------------------------------------

TEST_F(StackReading, FileWithoutVersionJoinsImagesToTheStacksOwnPath)
{
    writeTiff(m_directory.path("stack/images/a.tif"), 8, 6);
    writeTiff(m_directory.path("stack/images/b.tif"), 8, 6);
    const std::string file = copyData("version100.sdf");
    ASSERT_TRUE(readFile(file)) << log();

    EXPECT_EQ(m_reader.getFileFormatVersion(), 1.0);
    EXPECT_EQ(m_stack.getName(), "old stack");
    EXPECT_EQ(m_stack.getLengthUnit().getScale(), -3);
    EXPECT_EQ(m_stack.getAnnotation(), "two lines\nwith a; semicolon and \"quotes\"");
    // The images path grew by the relative path; the policy follows its form.
    EXPECT_EQ(m_stack.getImagesPath(), stackDirectory() + "images/");
    EXPECT_FALSE(m_stack.getAbsoluteImagesPathPolicy());
    ASSERT_EQ(m_stack.getNumSlices(), 2);
    EXPECT_EQ(fileOf(0), stackDirectory() + "images/a.tif");
    EXPECT_EQ(fileOf(1), stackDirectory() + "images/b.tif");

    // The default calibration is completed from width and aspect ratio.
    const PixelCalibration& c = m_stack.getDefaultPixelCalibration();
    EXPECT_FLOAT_EQ(c.getPixelWidth(), 0.5f);
    EXPECT_FLOAT_EQ(c.getAspectRatio(), 2.0f);
    EXPECT_FLOAT_EQ(c.getPixelHeight(), 1.0f);
    EXPECT_EQ(m_stack.getSlice(0)->getPixelCalibration().getLengthUnit().getScale(), -3);
    EXPECT_FLOAT_EQ(m_stack.getSlice(1)->getPixelCalibration().getPixelWidth(), 0.25f);
    EXPECT_FLOAT_EQ(m_stack.getSlice(1)->getPixelCalibration().getPixelHeight(), 0.5f);

    const StackSlice& second = *m_stack.getSlice(1);
    EXPECT_FALSE(second.useRelativePosition());
    EXPECT_FLOAT_EQ(second.getAbsolutePosition(), 12.25f);
    EXPECT_EQ(second.getRegistration(), Registration(3, -4, 15.5f));
    EXPECT_EQ(second.getAnnotation(), "slice note");
    EXPECT_FLOAT_EQ(m_stack.getSlice(0)->getRelativePosition(), 3.5f);

    ASSERT_EQ(m_stack.getNumModels(), 1);
    const Model& model = *m_stack.getModel(0);
    EXPECT_EQ(model.getGeometry(), MPrimitive::Polygon);
    EXPECT_EQ(model.getItemProperties().getColor(), (Vector<int>{10, 20, 30}));
    EXPECT_TRUE(model.getItemProperties().isFilled());
    EXPECT_TRUE(model.getItemProperties().isVisible());
    EXPECT_EQ(model.getItemProperties().getPointSize(), 4.0f);
    EXPECT_EQ(model.getItemProperties().getLineWidth(), 2.0f);
    ASSERT_EQ(model.getNumItems(), 2);
    // The square, clockwise in the file, comes back counter-clockwise (a
    // non-negative signed area in image coordinates).
    const auto square = pointsOf(*model.getItem(0));
    EXPECT_GE(twiceArea(square), 0);
    EXPECT_EQ(square, (std::vector<std::pair<int, int>>{{5, 1}, {5, 5}, {1, 5}, {1, 1}}));
    EXPECT_EQ(model.getItem(0)->getSlice(), m_stack.getSlice(0));
    EXPECT_EQ(model.getItem(1)->getSlice(), m_stack.getSlice(1));
    EXPECT_EQ(model.getItem(1)->getProperties().getColor(), (Vector<int>{1, 2, 3}));
    EXPECT_FALSE(model.getItem(1)->getProperties().definesFilled());
    EXPECT_EQ(m_stack.getSlice(1)->getItem(0), model.getItem(1));
}

TEST_F(StackReading, OldFilesKeepAbsoluteImageNamesAndPaths)
{
    writeTiff(m_directory.path("elsewhere/x.tif"), 4, 4);
    writeTiff(m_directory.path("absolute/y.tif"), 4, 4);
    ASSERT_TRUE(readText("SLICE \"x\" \"" + m_directory.root() + "elsewhere/x.tif\";\n"
                         "ImagesPath \"" + m_directory.root() + "absolute/\";\n"
                         "SLICE \"y\" \"y.tif\";\n"))
        << log();
    EXPECT_EQ(fileOf(0), m_directory.root() + "elsewhere/x.tif");
    EXPECT_EQ(fileOf(1), m_directory.root() + "absolute/y.tif");
    EXPECT_TRUE(m_stack.getAbsoluteImagesPathPolicy());
    EXPECT_EQ(m_stack.getImagesPath(), m_directory.root() + "absolute/");
}

TEST_F(StackReading, FromVersion101ImagesPathIsAReadingDirectory)
{
    writeTiff(m_directory.path("stack/images/a.tif"), 8, 6);
    writeTiff(m_directory.path("other/c.tif"), 3, 5);
    const std::string file = copyData("version101.sdf");
    ASSERT_TRUE(readFile(file)) << log();

    EXPECT_NEAR(m_reader.getFileFormatVersion(), 1.01, 1e-12);
    EXPECT_EQ(fileOf(0), stackDirectory() + "images/a.tif");
    EXPECT_EQ(fileOf(1), stackDirectory() + "../other/c.tif");
    EXPECT_EQ(m_stack.getSlice(1)->getImageSource().getSize2(), 3);
    // The stack's own images path stays the stack file's directory; the
    // policy comes from its own statement.
    EXPECT_EQ(m_stack.getImagesPath(), stackDirectory());
    EXPECT_TRUE(m_stack.getAbsoluteImagesPathPolicy());
}

// Keywords and statements -------------------------------------------------------

TEST_F(StackReading, AlternativeSpellingsReadLikeTheWrittenOnes)
{
    writeTiff(m_directory.path("stack/a.tif"), 8, 6);
    writeTiff(m_directory.path("stack/b.tif"), 8, 6);
    ASSERT_TRUE(readFile(copyData("spellings-alternative.sdf"))) << log();
    Stack first;
    StackReader reader;
    ASSERT_TRUE(reader.read(first, copyData("spellings-first.sdf")));
    ASSERT_TRUE(reader.getLog().empty());

    // Both stacks write the same text...
    StackWriter writer;
    ASSERT_TRUE(writer.write(m_stack, m_directory.path("stack/alternative-out.sdf")));
    ASSERT_TRUE(writer.write(first, m_directory.path("stack/first-out.sdf")));
    EXPECT_EQ(stackfiletest::readFile(m_directory.path("stack/alternative-out.sdf")),
              stackfiletest::readFile(m_directory.path("stack/first-out.sdf")));

    // ...which holds what the text says.
    EXPECT_FLOAT_EQ(m_stack.getDefaultPixelCalibration().getAspectRatio(), 1.5f);
    EXPECT_FLOAT_EQ(m_stack.getDefaultRelativePosition(), 2.5f);
    EXPECT_FLOAT_EQ(m_stack.getSlice(0)->getAbsolutePosition(), 4.0f);
    EXPECT_FLOAT_EQ(m_stack.getSlice(1)->getRelativePosition(), 7.5f);
    EXPECT_FLOAT_EQ(m_stack.getSlice(1)->getPixelCalibration().getAspectRatio(), 0.5f);
    const Model& model = *m_stack.getModel(0);
    EXPECT_EQ(model.getGeometry(), MPrimitive::Polyline);
    // 300 and -1 keep their low 8 bits.
    EXPECT_EQ(model.getItemProperties().getColor(), (Vector<int>{44, 255, 255}));
    EXPECT_FALSE(model.getItemProperties().isVisible());
    const ModelItemProperties& own = model.getItem(0)->getProperties();
    EXPECT_EQ(own.getColor(), (Vector<int>{7, 8, 9}));
    EXPECT_FALSE(own.isFilled());
    EXPECT_TRUE(own.isVisible());
    EXPECT_EQ(own.getPointSize(), 2.0f);
    EXPECT_EQ(own.getLineWidth(), 5.0f);
    // A polyline keeps its order.
    EXPECT_EQ(pointsOf(*model.getItem(0)), (std::vector<std::pair<int, int>>{{4, 4}, {8, 8}, {12, 4}}));
}

TEST_F(StackReading, EveryFailureHasItsLogLine)
{
    writeTiff(m_directory.path("stack/a.tif"), 8, 6);
    const std::string file = copyData("failures.sdf");
    EXPECT_FALSE(readFile(file));
    const std::string dir = stackDirectory();
    const std::vector<std::string> expected = {
        "Error on SLICE: invalid number of arguments.",
        "Error: " + dir + "missing.tif: Cannot open file for reading.",
        "Error on IMAGE: Mosaic position already set.",
        "Error on IMAGE: Cannot open file for reading.",
        "Error on IMAGE: Mosaic position out of range.",
        "Error on SLICE: Invalid mosaic dimensions.",
        "Error on color: unknown keyword (ignored).",
        "Error on PRIMITIVE: invalid argument.",
        "Error on RENDERINGMODE: invalid argument.",
        "Error on VERTEXSYMBOL: invalid argument.",
        "Error on M2DITEM: invalid argument.",
        "Error: M2DDATA is invalid in this context.",
        "Error on MODELITEMDATA: invalid argument.",
        "Error: POSEZOOM is invalid in this context.",
        "Error: ROTATE is invalid in this context.",
        "Error on FIT: Undocumented value error.",
    };
    EXPECT_EQ(m_reader.getLog(), expected);
    // The missing slice image and the three refused tiles.
    EXPECT_EQ(m_reader.getNumFatalErrors(), 4);

    // The slice whose image is missing keeps its name, calibration and
    // position, without an image.
    ASSERT_EQ(m_stack.getNumSlices(), 4);
    const StackSlice& ghost = *m_stack.getSlice(1);
    EXPECT_EQ(ghost.getName(), "ghost");
    EXPECT_FALSE(ghost.hasImageSource());
    EXPECT_TRUE(ghost.useRelativePosition());
    EXPECT_EQ(ghost.getRelativePosition(), m_stack.getDefaultRelativePosition());
    EXPECT_EQ(ghost.getPixelCalibration(), m_stack.getDefaultPixelCalibration());
    // The grid kept its accepted tile; the refused grid made an empty slice.
    const auto& grid = dynamic_cast<const ImageSourceFileMosaic&>(m_stack.getSlice(2)->getImageSource());
    EXPECT_EQ(grid.getFilename(0, 0), dir + "a.tif");
    EXPECT_EQ(grid.getFilename(0, 1), "");
    EXPECT_EQ(m_stack.getSlice(3)->getName(), "huge");
    EXPECT_FALSE(m_stack.getSlice(3)->hasImageSource());
    // The item with a bad pair exists without vertices; the standard image
    // has its curve.
    ASSERT_EQ(m_stack.getModel(0)->getNumItems(), 1);
    EXPECT_EQ(m_stack.getModel(0)->getItem(0)->getSize(), 0);
    ASSERT_EQ(m_stack.getNumStandardImages(), 1);
    ASSERT_NE(m_stack.getCalibration("grey wedge"), nullptr);
    EXPECT_EQ(m_stack.getCalibration("grey wedge")->getName(), "wedge");
}

TEST_F(StackReading, ArgumentCountIsCheckedBeforeTheContext)
{
    EXPECT_FALSE(readText("POSEZOOM 1 2;\nROTATE;\nPOSITION 1;\nMODELITEMDATA;\nMODELITEM \"a\";\n"
                          "SliceSize1 5;\nSliceSize2 1 2;\nCOLOR 1 2;\nFILLEDIN 1;\n"));
    const std::vector<std::string> expected = {
        "Error on POSEZOOM: invalid number of arguments.", "Error on ROTATE: invalid number of arguments.",
        "Error: POSITION is invalid in this context.",    "Error on MODELITEMDATA: invalid number of arguments.",
        "Error on MODELITEM: invalid number of arguments.", "Error: SliceSize1 is invalid in this context.",
        "Error on SliceSize2: invalid number of arguments.", "Error on COLOR: invalid number of arguments.",
        "Error: FILLEDIN is invalid in this context.",
    };
    EXPECT_EQ(m_reader.getLog(), expected);
    EXPECT_EQ(m_reader.getNumFatalErrors(), 0);
}

TEST_F(StackReading, ContextFollowsTheStatements)
{
    writeTiff(m_directory.path("stack/a.tif"), 8, 6);
    ASSERT_TRUE(readText("PIXWIDTH 3;\nAnnotation \"on the stack\";\nRELPOSITION 2;\n"
                         "SLICE \"s\" \"a.tif\";\nPIXWIDTH 0.5;\nAnnotation \"on the slice\";\nRELPOSITION 4;\n"
                         "MODEL \"m\";\nCOLOR 1 2 3;\nPOINTSIZE 7.9;\nBRILLIANCY 1.5;\nTRANSPARENCY 99.9;\n"
                         "MODELITEM \"m\" \"s\";\nCOLOR 4 5 6;\nTHICKNESS 2.5;\n"
                         "POSE \"p\";\nPOSEROTATION 10 -20 30;\nPOSESHIFT 5 6;\n"
                         "COLOR 7 8 9;\n" // the item is still current
                         "Annotation \"stack again\";\n"))
        << log();
    EXPECT_FLOAT_EQ(m_stack.getDefaultPixelCalibration().getPixelWidth(), 3.0f);
    EXPECT_FLOAT_EQ(m_stack.getDefaultRelativePosition(), 2.0f);
    const StackSlice& s = *m_stack.getSlice(0);
    EXPECT_FLOAT_EQ(s.getPixelCalibration().getPixelWidth(), 0.5f);
    EXPECT_EQ(s.getAnnotation(), "on the slice");
    EXPECT_FLOAT_EQ(s.getRelativePosition(), 4.0f);
    EXPECT_EQ(m_stack.getAnnotation(), "stack again");
    const Model& m = *m_stack.getModel(0);
    EXPECT_EQ(m.getItemProperties().getColor(), (Vector<int>{1, 2, 3}));
    // Values stored as reals but read as integers come back truncated.
    EXPECT_EQ(m.getItemProperties().getPointSize(), 7.0f);
    EXPECT_EQ(m.getProperties().getShininess(), 1.0f);
    EXPECT_EQ(m.getProperties().getOpacity(), 99.0f);
    EXPECT_EQ(m.getItem(0)->getProperties().getColor(), (Vector<int>{7, 8, 9}));
    EXPECT_EQ(m.getItem(0)->getProperties().getLineWidth(), 2.0f);
    const Pose& p = *m_stack.getPose(0);
    EXPECT_EQ(p.getStack(), &m_stack);
    EXPECT_EQ(p.getRotation(), (Vector<int>{10, -20, 30}));
    EXPECT_EQ(p.getTranslation(), (Vector<int>{5, 6}));
}

TEST_F(StackReading, StatementsSpanLinesAndCommentsAreDropped)
{
    Stack oneLine;
    writeFile(stackFile(), "MODEL \"m x\";\nRESAMPLING 12 34;\nCOLOR 1 2 3;\nPOSE \"p\";\nPOSEROTATION 1 2 3;\n");
    ASSERT_TRUE(m_reader.read(oneLine, stackFile()));
    // Lines join without their line breaks: a continuation line brings its
    // own blank.
    ASSERT_TRUE(readText("# a comment line\nMODEL\n \"m   x\"  # the name\n;\n"
                         "  RESAMPLING\t12#width\n 34 ;  \n"
                         "COLOR 1\r\n 2\r\n 3;\r\n"
                         "POSE \"p\"; POSEROTATION 9 9 9;\n" // one statement: its last character goes
                         "POSEROTATION 1 2\n#3;\n 3;\n"))
        << log();
    ASSERT_EQ(m_stack.getNumModels(), 1);
    EXPECT_EQ(m_stack.getModel(0)->getName(), oneLine.getModel(0)->getName());
    EXPECT_EQ(m_stack.getModel(0)->getProperties(), oneLine.getModel(0)->getProperties());
    EXPECT_EQ(m_stack.getModel(0)->getItemProperties(), oneLine.getModel(0)->getItemProperties());
    EXPECT_EQ(m_stack.getPose(0)->getName(), "\"p\"; POSEROTATION 9 9 9");
    EXPECT_EQ(m_stack.getPose(0)->getRotation(), oneLine.getPose(0)->getRotation());
}

TEST_F(StackReading, QuotedArgumentsJoinWordsUntilAClosingQuote)
{
    ASSERT_TRUE(readText("MODEL \"a \"b\";\nMODEL \"\";\nMODEL \"\"\";\nMODEL \"x;y\";\nMODEL plain;\n"
                         "MODEL \"never   closed;\n"))
        << log();
    const std::vector<std::string> names = {"a \"b", "", "\"", "x;y", "plain", "\"never closed"};
    ASSERT_EQ(m_stack.getNumModels(), static_cast<int>(names.size()));
    for (int i = 0; i < m_stack.getNumModels(); ++i)
        EXPECT_EQ(m_stack.getModel(i)->getName(), names[i]);

    // The first word ending with a quote closes the argument.
    Stack other;
    writeFile(stackFile(), "MODEL \"a\" b\" c\";\n");
    ASSERT_TRUE(m_reader.read(other, stackFile()));
    EXPECT_EQ(m_reader.getLog(), std::vector<std::string>{"Error on MODEL: invalid number of arguments."});
}

TEST_F(StackReading, ModelItemsNeedTheirModelAndSlice)
{
    writeTiff(m_directory.path("stack/a.tif"), 8, 6);
    EXPECT_FALSE(readText("SLICE \"s\" \"a.tif\";\nMODEL \"m\";\nPRIMITIVE Polyline;\nMODELITEM \"m\" \"t\";\nMODELITEMDATA 1,2;\n"
                          "MODELITEM \"n\" \"s\";\nMODELITEM \"m\" \"s\";\nMODELITEMDATA 1,2 3,x4 -5,6,7;\n"
                          "MODELITEM \"m\" \"s\" \"x\";\nMODELITEMDATA 9,9;\n"));
    const std::vector<std::string> expected = {
        "Error on MODELITEM: invalid argument.",
        "Error: MODELITEMDATA is invalid in this context.",
        "Error on MODELITEM: invalid argument.",
        "Error on MODELITEM: invalid number of arguments.",
        "Error: MODELITEMDATA is invalid in this context.",
    };
    EXPECT_EQ(m_reader.getLog(), expected);
    ASSERT_EQ(m_stack.getModel(0)->getNumItems(), 1);
    // Pairs split at their first comma, each side read like strtol.
    EXPECT_EQ(pointsOf(*m_stack.getModel(0)->getItem(0)),
              (std::vector<std::pair<int, int>>{{1, 2}, {3, 0}, {-5, 6}}));
}

TEST_F(StackReading, CalibrationCurvesAndSamplesAreRead)
{
    ASSERT_TRUE(readText("STANDARDIMAGE \"wedge\" ignored;\nCALIBRATIONCURVE \"density\";\nFIT Polynomial2;\n"
                         "SAMPLE \"dark\";\nSAMPLECOORDS 1 2 10 20;\nSAMPLEVALUE 0.25;\n"
                         "SAMPLE \"light\";\nSAMPLEVALUE 2.5;\n"))
        << log();
    const CalibrationCurve* curve = m_stack.getCalibration("wedge");
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->getName(), "density");
    EXPECT_EQ(curve->getFitType(), CalibrationCurve::Polynomial2);
    ASSERT_EQ(curve->getNumSamples(), 2);
    EXPECT_EQ(curve->getSample(0).getName(), "dark");
    EXPECT_EQ(curve->getSample(0).getRegion().getVertex1(), (Vector<int>{1, 2}));
    EXPECT_EQ(curve->getSample(0).getRegion().getVertex2(), (Vector<int>{10, 20}));
    EXPECT_EQ(curve->getSample(0).getKnownValue(), 0.25);
    EXPECT_EQ(curve->getSample(1).getKnownValue(), 2.5);

    Stack other;
    writeFile(stackFile(), "CALIBRATIONCURVE \"c\";\nSAMPLE \"s\";\nFIT Linear;\nSAMPLEVALUE 1;\n");
    ASSERT_TRUE(m_reader.read(other, stackFile()));
    const std::vector<std::string> expected = {
        "Error: CALIBRATIONCURVE is invalid in this context.", "Error: SAMPLE is invalid in this context.",
        "Error: FIT is invalid in this context.", "Error: SAMPLEVALUE is invalid in this context."};
    EXPECT_EQ(m_reader.getLog(), expected);
}

TEST_F(StackReading, VoxelMatrixPlaneSlicesAreRebuiltOrReported)
{
    writeVoxelMatrix(m_directory.path("volumes/v.vm"), 5, 7, 4);
    EXPECT_FALSE(readText("FileFormatVersion 1.03;\nImagesPath \"../volumes/\";\n"
                          "StackSlice \"plane\" \"v.vm\" 2;\nSliceSize1 5;\nSliceSize2 7;\n"
                          "StackSlice \"lost\" \"w.vm\" 0;\nStackSlice \"x\" \"v.vm\";\n"));
    const std::string file = stackDirectory() + "../volumes/w.vm";
    ASSERT_EQ(m_reader.getLog().size(), 2u);
    EXPECT_EQ(m_reader.getLog()[0], "Error: " + file + ": Cannot open file for reading.");
    EXPECT_EQ(m_reader.getLog()[1], "Error on StackSlice: invalid number of arguments.");
    EXPECT_EQ(m_reader.getNumFatalErrors(), 1);
    ASSERT_EQ(m_stack.getNumSlices(), 2);
    const auto& plane = dynamic_cast<const ImageSourceVoxelMatrixPlane&>(m_stack.getSlice(0)->getImageSource());
    EXPECT_EQ(plane.getVoxelMatrixFilename(), stackDirectory() + "../volumes/v.vm");
    EXPECT_EQ(plane.getPlane(), 2);
    EXPECT_EQ(plane.getSize1(), 5);
    EXPECT_EQ(plane.getSize2(), 7);
    EXPECT_EQ(m_stack.getSlice(1)->getName(), "lost");
    EXPECT_FALSE(m_stack.getSlice(1)->hasImageSource());
}

// Reading as a whole ---------------------------------------------------------------

TEST_F(StackReading, OnlyAnUnopenableFileFailsAndTheSuffixIsAdded)
{
    EXPECT_FALSE(m_reader.read(m_stack, m_directory.root() + "missing.sdf"));
    EXPECT_TRUE(m_reader.getLog().empty());
    std::filesystem::create_directories(m_directory.root() + "folder.sdf");
    EXPECT_FALSE(m_reader.read(m_stack, m_directory.root() + "folder.sdf"));

    writeFile(m_directory.path("named.sdf"), "STACK \"found\";\n");
    ASSERT_TRUE(m_reader.read(m_stack, m_directory.root() + "named"));
    EXPECT_EQ(m_stack.getName(), "found");
    // Only "sdf" after the last dot of the last component counts.
    writeFile(m_directory.path("a.sdf.x.sdf"), "STACK \"second\";\n");
    ASSERT_TRUE(m_reader.read(m_stack, m_directory.root() + "a.sdf.x"));
    EXPECT_EQ(m_stack.getName(), "second");
}

TEST_F(StackReading, ReadingStopsAtAnEmptyStatementOrAnUnfinishedOne)
{
    ASSERT_TRUE(readText("STACK \"a\";\nMODEL \"m\";\n  ;\nMODEL \"after\";\n"));
    EXPECT_EQ(m_stack.getNumModels(), 1);
    Stack other;
    writeFile(stackFile(), "STACK \"b\";\nMODEL \"m\"");
    ASSERT_TRUE(m_reader.read(other, stackFile()));
    EXPECT_EQ(other.getName(), "b");
    EXPECT_EQ(other.getNumModels(), 0);
    EXPECT_TRUE(m_reader.getLog().empty());
    // A last statement without a final line break is complete.
    Stack third;
    writeFile(stackFile(), "STACK \"c\";");
    ASSERT_TRUE(m_reader.read(third, stackFile()));
    EXPECT_EQ(third.getName(), "c");
}

TEST_F(StackReading, ProgressGoesByBytesFromZeroToHundred)
{
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "MODEL \"model " + std::to_string(i) + "\";\n";
    writeFile(stackFile(), text);
    ProgressRecorder recorder;
    m_reader.addMonitor(recorder);
    ASSERT_TRUE(m_reader.read(m_stack, stackFile()));
    ASSERT_GE(recorder.steps.size(), 50u);
    EXPECT_EQ(recorder.steps.front(), std::make_pair(0u, 100u));
    EXPECT_EQ(recorder.steps.back(), std::make_pair(100u, 100u));
    for (std::size_t i = 1; i < recorder.steps.size(); ++i)
        EXPECT_LE(recorder.steps[i - 1].first, recorder.steps[i].first);
    EXPECT_EQ(recorder.messages, (std::vector<std::string>{"Reading " + stackFile() + "...", ""}));
}

TEST_F(StackReading, NumbersIgnoreTheUsersLocaleWhichIsRestored)
{
    // A C++ global locale with a decimal comma must not leak into reading.
    struct CommaPoint : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
    // A thread locale of our own, to be found again after reading.
    const locale_t mine = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    const locale_t before = mine ? uselocale(mine) : uselocale(static_cast<locale_t>(nullptr));
    const bool read = readText("PIXWIDTH 0.25;\nRELPOSITION 1.5e1;\n");
    const locale_t after = uselocale(static_cast<locale_t>(nullptr));
    if (mine) {
        uselocale(before);
        freelocale(mine);
    }
    std::locale::global(previous);
    EXPECT_TRUE(read);
    if (mine) {
        EXPECT_EQ(after, mine);
    }
    EXPECT_FLOAT_EQ(m_stack.getDefaultPixelCalibration().getPixelWidth(), 0.25f);
    EXPECT_FLOAT_EQ(m_stack.getDefaultRelativePosition(), 15.0f);
}

// Round trips and damaged files -------------------------------------------------------

class StackRoundTrip : public ::testing::TestWithParam<unsigned int> {};

TEST_P(StackRoundTrip, WritingWhatWasReadGivesTheSameFile)
{
    TemporaryDirectory directory;
    RandomStack random(directory, GetParam());
    Stack original;
    random.build(original);
    const std::string file = random.stackFile();
    StackWriter writer;
    ASSERT_TRUE(writer.write(original, file));

    Stack copy;
    StackReader reader;
    ASSERT_TRUE(reader.read(copy, file));
    std::string log;
    for (const std::string& line : reader.getLog())
        log += line + "\n";
    ASSERT_TRUE(reader.getLog().empty()) << log;
    ASSERT_EQ(reader.getNumFatalErrors(), 0);

    const std::string again = directory.path("stack/again.sdf");
    ASSERT_TRUE(writer.write(copy, again));
    const std::string text = readFile(file);
    EXPECT_EQ(readFile(again), text);

    // The document itself, field by field.
    EXPECT_EQ(copy.getName(), original.getName());
    EXPECT_EQ(copy.getAnnotation(), original.getAnnotation());
    EXPECT_EQ(copy.getLastSegmentedSlice(), original.getLastSegmentedSlice());
    EXPECT_EQ(copy.getLastRegisteredSlice(), original.getLastRegisteredSlice());
    EXPECT_EQ(copy.getAbsoluteImagesPathPolicy(), original.getAbsoluteImagesPathPolicy());
    EXPECT_EQ(copy.getLengthUnit(), original.getLengthUnit());
    EXPECT_EQ(copy.getDefaultRelativePosition(), original.getDefaultRelativePosition());
    ASSERT_EQ(copy.getNumSlices(), original.getNumSlices());
    for (int i = 0; i < copy.getNumSlices(); ++i) {
        const StackSlice& a = *original.getSlice(i);
        const StackSlice& b = *copy.getSlice(i);
        EXPECT_EQ(b.getName(), a.getName());
        EXPECT_EQ(b.getAnnotation(), a.getAnnotation());
        EXPECT_EQ(b.getAbsolutePosition(), a.getAbsolutePosition()) << i;
        EXPECT_EQ(b.getRegistration(), a.getRegistration());
        EXPECT_EQ(b.getPixelCalibration().getPixelWidth(), a.getPixelCalibration().getPixelWidth());
        EXPECT_EQ(b.getPixelCalibration().getAspectRatio(), a.getPixelCalibration().getAspectRatio());
        EXPECT_EQ(b.getPixelCalibration().getLengthUnit(), a.getPixelCalibration().getLengthUnit());
        if (a.hasImageSource()) {
            ASSERT_TRUE(b.hasImageSource());
            EXPECT_EQ(b.getImageSource().getType(), a.getImageSource().getType());
            EXPECT_EQ(b.getImageSource().getSize(), a.getImageSource().getSize());
            EXPECT_EQ(b.getImageSource().getDepth(), a.getImageSource().getDepth());
        }
    }
    ASSERT_EQ(copy.getNumModels(), original.getNumModels());
    for (int i = 0; i < copy.getNumModels(); ++i) {
        const Model& a = *original.getModel(i);
        const Model& b = *copy.getModel(i);
        EXPECT_EQ(b.getName(), a.getName());
        EXPECT_EQ(b.getProperties(), a.getProperties());
        EXPECT_EQ(b.getItemProperties(), a.getItemProperties());
        ASSERT_EQ(b.getNumItems(), a.getNumItems());
        for (int k = 0; k < b.getNumItems(); ++k) {
            EXPECT_EQ(pointsOf(*b.getItem(k)), pointsOf(*a.getItem(k)));
            EXPECT_EQ(b.getItem(k)->getProperties(), a.getItem(k)->getProperties());
            EXPECT_EQ(copy.findSlice(b.getItem(k)->getSlice()), original.findSlice(a.getItem(k)->getSlice()));
        }
    }
    ASSERT_EQ(copy.getNumPoses(), original.getNumPoses());
    for (int i = 0; i < copy.getNumPoses(); ++i) {
        const Pose& a = *original.getPose(i);
        const Pose& b = *copy.getPose(i);
        EXPECT_EQ(b.getName(), a.getName());
        EXPECT_EQ(b.getRotation(), a.getRotation());
        EXPECT_EQ(b.getTranslation(), a.getTranslation());
        EXPECT_EQ(b.getZoom(), a.getZoom());
        EXPECT_EQ(b.getAmbientLight(), a.getAmbientLight());
        EXPECT_EQ(b.getDiffuseLight(), a.getDiffuseLight());
        EXPECT_EQ(b.getSpecularLight(), a.getSpecularLight());
    }
}

INSTANTIATE_TEST_SUITE_P(RandomStacks, StackRoundTrip, ::testing::Range(1u, 13u));

TEST(StackDamagedFiles, TruncatedAndGarbledFilesReadWithoutHarm)
{
    TemporaryDirectory directory;
    RandomStack random(directory, 99);
    Stack original;
    random.build(original);
    const std::string file = random.stackFile();
    ASSERT_TRUE(StackWriter().write(original, file));
    const std::string text = readFile(file);
    const std::string damaged = directory.path("stack/damaged.sdf");

    std::mt19937 rng(1234);
    std::uniform_int_distribution<std::size_t> position(0, text.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    auto readBack = [&](const std::string& content) {
        writeFile(damaged, content);
        Stack stack;
        StackReader reader;
        EXPECT_TRUE(reader.read(stack, damaged));
        EXPECT_LE(stack.getNumSlices(), original.getNumSlices() + 64);
    };
    // Cut at many lengths.
    for (std::size_t length = 0; length < text.size(); length += 1 + length / 12)
        readBack(text.substr(0, length));
    // Random bytes flipped, a few or many at a time.
    for (int trial = 0; trial < 120; ++trial) {
        std::string garbled = text;
        const int flips = trial < 60 ? 1 + trial % 4 : 40;
        for (int k = 0; k < flips; ++k)
            garbled[position(rng)] = static_cast<char>(byte(rng));
        readBack(garbled);
    }
}

TEST(StackDamagedFiles, HostileStatementsAreRefusedOrBounded)
{
    TemporaryDirectory directory;
    const std::string file = directory.path("hostile.sdf");
    auto readBack = [&](const std::string& content) {
        writeFile(file, content);
        Stack stack;
        StackReader reader;
        EXPECT_TRUE(reader.read(stack, file));
        return reader.getLog();
    };
    // A very long line with no end, and binary junk.
    readBack(std::string(3 << 20, 'x'));
    std::string junk(1 << 16, '\0');
    std::mt19937 rng(5);
    for (char& c : junk)
        c = static_cast<char>(rng());
    readBack(junk);
    readBack("STANDARDIMAGE \"" + std::string(1 << 20, 'q') + " x;\n");
    // Numbers beyond every range.
    EXPECT_EQ(readBack("SLICE \"s\" 99999999999999999999 99999999999999999999;\n"),
              std::vector<std::string>{"Error on SLICE: Invalid mosaic dimensions."});
    EXPECT_EQ(readBack("SLICE \"s\" 2 2;\nIMAGE 99999999999 -99999999999 a.tif;\nIMAGE 0 0 a.tif;\n").size(), 2u);
    EXPECT_EQ(readBack("MODEL \"m\";\nRESAMPLING -1 5;\nRESAMPLING 1e9 4294967296;\n"),
              std::vector<std::string>{"Error on RESAMPLING: invalid argument."});
    readBack("PIXWIDTH 1e99999;\nRELPOSITION -1e-99999;\nFileFormatVersion nan;\nLengthUnitScale -99999999999;\n");
    // A great many vertices in one statement.
    std::string data = "SLICE \"s\" 1 1;\nMODEL \"m\";\nMODELITEM \"m\" \"s\";\nMODELITEMDATA";
    for (int i = 0; i < 200000; ++i)
        data += " " + std::to_string(i) + "," + std::to_string(-i);
    EXPECT_TRUE(readBack(data + ";\n").empty());
    EXPECT_EQ(readBack(data + " 5;\n"), std::vector<std::string>{"Error on MODELITEMDATA: invalid argument."});
}
