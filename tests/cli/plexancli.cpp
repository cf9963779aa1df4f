// The tool as a whole: help, and how every kind of bad command line or bad
// input ends (one line on the error stream, a non-zero status, no crash).

#include "cli/plexancli.h"

#include "clitesting.h"
#include "image/voxelmatrix.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

using namespace clitest;

namespace {

const std::vector<std::string> commands{"info",     "measure",         "export-stl",      "isosurface",
                                        "register", "stack-to-volume", "volume-to-stack", "density"};

} // namespace

TEST(PlexanCli, HelpNamesEveryCommandAndEachCommandExplainsItself)
{
    const Result usage = run({"--help"});
    EXPECT_EQ(usage.status, 0);
    for (const std::string& c : commands) {
        EXPECT_NE(usage.out.find("  " + c + " "), std::string::npos) << c;
        const Result help = run({c, "--help"});
        EXPECT_EQ(help.status, 0) << c;
        EXPECT_EQ(help.out.rfind("Usage: plexan-cli " + c + " ", 0), 0u) << c;
        EXPECT_NE(help.out.find("Example"), std::string::npos) << c;
        EXPECT_NE(help.out.find("\n  plexan-cli " + c + " "), std::string::npos) << c;
        EXPECT_EQ(run({"help", c}).out, help.out) << c;
    }
    // Without a command: the usage on the error stream.
    const Result none = run({});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.out.empty());
    EXPECT_EQ(none.err, usage.out);
    EXPECT_EQ(run({"--version"}).out, "plexan-cli " PLEXAN_VERSION "\n");
}

TEST(PlexanCli, BadCommandLinesEndWithStatusTwo)
{
    Scratch scratch;
    const std::string stack = sampleStack();
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
        {"", {"frobnicate"}},
        {"", {"help", "frobnicate"}},
        {"info", {}},
        {"info", {stack, "extra"}},
        {"info", {stack, "--format", "xml"}},
        {"info", {stack, "--bogus"}},
        {"measure", {stack, "--geometry", "sphere"}},
        {"measure", {stack, "--model", "liver"}},
        {"measure", {stack, "--digits", "0"}},
        {"measure", {stack, "--digits", "3x"}},
        {"measure", {stack, "--model"}},
        {"export-stl", {stack}},
        {"export-stl", {stack, scratch.path(), "--overwrite=yes"}},
        {"isosurface", {"v.vm", "-o", scratch / "m.stl"}},
        {"isosurface", {"v.vm", "--iso", "1e999", "-o", scratch / "m.stl"}},
        {"isosurface", {"v.vm", "--iso", "nan", "-o", scratch / "m.stl"}},
        {"isosurface", {"v.vm", "--iso", "1", "-o", scratch / "m.obj"}},
        {"isosurface", {"v.vm", "--iso", "1"}},
        {"register", {stack}},
        {"register", {stack, "-o", scratch / "r.sdf", "--slice", "s99"}},
        {"register", {stack, "-o", scratch / "r.sdf", "--slice", "s01"}},
        {"stack-to-volume", {stack, scratch / "v.vm", "--content", "alpha"}},
        {"volume-to-stack", {"v.vm", "a/b", scratch.path(), scratch.path()}},
        {"volume-to-stack", {"v.vm", "x", scratch.path(), scratch.path(), "--spacing", "-1"}},
        {"volume-to-stack", {"v.vm", "x", scratch.path()}},
        {"density", {stack, "--grid", "4", "4", "4", "-o", scratch / "d.vm"}},
        {"density", {stack, "--model", "nuclei", "--grid", "4", "4", "-o", scratch / "d.vm"}},
        {"density", {stack, "--model", "nuclei", "--grid", "4", "0", "4", "-o", scratch / "d.vm"}},
        {"density", {stack, "--model", "nuclei", "--grid", "4", "4", "4", "--k", "2", "--histogram", "-o", "d.vm"}},
        {"density", {stack, "--model", "nuclei", "--grid", "4", "4", "4", "--k", "0", "-o", scratch / "d.vm"}},
        {"density", {stack, "--model", "organ", "--grid", "4", "4", "4", "-o", scratch / "d.vm"}},
        {"density", {stack, "--model", "liver", "--grid", "4", "4", "4", "-o", scratch / "d.vm"}},
        {"density",
         {stack, "--model", "nuclei", "--grid", "4", "4", "4", "-o", scratch / "d.vm", "--percentiles", "50,120"}},
        {"density", {stack, "--model", "nuclei", "--grid", "4", "4", "4", "-o", scratch / "d.vm", "--percentiles", "5,"}},
    };
    for (const auto& [command, arguments] : cases) {
        std::vector<std::string> args = arguments;
        if (!command.empty())
            args.insert(args.begin(), command);
        SCOPED_TRACE(::testing::PrintToString(args));
        expectOneLineFailure(run(args), 2, command);
    }
    EXPECT_TRUE(fs::is_empty(scratch.path()));
}

