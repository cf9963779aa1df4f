#include "clitesting.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackreader.h"

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
    EXPECT_EQ(stack[1][0], "sample");
    EXPECT_EQ(stack[1][2], "µm");
    EXPECT_EQ(number(stack, 1, "slices"), 30);
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
    // The lumen is cut by the sections within its semi-axis of its centre;
    // every nucleus is marked once.
    int lumen = 0;
    for (const auto& s : sample().sections)
        lumen += std::fabs(s.position - sample().organCentreZ - sample().lumenCentre[2]) < sample().lumenAxes[2];
    EXPECT_EQ(number(models, 2, "items"), lumen);
    EXPECT_EQ(number(models, 4, "vertices"), static_cast<double>(sample().nuclei.size()));
    EXPECT_EQ(t[4], (Table{{"line", "log"}}));
    EXPECT_EQ(tables(run({"info", sampleStack(), "--format", "csv"}).out, ',')[2], models);

    // A stack with errors: described, its log shown with the lines of the
    // statements, the same lines on the error stream, and status 1 unless
    // lenient.
    Scratch scratch;
    writeFile(scratch / "lost.sdf", "FileFormatVersion 1.03;\nSTACK \"lost\";\nSLICE \"a\" \"nowhere.tif\";\ncolor 1 2 3;\n");
    const Result lost = run({"info", scratch / "lost.sdf"});
    EXPECT_EQ(lost.status, 1);
    const std::vector<Table> l = tables(lost.out);
    ASSERT_EQ(l.size(), 5u);
    EXPECT_EQ(number(l[0], 1, "errors"), 2);
    EXPECT_EQ(number(l[0], 1, "fatal errors"), 1);
    EXPECT_EQ(number(l[0], 1, "warnings"), 0);
    ASSERT_EQ(l[4].size(), 3u);
    EXPECT_EQ(l[4][1][0], "3");
    EXPECT_EQ(l[4][1][1].rfind("Error: ", 0), 0u) << l[4][1][1];
    EXPECT_NE(l[4][1][1].find("nowhere.tif"), std::string::npos) << l[4][1][1];
    EXPECT_EQ(l[4][2], (Row{"4", "Error on color: unknown keyword (ignored)."}));
    const std::string prefix = "plexan-cli info: " + scratch / "lost.sdf";
    EXPECT_EQ(lost.err, prefix + ":3: " + l[4][1][1] + "\n" + prefix + ":4: " + l[4][2][1] + "\n" + prefix +
                            ": 2 errors while reading the stack (listed above); --lenient reads on despite them\n");
    const Result lenient = run({"info", scratch / "lost.sdf", "--lenient"});
    EXPECT_EQ(lenient.status, 0);
    EXPECT_EQ(lenient.out, lost.out);
    EXPECT_EQ(lineCount(lenient.err), 2) << lenient.err;
}
