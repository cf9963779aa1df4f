// plexan-cli commands on the sample specimen, run in process with their
// outputs in a scratch directory: what a batch pays per specimen.

#include "cli/plexancli.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string sample = PLEXAN_SAMPLE_DIR "/sample.sdf";

class Scratch {
public:
    Scratch() : m_path(fs::temp_directory_path() / ("plexan-cli-bench-" + std::to_string(::getpid())))
    {
        fs::create_directories(m_path);
    }
    ~Scratch() { fs::remove_all(m_path); }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

void runCommand(benchmark::State& state, const std::vector<std::string>& args)
{
    for (auto _ : state) {
        std::ostringstream out, err;
        if (runCli(args, out, err) != 0) {
            state.SkipWithError(err.str().c_str());
            break;
        }
        benchmark::DoNotOptimize(out.str().size());
    }
}

void BM_Info(benchmark::State& state)
{
    runCommand(state, {"info", sample});
}
BENCHMARK(BM_Info)->Unit(benchmark::kMillisecond);

void BM_Measure(benchmark::State& state)
{
    runCommand(state, {"measure", sample});
}
BENCHMARK(BM_Measure)->Unit(benchmark::kMillisecond);

void BM_Register(benchmark::State& state)
{
    Scratch scratch;
    runCommand(state, {"register", sample, "-o", scratch / "registered.sdf"});
}
BENCHMARK(BM_Register)->Unit(benchmark::kMillisecond);

void BM_ExportStl(benchmark::State& state)
{
    Scratch scratch;
    runCommand(state, {"export-stl", sample, scratch / "stl", "--overwrite"});
}
BENCHMARK(BM_ExportStl)->Unit(benchmark::kMillisecond);

void BM_StackToVolume(benchmark::State& state)
{
    Scratch scratch;
    runCommand(state, {"stack-to-volume", sample, scratch / "sample.vm"});
}
BENCHMARK(BM_StackToVolume)->Unit(benchmark::kMillisecond);

void BM_Isosurface(benchmark::State& state)
{
    Scratch scratch;
    std::ostringstream out, err;
    runCli({"stack-to-volume", sample, scratch / "sample.vm"}, out, err);
    runCommand(state, {"isosurface", scratch / "sample.vm", "--iso", "70", "-o", scratch / "tissue.stl"});
}
BENCHMARK(BM_Isosurface)->Unit(benchmark::kMillisecond);

// The nuclei of three copies of the sample on a 64 x 64 x 32 grid.
void BM_Density(benchmark::State& state)
{
    Scratch scratch;
    runCommand(state, {"density", sample, sample, sample, "--model", "nuclei", "--grid", "64", "64", "32", "--k",
                       "3", "-o", scratch / "density.vm", "--percentiles", "50,90"});
}
BENCHMARK(BM_Density)->Unit(benchmark::kMillisecond);

} // namespace
