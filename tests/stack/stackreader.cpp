#include "stack/stackreader.h"

#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "numerics/progressmonitor.h"
#include "stack/calibrationcurve.h"
#include "stack/stackwriter.h"
#include "stack/standardimage.h"
#include "stackfiles.h"
#include "stackfixture.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <optional>
#include <random>

using namespace stackfiletest;
using stacktest::Points;
using Log = std::vector<std::string>;

namespace {

const std::string dataDirectory = std::string(PLEXAN_TEST_DATA_DIR) + "/stack/";

Points pointsOf(const ModelItem& item)
{
    return stacktest::toPoints(item.getVertices());
}

// A stack read from a text in a temporary directory.
class StackReading : public ::testing::Test {
protected:
    std::string stackFile() const { return m_directory.path("stack/stack.sdf"); }
    std::string stackDirectory() const { return m_directory.root() + "stack/"; }

    // Reads text as the file stack/stack.sdf into stack (the fixture's by
    // default); true when the log is empty and no fatal error was counted.
    bool readText(const std::string& text, Stack* stack = nullptr)
    {
        writeFile(stackFile(), text);
        return readFile(stackFile(), stack);
    }
    bool readFile(const std::string& file, Stack* stack = nullptr)
    {
        EXPECT_TRUE(m_reader.read(stack ? *stack : m_stack, file));
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
    const std::string& fileOf(int slice, const Stack* stack = nullptr) const
    {
        const StackSlice& s = *(stack ? stack : &m_stack)->getSlice(slice);
        return dynamic_cast<const ImageSourceFile&>(s.getImageSource()).getFilename();
    }

    TemporaryDirectory m_directory;
    StackReader m_reader;
    Stack m_stack;
};

} // namespace

// Versions and images paths --------------------------------------------------------

TEST_F(StackReading, FileWithoutVersionJoinsImagesToTheStacksOwnPath)
{
    writeTiff(m_directory.path("stack/images/a.tif"), 8, 6);
    writeTiff(m_directory.path("stack/images/b.tif"), 8, 6);
    ASSERT_TRUE(readFile(copyData("version100.sdf"))) << log();

    EXPECT_EQ(m_reader.getFileFormatVersion(), 1.0);
    EXPECT_EQ(m_stack.getLengthUnit().getScale(), -3);
    // The images path grew by the relative path; the policy follows its form.
    EXPECT_EQ(m_stack.getImagesPath(), stackDirectory() + "images/");
    EXPECT_FALSE(m_stack.getAbsoluteImagesPathPolicy());
    ASSERT_EQ(m_stack.getNumSlices(), 2);
    EXPECT_EQ(fileOf(1), stackDirectory() + "images/b.tif");

    // The default calibration is completed from width and aspect ratio.
    EXPECT_FLOAT_EQ(m_stack.getDefaultPixelCalibration().getPixelHeight(), 1.0f);
    EXPECT_FLOAT_EQ(m_stack.getSlice(1)->getPixelCalibration().getPixelHeight(), 0.5f);
    const StackSlice& second = *m_stack.getSlice(1);
    EXPECT_FLOAT_EQ(second.getAbsolutePosition(), 12.25f);
    EXPECT_EQ(second.getRegistration(), Registration(3, -4, 15.5f));
    EXPECT_FLOAT_EQ(m_stack.getSlice(0)->getRelativePosition(), 3.5f);

    const Model& model = *m_stack.getModel(0);
    EXPECT_EQ(model.getItemProperties().getColor(), (Vector<int>{10, 20, 30}));
    ASSERT_EQ(model.getNumItems(), 2);
    // The square, clockwise in the file, comes back counter-clockwise.
    EXPECT_EQ(pointsOf(*model.getItem(0)), (Points{{5, 1}, {5, 5}, {1, 5}, {1, 1}}));
    EXPECT_EQ(model.getItem(1)->getProperties().getColor(), (Vector<int>{1, 2, 3}));
    EXPECT_EQ(m_stack.getSlice(1)->getItem(0), model.getItem(1));
}

TEST_F(StackReading, ImagesPathsOfOlderAndNewerFiles)
{
    // Before version 1.01, absolute image names and paths are kept.
    writeTiff(m_directory.path("elsewhere/x.tif"), 4, 4);
    writeTiff(m_directory.path("absolute/y.tif"), 4, 4);
    ASSERT_TRUE(readText("RELPOSITION 1;\nSLICE \"x\" \"" + m_directory.root() + "elsewhere/x.tif\";\n"
                         "ImagesPath \"" + m_directory.root() + "absolute/\";\n"
                         "SLICE \"y\" \"y.tif\";\n"))
        << log();
    EXPECT_EQ(fileOf(0), m_directory.root() + "elsewhere/x.tif");
    EXPECT_EQ(fileOf(1), m_directory.root() + "absolute/y.tif");
    EXPECT_TRUE(m_stack.getAbsoluteImagesPathPolicy());

    // From 1.01 on, ImagesPath is only where the images are read.
    Stack newer;
    writeTiff(m_directory.path("stack/images/a.tif"), 8, 6);
    writeTiff(m_directory.path("other/c.tif"), 3, 5);
    ASSERT_TRUE(readFile(copyData("version101.sdf"), &newer)) << log();
    EXPECT_NEAR(m_reader.getFileFormatVersion(), 1.01, 1e-12);
    EXPECT_EQ(fileOf(0, &newer), stackDirectory() + "images/a.tif");
    EXPECT_EQ(fileOf(1, &newer), stackDirectory() + "../other/c.tif");
    EXPECT_EQ(newer.getSlice(1)->getImageSource().getSize2(), 3);
    EXPECT_EQ(newer.getImagesPath(), stackDirectory());
    EXPECT_TRUE(newer.getAbsoluteImagesPathPolicy());
}

// Keywords and statements ----------------------------------------------------------

TEST_F(StackReading, AlternativeSpellingsReadLikeTheWrittenOnes)
{
    writeTiff(m_directory.path("stack/a.tif"), 8, 6);
    writeTiff(m_directory.path("stack/b.tif"), 8, 6);
    ASSERT_TRUE(readFile(copyData("spellings-alternative.sdf"))) << log();
    Stack first;
    ASSERT_TRUE(readFile(copyData("spellings-first.sdf"), &first)) << log();

    // Both stacks write the same text, which holds what the text says.
    StackWriter writer;
    ASSERT_TRUE(writer.write(m_stack, m_directory.path("stack/alternative-out.sdf")));
    ASSERT_TRUE(writer.write(first, m_directory.path("stack/first-out.sdf")));
    EXPECT_EQ(stackfiletest::readFile(m_directory.path("stack/alternative-out.sdf")),
              stackfiletest::readFile(m_directory.path("stack/first-out.sdf")));
    EXPECT_FLOAT_EQ(m_stack.getSlice(1)->getRelativePosition(), 7.5f);
    const Model& model = *m_stack.getModel(0);
    // 300 and -1 keep their low 8 bits.
    EXPECT_EQ(model.getItemProperties().getColor(), (Vector<int>{44, 255, 255}));
    EXPECT_EQ(model.getItem(0)->getProperties().getLineWidth(), 5.0f);
    // A polyline keeps its order.
    EXPECT_EQ(pointsOf(*model.getItem(0)), (Points{{4, 4}, {8, 8}, {12, 4}}));
}

TEST_F(StackReading, EveryFailureHasItsLogLine)
{
    writeTiff(m_directory.path("stack/a.tif"), 8, 6);
    EXPECT_FALSE(readFile(copyData("failures.sdf")));
    const std::string dir = stackDirectory();
    const Log expected = {
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

    // The slice whose image is missing and the refused grid are slices
    // without image; the grid kept its accepted tile; the item with a bad
    // pair has no vertices.
    ASSERT_EQ(m_stack.getNumSlices(), 4);
    EXPECT_FALSE(m_stack.getSlice(1)->hasImageSource() || m_stack.getSlice(3)->hasImageSource());
    const auto& grid = dynamic_cast<const ImageSourceFileMosaic&>(m_stack.getSlice(2)->getImageSource());
    EXPECT_EQ(grid.getFilename(0, 0) + "|" + grid.getFilename(0, 1), dir + "a.tif|");
    EXPECT_EQ(m_stack.getModel(0)->getItem(0)->getSize(), 0);
}

// Each text with the log it gives: argument counts come before the context,
// the first word ending with a quote closes an argument, items need their
// model and slice, samples need their curve.
TEST_F(StackReading, RefusedStatementsAreLogged)
{
    writeTiff(m_directory.path("stack/a.tif"), 8, 6);
    const std::pair<std::string, Log> cases[] = {
        {"POSEZOOM 1 2;\nROTATE;\nPOSITION 1;\nMODELITEMDATA;\nMODELITEM \"a\";\n"
         "SliceSize1 5;\nSliceSize2 1 2;\nCOLOR 1 2;\nFILLEDIN 1;\n",
         {"Error on POSEZOOM: invalid number of arguments.", "Error on ROTATE: invalid number of arguments.",
          "Error: POSITION is invalid in this context.", "Error on MODELITEMDATA: invalid number of arguments.",
          "Error on MODELITEM: invalid number of arguments.", "Error: SliceSize1 is invalid in this context.",
          "Error on SliceSize2: invalid number of arguments.", "Error on COLOR: invalid number of arguments.",
          "Error: FILLEDIN is invalid in this context."}},
        {"MODEL \"a\" b\" c\";\n", {"Error on MODEL: invalid number of arguments."}},
        {"SLICE \"s\" \"a.tif\";\nMODEL \"m\";\nMODELITEM \"m\" \"t\";\nMODELITEMDATA 1,2;\n"
         "MODELITEM \"n\" \"s\";\nMODELITEM \"m\" \"s\" \"x\";\nMODELITEMDATA 9,9;\n",
         {"Error on MODELITEM: invalid argument.", "Error: MODELITEMDATA is invalid in this context.",
          "Error on MODELITEM: invalid argument.", "Error on MODELITEM: invalid number of arguments.",
          "Error: MODELITEMDATA is invalid in this context."}},
        {"CALIBRATIONCURVE \"c\";\nSAMPLE \"s\";\nFIT Linear;\nSAMPLEVALUE 1;\n",
         {"Error: CALIBRATIONCURVE is invalid in this context.", "Error: SAMPLE is invalid in this context.",
          "Error: FIT is invalid in this context.", "Error: SAMPLEVALUE is invalid in this context."}},
    };
    for (const auto& [text, expected] : cases) {
        Stack stack;
        EXPECT_FALSE(readText(text, &stack));
        EXPECT_EQ(m_reader.getLog(), expected) << text;
        EXPECT_EQ(m_reader.getNumFatalErrors(), 0);
    }
}

// Statements apply to the last stack, slice, model, item or pose opened
// (a pose holds no colour: the item stays current); values stored as reals
// but read as integers come back truncated; pairs split at their first
// comma, each side read like strtol, and pairs that are not two integers
// are logged.
TEST_F(StackReading, ContextFollowsTheStatements)
{
    writeTiff(m_directory.path("stack/a.tif"), 8, 6);
    EXPECT_FALSE(readText("PIXWIDTH 3;\nSLICE \"s\" \"a.tif\";\nPIXWIDTH 0.5;\nAnnotation \"on the slice\";\n"
                         "MODEL \"m\";\nPRIMITIVE Polyline;\nCOLOR 1 2 3;\nPOINTSIZE 7.9;\nTRANSPARENCY 99.9;\n"
                         "MODELITEM \"m\" \"s\";\nTHICKNESS 2.5;\nMODELITEMDATA 1,2 3,x4 -5,6,7;\n"
                         "POSE \"p\";\nCOLOR 7 8 9;\nAnnotation \"stack again\";\n"
                         "STANDARDIMAGE \"wedge\" ignored;\nCALIBRATIONCURVE \"density\";\nFIT Polynomial2;\n"
                         "SAMPLE \"dark\";\nSAMPLECOORDS 1 2 10 20;\nSAMPLEVALUE 0.25;\n"
                         "SAMPLE \"light\";\nSAMPLEVALUE 2.5;\n"));
    EXPECT_EQ(m_reader.getLog(), Log{"Error on MODELITEMDATA: \"3,x4\" is not a vertex x,y of two integers; read as "
                                     "3,0 (2 such arguments)."});
    const Model& m = *m_stack.getModel(0);
    EXPECT_EQ((std::vector<float>{m_stack.getDefaultPixelCalibration().getPixelWidth(),
                                  m_stack.getSlice(0)->getPixelCalibration().getPixelWidth(),
                                  m.getItemProperties().getPointSize(), m.getProperties().getOpacity(),
                                  m.getItem(0)->getProperties().getLineWidth()}),
              (std::vector<float>{3, 0.5f, 7, 99, 2}));
    EXPECT_EQ(m_stack.getSlice(0)->getAnnotation() + "|" + m_stack.getAnnotation(), "on the slice|stack again");
    EXPECT_EQ(m.getItemProperties().getColor(), (Vector<int>{1, 2, 3}));
    EXPECT_EQ(m.getItem(0)->getProperties().getColor(), (Vector<int>{7, 8, 9}));
    EXPECT_EQ(pointsOf(*m.getItem(0)), (Points{{1, 2}, {3, 0}, {-5, 6}}));
    EXPECT_EQ(m_stack.getPose(0)->getStack(), &m_stack);
    // Samples go to the last curve, curves to the last standard image.
    const CalibrationCurve* curve = m_stack.getCalibration("wedge");
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->getFitType(), CalibrationCurve::Polynomial2);
    ASSERT_EQ(curve->getNumSamples(), 2);
    EXPECT_EQ(curve->getSample(0).getRegion().getVertex2(), (Vector<int>{10, 20}));
    EXPECT_EQ(curve->getSample(0).getKnownValue(), 0.25);
    EXPECT_EQ(curve->getSample(1).getKnownValue(), 2.5);
}

TEST_F(StackReading, StatementsSpanLinesCommentsAreDroppedAndQuotesJoinWords)
{
    Stack oneLine;
    ASSERT_TRUE(readText("MODEL \"m x\";\nRESAMPLING 12 34;\nCOLOR 1 2 3;\nPOSE \"p\";\nPOSEROTATION 1 2 3;\n",
                         &oneLine));
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
    EXPECT_EQ(m_stack.getPose(0)->getName(), "\"p\"; POSEROTATION 9 9 9");
    EXPECT_EQ(m_stack.getPose(0)->getRotation(), oneLine.getPose(0)->getRotation());

    Stack quoted;
    ASSERT_TRUE(readText("MODEL \"a \"b\";\nMODEL \"\";\nMODEL \"\"\";\nMODEL \"x;y\";\nMODEL plain;\n"
                         "MODEL \"never   closed;\n",
                         &quoted))
        << log();
    const std::vector<std::string> names = {"a \"b", "", "\"", "x;y", "plain", "\"never closed"};
    ASSERT_EQ(quoted.getNumModels(), static_cast<int>(names.size()));
    for (int i = 0; i < quoted.getNumModels(); ++i)
        EXPECT_EQ(quoted.getModel(i)->getName(), names[i]);
}

// Values that make no sense refuse their statement; numbers that are not
// wholly numbers are read as the reader reads them and logged; a second slice
// or model of one name, an image whose size changed and a newer version are
// told. Every line carries the line where its statement begins and its
// first word.
TEST_F(StackReading, DoubtfulValuesAreLoggedWithTheirLines)
{
    writeTiff(m_directory.path("stack/a.tif"), 8, 6);
    const std::vector<std::pair<std::string, std::string>> lines = {
        {"FileFormatVersion 1.03;", ""},
        {"STACK \"s\";", ""},
        {"PIXWIDTH -0.8;", "Error on PIXWIDTH: the pixel width must be a positive number, not \"-0.8\"."},
        {"PIXASPECT nan;", "Error on PIXASPECT: the pixel aspect ratio must be a positive number, not \"nan\"."},
        {"RELPOSITION 2;", ""},
        {"LengthUnitScale 99;", "Error on LengthUnitScale: no length unit is 10^99 m."},
        {"SLICE \"a\" \"a.tif\";", ""},
        {"SliceSize1 6;", ""},
        {"SliceSize2 9;", "Warning on SliceSize2: the image of slice \"a\" has 8 columns, not 9 as when the file was written."},
        {"PIXWIDTH 0,5;", "Error on PIXWIDTH: the pixel width must be a positive number, not \"0,5\"."},
        {"POSITION 1e999;", "Error on POSITION: \"1e999\" is not a finite number."},
        {"ROTATE 12.5deg;", "Error on ROTATE: \"12.5deg\" is not a number; read as 12.5."},
        {"SLICE \"b\" \"a.tif\";", ""},
        {"RELPOSITION 0;", "Error on RELPOSITION: the slice spacing must be a positive number, not \"0\"."},
        {"SLICE \"a\" \"a.tif\";", "Error on SLICE: a slice named \"a\" exists already: items naming it go to the first one."},
        {"MODEL \"m\";", ""},
        {"PRIMITIVE Polyline;", ""},
        {"MODEL \"m\";", "Error on MODEL: a model named \"m\" exists already: items naming it go to the first one."},
        {"MODELITEM \"m\" \"b\";", ""},
        {"MODELITEMDATA 1,2 177,abc",
         "Error on MODELITEMDATA: \"177,abc\" is not a vertex x,y of two integers; read as 177,0 (2 such arguments)."},
        {" 1e999,107 4,5;", ""},
        {"POSE \"p\";", ""},
        {"POSEZOOM 3.5;", "Error on POSEZOOM: \"3.5\" is not an integer; read as 3."},
        {"FileFormatVersion 2;", "Warning on FileFormatVersion: version 2 is newer than this reader's; it reads what it knows."},
    };
    std::string text;
    Log expected;
    std::vector<int> expectedLines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i].first + "\n";
        if (!lines[i].second.empty()) {
            expected.push_back(lines[i].second);
            expectedLines.push_back(static_cast<int>(i) + 1);
        }
    }
    EXPECT_FALSE(readText(text));
    EXPECT_EQ(m_reader.getLog(), expected);
    ASSERT_EQ(m_reader.getLogEntries().size(), expected.size());
    int warnings = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const StackIO::LogEntry& entry = m_reader.getLogEntries()[i];
        EXPECT_EQ(entry.line, expectedLines[i]) << entry.text;
        // The keyword is the word after "Error on " or "Warning on ".
        const std::size_t on = entry.text.find(" on ") + 4;
        EXPECT_EQ(entry.keyword, entry.text.substr(on, entry.text.find(':') - on));
        EXPECT_EQ(entry.severity == StackIO::LogEntry::Warning, entry.text.rfind("Warning", 0) == 0);
        EXPECT_FALSE(entry.fatal);
        warnings += entry.severity == StackIO::LogEntry::Warning;
    }
    EXPECT_EQ(m_reader.getNumErrors(), static_cast<int>(expected.size()) - warnings);
    EXPECT_EQ(m_reader.getNumFatalErrors(), 0);

    // Refused statements changed nothing; noted numbers are in.
    EXPECT_FALSE(m_stack.getDefaultPixelCalibration().isPixelWidthSet());
    EXPECT_FALSE(m_stack.getDefaultPixelCalibration().isAspectRatioSet());
    EXPECT_EQ(m_stack.getLengthUnit(), Stack().getLengthUnit());
    ASSERT_EQ(m_stack.getNumSlices(), 3);
    const StackSlice& a = *m_stack.getSlice(0);
    EXPECT_FALSE(a.getPixelCalibration().isPixelWidthSet());
    EXPECT_EQ(a.getRelativePosition(), 2.0f);
    EXPECT_EQ(a.getRegistration().getRotationAngle(), 12.5f);
    EXPECT_EQ(m_stack.getSlice(1)->getRelativePosition(), 2.0f);
    ASSERT_EQ(m_stack.getNumModels(), 2);
    ASSERT_EQ(m_stack.getModel(0)->getNumItems(), 1);
    EXPECT_EQ(pointsOf(*m_stack.getModel(0)->getItem(0)), (Points{{1, 2}, {177, 0}, {1, 107}, {4, 5}}));
    EXPECT_EQ(m_stack.getPose(0)->getZoom(), 3);
    EXPECT_EQ(m_reader.getFileFormatVersion(), 2.0);

    // Slices that no spacing separates: a stack that never got one, told
    // but not an error (the writer writes such stacks).
    Stack flat;
    readText("STACK \"flat\";\nSLICE \"x\" \"a.tif\";\n\nSLICE \"y\" \"a.tif\";\n", &flat);
    ASSERT_EQ(m_reader.getLogEntries().size(), 1u);
    EXPECT_EQ(m_reader.getLog().front(), "Warning on SLICE: slice \"y\" lies at 0, where slice \"x\" lies (a slice spacing of 0).");
    EXPECT_EQ(m_reader.getNumErrors(), 0);
    EXPECT_EQ(m_reader.getLogEntries().front().line, 4);
}

