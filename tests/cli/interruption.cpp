// Interrupting a write. The tool is started with
// PLEXAN_CLI_STOP_BEFORE_COMMIT, which makes it stop itself (SIGSTOP) once
// its outputs are written aside and before the first one is moved into
// place: the test finds the unfinished output there, sends the signal, lets
// the process go on, and checks that it ends as the signal ends a program
// (status 130 for SIGINT, 143 for SIGTERM), that the unfinished files are
// gone and that the outputs that were there before are untouched.

#include "clitesting.h"
#include "tinystack.h"

#include <csignal>
#include <fcntl.h>
#include <sstream>

using namespace clitest;

namespace {

// Starts the tool stopped before its first commit; its error stream goes to
// errFile.
pid_t spawnStopping(const std::vector<std::string>& args, const std::string& errFile)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("PLEXAN_CLI_STOP_BEFORE_COMMIT", "1", 1);
        const int null = ::open("/dev/null", O_WRONLY);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (null < 0 || err < 0 || ::dup2(null, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0)
            ::_exit(127);
        std::vector<char*> argv{const_cast<char*>(PLEXAN_CLI)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(PLEXAN_CLI, argv.data());
        ::_exit(127);
    }
    return pid;
}

// The hidden entries (unfinished files and directories) of a snapshot.
std::vector<std::string> hidden(const Snapshot& s)
{
    std::vector<std::string> names;
    for (const auto& [name, entry] : s)
        if (fs::path(name).filename().string().rfind('.', 0) == 0)
            names.push_back(name);
    return names;
}

// An error stream without the warnings the command gave on its way (a
// registration kept out, say): what is left is how the run ended.
std::string withoutWarnings(const std::string& err)
{
    std::istringstream lines(err);
    std::string line;
    std::string kept;
    while (std::getline(lines, line))
        if (line.find(": warning: ") == std::string::npos)
            kept += line + "\n";
    return kept;
}

struct Interruption {
    std::vector<std::string> args; // "@" stands for the scratch directory
    int signal;
    std::string unfinished;       // where the unfinished output lies
};

} // namespace

TEST(Interruption, SignalsRemoveUnfinishedOutputsAndKeepTheOldOnes)
{
    Scratch scratch;
    auto p = [&](const std::string& name) { return scratch / name; };
    fs::create_directories(p("in"));
    fs::create_directories(p("out/stl"));
    fs::create_directories(p("out/images"));
    fs::create_directories(p("out/stacks"));
    writeTinyStack(p("in"));
    writeBall(p("in/ball.vm"));
    // The outputs of an earlier run, each to be replaced by the new ones.
    writeFile(p("out/ball.stl"), "solid earlier\nendsolid earlier\n");
    writeBall(p("out/tiny.vm"));
    writeFile(p("out/r.sdf"), tinyText("../in/"));
    writeFile(p("out/r.sdf~1"), tinyText("../in/") + "\n# the backup\n");
    writeFile(p("out/stl/tiny-cells.stl"), "solid earlier\nendsolid earlier\n");
    writeFile(p("out/stacks/t.sdf"), tinyText("../../in/"));
    writeFile(p("in/tiny.conf"), "stack = tiny.sdf\n");

    const std::string S = p("in/tiny.sdf");
    const std::vector<Interruption> cases = {
        {{"isosurface", p("in/ball.vm"), "--iso", "1", "-o", p("out/ball.stl")}, SIGINT, "out/.ball.stl.plexan-"},
        {{"stack-to-volume", S, p("out/tiny.vm")}, SIGTERM, "out/.tiny.vm.plexan-"},
        {{"register", S, "-o", p("out/r.sdf"), "--method", "principal-axes"}, SIGINT, "out/.r.sdf.plexan-"},
        {{"export-stl", S, p("out/stl"), "--overwrite"}, SIGTERM, "out/stl/.plexan-"},
        {{"volume-to-stack", p("in/ball.vm"), "t", p("out/images"), p("out/stacks"), "--rescale"}, SIGINT, "out/images/.plexan-"},
        {{"fuse", p("in/tiny.conf"), "-o", p("out/fused")}, SIGTERM, "out/.plexan-"},
    };
    const Snapshot before = snapshot(scratch.path());
    for (const Interruption& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const std::string errFile = p("err.txt");
        const pid_t pid = spawnStopping(c.args, errFile);
        ASSERT_GT(pid, 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
        ASSERT_TRUE(WIFSTOPPED(status)) << readFile(errFile);

        // Stopped with the new output written aside, not yet in place.
        const Snapshot stopped = snapshot(scratch.path());
        const std::vector<std::string> unfinished = hidden(stopped);
        ASSERT_FALSE(unfinished.empty());
        EXPECT_EQ(unfinished.front().rfind(c.unfinished, 0), 0u) << unfinished.front();
        for (const auto& [name, entry] : stopped)
            if (name.rfind(c.unfinished, 0) == 0 && entry.type == 'f') {
                EXPECT_GT(entry.size, 0u) << name;
            }

        ::kill(pid, c.signal);
        ::kill(pid, SIGCONT);
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << readFile(errFile);
        EXPECT_EQ(128 + WTERMSIG(status), c.signal == SIGINT ? 130 : 143);
        EXPECT_EQ(withoutWarnings(readFile(errFile)),
                  c.signal == SIGINT ? "plexan-cli: interrupted; unfinished outputs removed\n"
                                     : "plexan-cli: terminated; unfinished outputs removed\n");
        fs::remove(errFile);
        const Snapshot after = snapshot(scratch.path());
        EXPECT_TRUE(after == before) << differences(before, after);
    }

    // Without an interruption the same run replaces the old output and keeps
    // it as a backup.
    const Result done = run({"register", S, "-o", p("out/r.sdf"), "--method", "principal-axes"});
    ASSERT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(readFile(p("out/r.sdf~1")), tinyText("../in/"));
    EXPECT_EQ(readFile(p("out/r.sdf~2")), tinyText("../in/") + "\n# the backup\n");
}