TEST(PlexanCli, MissingAndDamagedInputsEndWithStatusOne)
{
    Scratch scratch;
    fs::create_directories(scratch / "dir.sdf");
    writeFile(scratch / "garbage.sdf", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    writeFile(scratch / "empty.sdf", "");
    // A stack naming an image that is not there.
    writeFile(scratch / "lost.sdf", "FileFormatVersion 1.03;\nSTACK \"lost\";\nSLICE \"a\" \"nowhere.tif\";\n"
                                    "SLICE \"b\" \"nowhere.tif\";\n");
    // A TIFF cut short after its header.
    const std::string tiff = readFile(sampleDirectory() + "/images/slice01.tif");
    writeFile(scratch / "cut.tif", tiff.substr(0, 200));
    writeFile(scratch / "cut.sdf", "FileFormatVersion 1.03;\nSTACK \"cut\";\nSLICE \"a\" \"cut.tif\";\n"
                                   "SLICE \"b\" \"cut.tif\";\n");
    // Voxel-matrix headers: sizes beyond the file, negative sizes, bytes.
    auto header = [](std::int32_t type, std::int32_t s1, std::int32_t s2, std::int32_t s3) {
        const std::int32_t fields[9] = {0, 0, 0, 1, type, s1, s2, s3, -6};
        const float voxel[3] = {1, 1, 1};
        return std::string(reinterpret_cast<const char*>(fields), sizeof fields) +
               std::string(reinterpret_cast<const char*>(voxel), sizeof voxel);
    };
    writeFile(scratch / "huge.vm", header(5, 1 << 20, 1 << 20, 1 << 20) + std::string(64, '\0'));
    writeFile(scratch / "negative.vm", header(5, -4, 4, 4) + std::string(64, '\0'));
    writeFile(scratch / "bytes.vm", header(0, 2, 2, 2) + std::string(8, '\0'));
    writeFile(scratch / "short.vm", "xyz");

    const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
        {"info", {scratch / "none.sdf"}},
        {"info", {scratch / "dir.sdf"}},
        {"info", {scratch / "garbage.sdf"}},
        {"info", {scratch / "empty.sdf"}},
        {"measure", {scratch / "garbage.sdf"}},
        {"register", {scratch / "lost.sdf", "-o", scratch / "out.sdf"}},
        {"register", {scratch / "cut.sdf", "-o", scratch / "out.sdf"}},
        {"stack-to-volume", {scratch / "lost.sdf", scratch / "out.vm"}},
        {"stack-to-volume", {scratch / "cut.sdf", scratch / "out.vm"}},
        {"export-stl", {sampleStack(), scratch / "plain.file/sub"}},
        {"register", {sampleStack(), "-o", scratch / "missing/dir/out.sdf"}},
        {"isosurface", {scratch / "none.vm", "--iso", "1", "-o", scratch / "m.stl"}},
        {"isosurface", {scratch / "huge.vm", "--iso", "1", "-o", scratch / "m.stl"}},
        {"isosurface", {scratch / "negative.vm", "--iso", "1", "-o", scratch / "m.stl"}},
        {"isosurface", {scratch / "bytes.vm", "--iso", "1", "-o", scratch / "m.stl"}},
        {"isosurface", {scratch / "short.vm", "--iso", "1", "-o", scratch / "m.stl"}},
        {"volume-to-stack", {scratch / "huge.vm", "x", scratch / "img", scratch / "stk"}},
        {"density", {scratch / "none.sdf", "--model", "nuclei", "--grid", "4", "4", "4", "-o", scratch / "d.vm"}},
    };
    writeFile(scratch / "plain.file", "not a directory");
    for (const auto& [command, args] : cases) {
        std::vector<std::string> line = args;
        line.insert(line.begin(), command);
        SCOPED_TRACE(::testing::PrintToString(line));
        const Result r = run(line);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(lineCount(r.err), 1) << r.err;
        EXPECT_EQ(r.err.rfind("plexan-cli " + command + ": ", 0), 0u) << r.err;
    }
    for (const char* output : {"out.sdf", "out.vm", "m.stl", "d.vm", "img", "stk"})
        EXPECT_FALSE(fs::exists(scratch / output)) << output;
}

// The same command lines in process, as the fuzzers drive them.
TEST(PlexanCli, RunsInProcessWithTheSameResults)
{
    std::ostringstream out, err;
    EXPECT_EQ(runCli({"measure", sampleStack(), "--digits", "6"}, out, err), 0);
    EXPECT_TRUE(err.str().empty());
    EXPECT_EQ(out.str(), run({"measure", sampleStack(), "--digits", "6"}).out);

    std::ostringstream out2, err2;
    EXPECT_EQ(runCli({"measure", sampleStack(), "--digits"}, out2, err2), 2);
    EXPECT_EQ(err2.str(), run({"measure", sampleStack(), "--digits"}).err);
}
