// Frames per second of the 3D viewer drawing one large lit surface, an
// ellipsoid of N triangles, in an 800 x 600 view (the viewer's own format: 4
// samples per pixel). Turning: the camera turns by one degree per frame (a
// software renderer then draws one sample per pixel); still: the same view
// redrawn, multisampled. A frame is drawn and read back (grabFramebuffer),
// so it is complete when timed.
//
//   xvfb-run -a -s '-screen 0 1280x1024x24' build/dev/bench/gl/bench_gl
//
// Counters: fps (frames per wall-clock second), cpu_ms (CPU time of the whole
// process per frame, the renderer's threads included, which tells the cost
// of a frame on a loaded machine), load (the 1-minute load average at the
// end of the run).

#include "gl/quadmeshpaintergl.h"
#include "gl/shapeviewerpaintergl.h"
#include "gl/trimeshpaintergl.h"
#include "gl/viewercanvasgl.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QTest>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <numbers>

namespace {

// A closed ellipsoidal tube of height x width vertices: 2 (height - 1) width
// triangles.
QuadMesh<float> ellipsoid(int height, int width)
{
    QuadMesh<float> mesh(3, height, width);
    for (int r = 0; r < height; ++r) {
        const double z = -0.98 + 1.96 * r / (height - 1);
        const double radius = std::sqrt(1 - z * z);
        for (int c = 0; c < width; ++c) {
            const double a = 2 * std::numbers::pi * c / width;
            mesh.level(r)[c] = Vector<float>{static_cast<float>(2 * radius * std::cos(a)),
                                             static_cast<float>(radius * std::sin(a)), static_cast<float>(1.5 * z)};
        }
    }
    return mesh;
}

double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double loadAverage()
{
    double load = -1;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = -1;
        std::fclose(f);
    }
    return load;
}

void drawFrames(benchmark::State& state, PainterGL<float>& painter)
{
    ViewerCanvasGL canvas;
    canvas.resize(800, 600);
    canvas.show();
    if (!QTest::qWaitForWindowExposed(&canvas)) {
        state.SkipWithError("no window");
        return;
    }
    canvas.addPainter(&painter);
    canvas.updateBoundingBox();
    canvas.setRotation(Vector<float>{-60, 0, 0});
    // At rest: multisampled until the camera turns.
    [[maybe_unused]] const bool rested = QTest::qWaitFor([&] { return !canvas.isMoving(); }, 10000);
    canvas.grabFramebuffer(); // first frame: context and arrays set up
    float angle = 0;
    const double cpu0 = processSeconds();
    for (auto _ : state) {
        if (state.range(1)) {
            angle += 1;
            canvas.setRotation(Vector<float>{-60, angle, 0});
        }
        benchmark::DoNotOptimize(canvas.grabFramebuffer());
    }
    const double cpu = processSeconds() - cpu0;
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["cpu_ms"] = 1000 * cpu / static_cast<double>(state.iterations());
    state.counters["load"] = loadAverage();
}

ShapePainterAttributesGL surface()
{
    ShapePainterAttributesGL a;
    a.setColor(230, 160, 60);
    a.setDisplayMode(DisplayModeSurface);
    return a;
}

// Width 1000 (1,000,000 triangles) or 500 (100,000).
int widthFor(long triangles)
{
    return triangles >= 1000000 ? 1000 : 500;
}

void BM_TriMeshSurface(benchmark::State& state)
{
    const int width = widthFor(state.range(0));
    const TriMesh<float> mesh = ellipsoid(static_cast<int>(state.range(0) / (2 * width)) + 1, width).toTriMesh();
    auto painter = std::make_unique<TriMeshPainterGL<float>>();
    painter->setAttributes(surface());
    painter->setShape(mesh);
    ShapeViewerPainterGL viewed(std::move(painter));
    drawFrames(state, viewed);
}

void BM_QuadMeshSurface(benchmark::State& state)
{
    const int width = widthFor(state.range(0));
    const QuadMesh<float> mesh = ellipsoid(static_cast<int>(state.range(0) / (2 * width)) + 1, width);
    auto painter = std::make_unique<QuadMeshPainterGL<float>>();
    painter->setAttributes(surface());
    painter->setShape(mesh);
    ShapeViewerPainterGL viewed(std::move(painter));
    drawFrames(state, viewed);
}

} // namespace

// Arguments: triangles, turning (1) or still (0).
BENCHMARK(BM_TriMeshSurface)
    ->ArgsProduct({{100000, 1000000}, {1, 0}})
    ->ArgNames({"triangles", "turning"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_QuadMeshSurface)
    ->ArgsProduct({{100000, 1000000}, {1, 0}})
    ->ArgNames({"triangles", "turning"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
