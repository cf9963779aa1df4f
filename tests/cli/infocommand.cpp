#include "clitesting.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackreader.h"

#include <gtest/gtest.h>

using namespace clitest;

// The tables of info against the sample's description and the stack as the
// library reads it.
TEST(InfoCommand, DescribesTheSample)
{
    const Result r = run({"info", sampleStack()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    const std::vector<Table> t = tables(r.out);
    ASSERT_EQ(t.size(), 5u);

    const Table& stack = t[0];
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_EQ(stack[1][0], "sample");
    EXPECT_EQ(stack[1][2], "µm");
    EXPECT_EQ(number(stack, 1, "slices"), 30);
    EXPECT_EQ(number(stack, 1, "models"), 4);
    EXPECT_EQ(number(stack, 1, "pixel width"), sample().pixel);
    EXPECT_EQ(number(stack, 1, "spacing"), sample().spacing);
    EXPECT_EQ(number(stack, 1, "fatal errors"), 0);

    const Table& slices = t[1];
    ASSERT_EQ(slices.size(), sample().sections.size() + 1);
    for (std::size_t k = 0; k < sample().sections.size(); ++k) {
        EXPECT_EQ(slices[k + 1][0], sample().sections[k].name);
        EXPECT_EQ(number(slices, k + 1, "position"), sample().sections[k].position);
        EXPECT_EQ(number(slices, k + 1, "columns"), sample().width);
        EXPECT_EQ(number(slices, k + 1, "rows"), sample().height);
        EXPECT_EQ(number(slices, k + 1, "horizontal shift"), 0);
        EXPECT_TRUE(fs::exists(slices[k + 1][1])) << slices[k + 1][1];
    }

    Stack read;
    StackReader().read(read, sampleStack());
    const Table& models = t[2];
    ASSERT_EQ(static_cast<int>(models.size()), read.getNumModels() + 1);
    const char* geometries[] = {"Polygon", "Polygon", "Polyline", "Polypoint"};
    for (int m = 0; m < read.getNumModels(); ++m) {
        const Model& model = *read.getModel(m);
        long long vertices = 0;
        for (int i = 0; i < model.getNumItems(); ++i)
            vertices += model.getItem(i)->getSize();
        EXPECT_EQ(models[m + 1][0], model.getName());
        EXPECT_EQ(models[m + 1][1], geometries[m]);
        EXPECT_EQ(number(models, m + 1, "items"), model.getNumItems());
        EXPECT_EQ(number(models, m + 1, "vertices"), vertices);
    }
    // The organ is cut by every section, the lumen by those within its
    // semi-axis of its centre; every nucleus is marked once.
    EXPECT_EQ(number(models, 1, "items"), 30);
    int lumen = 0;
    for (const auto& s : sample().sections)
        lumen += std::fabs(s.position - sample().organCentreZ - sample().lumenCentre[2]) < sample().lumenAxes[2];
    EXPECT_EQ(number(models, 2, "items"), lumen);
    EXPECT_EQ(number(models, 4, "vertices"), static_cast<double>(sample().nuclei.size()));

    EXPECT_EQ(t[3].size(), 1u);  // no pose
    EXPECT_EQ(t[4], (Table{{"log"}}));

    const Result csv = run({"info", sampleStack(), "--format", "csv"});
    EXPECT_EQ(tables(csv.out, ',')[2], models);
}

TEST(InfoCommand, ReportsTheLogAndFailsOnFatalErrors)
{
    Scratch scratch;
    writeFile(scratch / "lost.sdf", "FileFormatVersion 1.03;\nSTACK \"lost\";\nSLICE \"a\" \"nowhere.tif\";\n"
                                    "color 1 2 3;\n");
    const Result r = run({"info", scratch / "lost.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1) << r.err;
    const std::vector<Table> t = tables(r.out);
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(number(t[0], 1, "fatal errors"), 1);
    ASSERT_EQ(t[4].size(), 3u);
    EXPECT_EQ(t[4][1][0].rfind("Error: ", 0), 0u) << t[4][1][0];
    EXPECT_NE(t[4][1][0].find("nowhere.tif"), std::string::npos) << t[4][1][0];
    EXPECT_EQ(t[4][2][0], "Error on color: unknown keyword (ignored).");
}