// Reading as a whole ---------------------------------------------------------------

// Only a file that cannot be opened fails; "sdf" is added unless it follows
// the last dot of the last component. Reading stops at an empty statement
// or an unfinished one, and says so with the line where it stopped; a last
// statement without a line break is complete.
TEST_F(StackReading, FilesAndTheirEnds)
{
    EXPECT_FALSE(m_reader.read(m_stack, m_directory.root() + "missing.sdf"));
    EXPECT_TRUE(m_reader.getLog().empty());
    std::filesystem::create_directories(m_directory.root() + "folder.sdf");
    EXPECT_FALSE(m_reader.read(m_stack, m_directory.root() + "folder.sdf"));
    writeFile(m_directory.path("a.sdf.x.sdf"), "STACK \"second\";\n");
    ASSERT_TRUE(m_reader.read(m_stack, m_directory.root() + "a.sdf.x"));
    EXPECT_EQ(m_stack.getName(), "second");

    const std::string stopped = "Error: reading stopped at an empty statement (a \";\" alone): what follows it was "
                                "not read.";
    const std::string cut = "Error on MODEL: the file ends inside this statement, before its \";\": it was not read.";
    const struct {
        std::string text;
        int models;
        Log log;
        int line;
    } ends[] = {
        {"STACK \"a\";\nMODEL \"m\";\n  ;\nMODEL \"b\";\n", 1, {stopped}, 3},
        {"STACK \"a\";\nMODEL \"m\";\n\n# the end\n ;\n\n", 1, {}, 0},
        {"STACK \"a\";\n;\nMODEL \"m\"", 0, {stopped}, 2},
        {"STACK \"a\";\n\n# comment\nMODEL\n \"m\"", 0, {cut}, 4},
        {"STACK \"a\";\n  \n", 0, {}, 0},
        {"STACK \"a\";", 0, {}, 0}};
    for (const auto& end : ends) {
        Stack stack;
        readText(end.text, &stack);
        EXPECT_EQ(stack.getName(), "a");
        EXPECT_EQ(stack.getNumModels(), end.models) << end.text;
        EXPECT_EQ(m_reader.getLog(), end.log) << end.text;
        EXPECT_EQ(m_reader.getNumErrors(), static_cast<int>(end.log.size()));
        if (!end.log.empty()) {
            EXPECT_EQ(m_reader.getLogEntries().front().line, end.line) << end.text;
        }
    }
}

