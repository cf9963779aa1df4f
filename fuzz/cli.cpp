// The command line of plexan-cli, run in process through runCli: one
// argument per line of the input. Every command runs in a fresh working
// directory holding a small stack, its slice images and a volume; an
// argument naming a path elsewhere ("/" in it) has its slashes replaced, so
// that nothing outside that directory is read or written.
//
// Besides crashes, leaks, hangs and unbounded allocations: the exit status
// must be 0, 1 or 2, a failure must leave whole lines on the error stream,
// and a usage error must point to the help.

#include "cli/plexancli.h"
#include "fuzz/sampleimages.h"
#include "fuzz/scratchdirectory.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const sampleStack = R"(FileFormatVersion 1.03;
STACK "sample";
LengthUnitScale -6;
PIXASPECT 1;
PIXWIDTH 0.5;
RELPOSITION 2;
SLICE "s1" "grey.tif";
SLICE "s2" "grey.tif";
SHIFT 1 0;
SLICE "s3" "grey.tif";
ROTATE 5;
MODEL "cells";
PRIMITIVE Polygon;
RENDERINGMODE Surface;
MODELITEM "cells" "s1";
MODELITEMDATA 1,1 4,1 4,3 1,3;
MODELITEM "cells" "s2";
MODELITEMDATA 1,1 4,1 4,3;
MODELITEM "cells" "s3";
MODELITEMDATA 0,0 3,0 3,2 0,3;
MODEL "points";
PRIMITIVE Polypoint;
MODELITEM "points" "s1";
MODELITEMDATA 1,1 2,2 3,3 4,1;
MODELITEM "points" "s3";
MODELITEMDATA 2,1 1,2;
POSE "front";
)";

fs::path samples;
fs::path work;
// The directory the fuzzer was started in: libFuzzer reads its corpus and
// writes its findings through paths relative to it.
fs::path home;

[[noreturn]] void fail(const std::string& what, const std::string& err)
{
    std::fprintf(stderr, "%s\nerror stream:\n%s\n", what.c_str(), err.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    home = fs::current_path();
    const fs::path scratch = ScratchDirectory::instance().getPath();
    samples = scratch / "samples";
    work = scratch / "cli";
    fs::create_directories(samples);
    writeSampleImages(samples.string());
    fs::remove(samples / "slice.img");
    ScratchDirectory::instance().write("samples/stack.sdf", sampleStack);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> args;
    std::string arg;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == '\n') {
            args.push_back(arg);
            arg.clear();
        } else {
            arg += data[i] == '/' ? '_' : static_cast<char>(data[i]);
        }
    }

    // A fresh directory two levels down, so that ".." stays inside it too.
    // The fuzzer's timer signal may interrupt the copy: it is tried again.
    for (int attempt = 0;; ++attempt) {
        std::error_code error;
        fs::remove_all(work, error);
        fs::create_directories(work / "run", error);
        if (!error)
            fs::copy(samples, work / "run", fs::copy_options::recursive, error);
        if (!error)
            break;
        if (error != std::errc::interrupted || attempt == 100)
            fail("cannot prepare the working directory: " + error.message(), "");
    }
    if (chdir((work / "run").c_str()) != 0)
        std::abort();

    std::ostringstream out;
    std::ostringstream err;
    const int status = runCli(args, out, err);
    const std::string message = err.str();
    if (status != 0 && status != 1 && status != 2)
        fail("exit status " + std::to_string(status), message);
    if (status != 0) {
        if (message.empty() || message.back() != '\n')
            fail("a failure without its line", message);
        if (status == 2 && message.find("--help") == std::string::npos)
            fail("a usage error that does not point to the help", message);
    }
    if (chdir(home.c_str()) != 0)
        std::abort();
    return 0;
}
