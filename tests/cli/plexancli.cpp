// The tool as a whole: help, and how every kind of bad command line or bad
// input ends (lines on the error stream naming the command, the last one
// saying why, nothing on the output, no file left, no crash).

#include "cli/plexancli.h"

#include "clitesting.h"

#include <cstdint>

using namespace clitest;

TEST(PlexanCli, HelpNamesEveryCommandAndEachCommandExplainsItself)
{
    const Result usage = run({"--help"});
    EXPECT_EQ(usage.status, 0);
    for (const std::string c : {"info", "measure", "export-stl", "isosurface", "register", "stack-to-volume",
                                "volume-to-stack", "density"}) {
        EXPECT_NE(usage.out.find("  " + c + " "), std::string::npos) << c;
        const Result help = run({c, "--help"});
        EXPECT_EQ(help.status, 0) << c;
        EXPECT_EQ(help.out.rfind("Usage: plexan-cli " + c + " ", 0), 0u) << c;
        EXPECT_NE(help.out.find("Example"), std::string::npos) << c;
        EXPECT_NE(help.out.find("\n  plexan-cli " + c + " "), std::string::npos) << c;
        EXPECT_EQ(run({"help", c}).out, help.out) << c;
    }
    const Result none = run({}); // the usage on the error stream
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.out.empty());
    EXPECT_EQ(none.err, usage.out);
    EXPECT_EQ(run({"--version"}).out, "plexan-cli " PLEXAN_VERSION "\n");
}

// Bad command lines end with status 2, missing or damaged inputs with 1.
TEST(PlexanCli, BadCommandLinesAndDamagedInputsEndWithOneLine)
{
    Scratch s;
    const std::string stack = sampleStack(), grid = "--grid";
    fs::create_directories(s / "dir.sdf");
    writeFile(s / "garbage.sdf", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    writeFile(s / "plain.file", "not a directory");
    // Stacks naming an image that is not there, and a TIFF cut short.
    writeFile(s / "cut.tif", readFile(sampleDirectory() + "/images/slice01.tif").substr(0, 200));
    for (const std::string name : {"lost", "cut"})
        writeFile(s / (name + ".sdf"), "FileFormatVersion 1.03;\nSTACK \"" + name + "\";\nSLICE \"a\" \"" +
                                           (name == "cut" ? "cut.tif" : "nowhere.tif") + "\";\nSLICE \"b\" \"nowhere.tif\";\n");
    // Voxel-matrix headers: sizes beyond the file, negative sizes.
    auto header = [](std::int32_t type, std::int32_t s1, std::int32_t s2, std::int32_t s3) {
        const std::int32_t fields[9] = {0, 0, 0, 1, type, s1, s2, s3, -6};
        const float voxel[3] = {1, 1, 1};
        return std::string(reinterpret_cast<const char*>(fields), sizeof fields) +
               std::string(reinterpret_cast<const char*>(voxel), sizeof voxel);
    };
    writeFile(s / "huge.vm", header(5, 1 << 20, 1 << 20, 1 << 20) + std::string(64, '\0'));
    writeFile(s / "negative.vm", header(5, -4, 4, 4) + std::string(64, '\0'));
    writeFile(s / "short.vm", "xyz");

    const std::vector<std::pair<int, std::vector<std::string>>> cases{
        {2, {"frobnicate"}},
        {2, {"info"}},
        {2, {"info", stack, "--format", "xml"}},
        {2, {"measure", stack, "--geometry", "sphere"}},
        {2, {"measure", stack, "--model", "liver"}},
        {2, {"measure", stack, "--digits", "3x"}},
        {2, {"export-stl", stack, s.path(), "--overwrite=yes"}},
        {2, {"isosurface", "v.vm", "--iso", "nan", "-o", s / "m.stl"}},
        {2, {"isosurface", "v.vm", "--iso", "1", "-o", s / "m.wrl"}},
        {2, {"register", stack, "-o", s / "r.sdf", "--slice", "s01"}},
        {2, {"stack-to-volume", stack, s / "v.vm", "--content", "alpha"}},
        {2, {"volume-to-stack", "v.vm", "a/b", s.path(), s.path()}},
        {2, {"density", stack, "--model", "nuclei", grid, "4", "0", "4", "-o", s / "d.vm"}},
        {2, {"density", stack, "--model", "nuclei", grid, "4", "4", "4", "--k", "2", "--histogram", "-o", "d.vm"}},
        {2, {"density", stack, "--model", "organ", grid, "4", "4", "4", "-o", s / "d.vm"}},
        {2, {"density", stack, "--model", "nuclei", grid, "4", "4", "4", "-o", s / "d.vm", "--percentiles", "50,120"}},
        {1, {"info", s / "none.sdf"}},
        {1, {"info", s / "dir.sdf"}},
        {1, {"info", s / "garbage.sdf"}},
        {1, {"register", s / "lost.sdf", "-o", s / "out.sdf"}},
        {1, {"stack-to-volume", s / "cut.sdf", s / "out.vm"}},
        {1, {"export-stl", stack, s / "plain.file/sub"}},
        {1, {"register", stack, "-o", s / "missing/dir/out.sdf"}},
        {1, {"isosurface", s / "huge.vm", "--iso", "1", "-o", s / "m.stl"}},
        {1, {"isosurface", s / "negative.vm", "--iso", "1", "-o", s / "m.stl"}},
        {1, {"isosurface", s / "short.vm", "--iso", "1", "-o", s / "m.stl"}},
        {1, {"volume-to-stack", s / "huge.vm", "x", s / "img", s / "stk"}},
        {1, {"density", s / "none.sdf", "--model", "nuclei", grid, "4", "4", "4", "-o", s / "d.vm"}},
    };
    for (const auto& [status, args] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Result r = run(args);
        EXPECT_EQ(r.status, status) << r.err;
        // One line, or the reader's log lines and then one line.
        const std::string command = args[0] == "frobnicate" ? "" : " " + args[0];
        std::istringstream lines(r.err);
        int count = 0;
        for (std::string line; std::getline(lines, line); ++count)
            EXPECT_EQ(line.rfind("plexan-cli" + command + ": ", 0), 0u) << line;
        const bool logged = args.size() > 1 && (args[1].find("lost.sdf") != std::string::npos ||
                                                 args[1].find("cut.sdf") != std::string::npos);
        EXPECT_EQ(count == 1, !logged) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    for (const char* output : {"r.sdf", "v.vm", "m.stl", "d.vm", "out.sdf", "out.vm", "img", "stk"})
        EXPECT_FALSE(fs::exists(s / output)) << output;
}

// The same command lines in process, as the fuzzers drive them.
TEST(PlexanCli, RunsInProcessWithTheSameResults)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"measure", sampleStack(), "--digits", "6"},
                                                 std::vector<std::string>{"measure", sampleStack(), "--digits"}}) {
        std::ostringstream out, err;
        const Result r = run(args);
        EXPECT_EQ(runCli(args, out, err), r.status);
        EXPECT_EQ(out.str(), r.out);
        EXPECT_EQ(err.str(), r.err);
    }
}