TEST_F(StackReading, ProgressGoesByBytesFromZeroToHundred)
{
    struct Recorder : ProgressMonitor {
        void subjectProgressed(unsigned int i, unsigned int n) override { steps.emplace_back(i, n); }
        void subjectProgressed(const std::string& text) override { messages.push_back(text); }
        std::vector<std::pair<unsigned int, unsigned int>> steps;
        Log messages;
    } recorder;
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "MODEL \"model " + std::to_string(i) + "\";\n";
    m_reader.addMonitor(recorder);
    ASSERT_TRUE(readText(text));
    ASSERT_GE(recorder.steps.size(), 50u);
    EXPECT_EQ(recorder.steps.front(), std::make_pair(0u, 100u));
    EXPECT_EQ(recorder.steps.back(), std::make_pair(100u, 100u));
    EXPECT_TRUE(std::is_sorted(recorder.steps.begin(), recorder.steps.end()));
    EXPECT_EQ(recorder.messages, (Log{"Reading " + stackFile() + "...", ""}));
}

TEST_F(StackReading, NumbersIgnoreTheUsersLocaleWhichIsRestored)
{
    // A C++ global locale with a decimal comma must not leak into reading.
    std::optional<CommaLocale> comma(std::in_place);
    // A thread locale of our own, to be found again after reading.
    const locale_t mine = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    const locale_t before = mine ? uselocale(mine) : uselocale(static_cast<locale_t>(nullptr));
    const bool read = readText("PIXWIDTH 0.25;\nRELPOSITION 1.5e1;\n");
    const locale_t after = uselocale(static_cast<locale_t>(nullptr));
    if (mine) {
        uselocale(before);
        freelocale(mine);
        EXPECT_EQ(after, mine);
    }
    comma.reset();
    EXPECT_TRUE(read);
    EXPECT_FLOAT_EQ(m_stack.getDefaultPixelCalibration().getPixelWidth(), 0.25f);
    EXPECT_FLOAT_EQ(m_stack.getDefaultRelativePosition(), 15.0f);
}

// Round trips and damaged files -------------------------------------------------------

class StackRoundTrip : public ::testing::TestWithParam<unsigned int> {};

TEST_P(StackRoundTrip, WritingWhatWasReadGivesTheSameFileAndStack)
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
    ASSERT_EQ(reader.getLog(), Log{});
    ASSERT_EQ(reader.getNumFatalErrors(), 0);
    const std::string again = directory.path("stack/again.sdf");
    ASSERT_TRUE(writer.write(copy, again));
    EXPECT_EQ(readFile(again), readFile(file));

    // What the writer leaves out is checked by its exact layout; here the
    // parts the text cannot show.
    ASSERT_EQ(copy.getNumModels(), original.getNumModels());
    for (int i = 0; i < copy.getNumModels(); ++i)
        for (int k = 0; k < copy.getModel(i)->getNumItems(); ++k)
            EXPECT_EQ(copy.findSlice(copy.getModel(i)->getItem(k)->getSlice()),
                      original.findSlice(original.getModel(i)->getItem(k)->getSlice()));
}

INSTANTIATE_TEST_SUITE_P(RandomStacks, StackRoundTrip, ::testing::Range(1u, 13u));

TEST(StackDamagedFiles, TruncatedGarbledAndHostileFilesReadWithoutHarm)
{
    TemporaryDirectory directory;
    RandomStack random(directory, 99);
    Stack original;
    random.build(original);
    const std::string file = random.stackFile();
    ASSERT_TRUE(StackWriter().write(original, file));
    const std::string text = readFile(file);
    const std::string damaged = directory.path("stack/damaged.sdf");
    auto readBack = [&](const std::string& content) {
        writeFile(damaged, content);
        Stack stack;
        StackReader reader;
        EXPECT_TRUE(reader.read(stack, damaged));
        EXPECT_LE(stack.getNumSlices(), original.getNumSlices() + 64);
        return reader.getLog();
    };
    // Cut at many lengths; random bytes flipped, a few or many at a time.
    for (std::size_t length = 0; length < text.size(); length += 1 + length / 12)
        readBack(text.substr(0, length));
    std::mt19937 rng(1234);
    std::uniform_int_distribution<std::size_t> position(0, text.size() - 1);
    for (int trial = 0; trial < 120; ++trial) {
        std::string garbled = text;
        for (int k = 0, flips = trial < 60 ? 1 + trial % 4 : 40; k < flips; ++k)
            garbled[position(rng)] = static_cast<char>(rng());
        readBack(garbled);
    }

    // A very long line with no end, numbers beyond every range.
    readBack(std::string(3 << 20, 'x'));
    readBack("PIXWIDTH 1e99999;\nRELPOSITION -1e-99999;\nFileFormatVersion nan;\nLengthUnitScale -99999999999;\n");
    EXPECT_EQ(readBack("SLICE \"s\" 99999999999999999999 99999999999999999999;\n"),
              Log{"Error on SLICE: Invalid mosaic dimensions."});
    EXPECT_EQ(readBack("MODEL \"m\";\nRESAMPLING -1 5;\nRESAMPLING 1e9 4294967296;\n"),
              (Log{"Error on RESAMPLING: invalid argument.",
                   "Error on RESAMPLING: \"1e9\" is not an integer; read as 1 (2 such arguments)."}));
    // A great many vertices in one statement.
    std::string data = "SLICE \"s\" 1 1;\nMODEL \"m\";\nMODELITEM \"m\" \"s\";\nMODELITEMDATA";
    for (int i = 0; i < 200000; ++i)
        data += " " + std::to_string(i) + "," + std::to_string(-i);
    EXPECT_TRUE(readBack(data + ";\n").empty());
    EXPECT_EQ(readBack(data + " 5;\n"), Log{"Error on MODELITEMDATA: invalid argument."});
}
