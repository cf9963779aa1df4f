// How fast slice images reach the screen, and whether the GUI thread ever
// stalls while they load.
//
//   OpenToFirstSlice/<stack>: "Open stack" on the file in the root window,
//     until the slice view paints the first image of the slice it shows.
//   SliceChange/<stack>: from "Select next slice" to the first painted image
//     of that slice (slices in turn, wrapping around).
//   GuiStall/<stack>: a 1 ms timer in the GUI thread notes the gap between
//     its ticks while the window opens the stack, steps through every slice
//     (each shown before the next is asked for) and shows the panorama until
//     every thumbnail is in. The counters give the longest gap and its
//     distribution (ms): wall-clock gaps (what the user waits) and the GUI
//     thread's own CPU time in each gap (its work, whatever else runs).
//
// <stack> is the sample specimen (30 slices of 256 x 256 bytes) or a stack
// generated at start in a scratch directory, deleted at exit: 200 slices of
// 2048 x 2048 16-bit images (1.6 GB, read back from the page cache).

#include "app/plxrootmediator.h"
#include "app/plxrootwindow.h"
#include "app/plxstack.h"
#include "app/plxstackserver.h"
#include "app/slice/plximageproxy.h"
#include "app/slice/plxpanorama.h"
#include "app/slice/plxrootsliceeditwidget.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "image/image.h"
#include "image/imagesourcefile.h"
#include "stack/stack.h"
#include "stack/stackslice.h"
#include "stack/stackwriter.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <time.h>

namespace {

constexpr int bigSide = 2048;

// 200, or PLEXAN_BENCH_SLICES (a shorter run while profiling).
int bigSlices()
{
    const QByteArray n = qgetenv("PLEXAN_BENCH_SLICES");
    return n.isEmpty() ? 200 : std::max(2, n.toInt());
}

// Runs the event loop until done() holds (checked every 2 ms) or 60 s pass.
bool runUntil(const std::function<bool()>& done)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    bool ok = true;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
        else if (clock.elapsed() > 60000) {
            ok = false;
            loop.quit();
        }
    });
    poll.start(2);
    loop.exec();
    return ok;
}

// The CPU time of the calling thread, in ns.
qint64 threadTime()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The generated stack: smooth blobs over a ramp, different on every slice.
class BigStack {
public:
    BigStack()
    {
        if (!m_dir.isValid())
            std::abort();
        Stack stack;
        stack.setName("generated");
        stack.setDefaultRelativePosition(1);
        Image image(bigSide, bigSide, 16);
        for (int z = 0; z < bigSlices(); ++z) {
            for (int y = 0; y < bigSide; ++y) {
                auto* row = reinterpret_cast<std::uint16_t*>(image.getRow(y));
                for (int x = 0; x < bigSide; ++x) {
                    const int dx = x - 1024 - 3 * z, dy = y - 1024;
                    const int blob = std::max(0, 40000 - (dx * dx + dy * dy) / 40);
                    row[x] = static_cast<std::uint16_t>(std::min(65535, blob + 4 * x + ((x * y + z) & 255)));
                }
            }
            const std::string name = "slice" + std::to_string(1000 + z).substr(1) + ".tif";
            image.writeFile(m_dir.path().toStdString() + "/" + name, "", true);
            auto* slice = new StackSlice("z" + std::to_string(z));
            slice->setImageSource(ImageSourceFile(m_dir.path().toStdString() + "/" + name));
            stack.addSlice(slice);
        }
        m_path = m_dir.path().toStdString() + "/generated.sdf";
        if (!StackWriter().write(stack, m_path))
            std::abort();
    }
    const std::string& path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    std::string m_path;
};

const std::string& stackPath(int which)
{
    static const std::string sample = PLEXAN_SAMPLE_DIR "/sample.sdf";
    if (which == 0)
        return sample;
    static BigStack big;
    return big.path();
}

const char* stackName(int which)
{
    return which == 0 ? "sample" : "generated 200 x 2048^2 x 16 bit";
}

// The root window, as the user sees it.
struct Window {
    Window()
    {
        window = new PLXRootWindow;
        window->resize(1200, 850);
        runUntil([] { return true; });
    }
    ~Window()
    {
        PLXStackServer::stackServer.removeAllStacks();
        delete window.data();
    }
    PLXRootMediator& mediator() const { return *window->getMediator(); }
    PLXSliceCanvas* canvas() const { return window->getSliceView()->getCanvas(); }
    // Runs command, then the event loop until the slice view paints the first
    // image of the slice the command made current.
    bool showAfter(const std::function<void()>& command)
    {
        bool shown = false;
        const QMetaObject::Connection c =
            QObject::connect(canvas(), &PLXSliceCanvas::imageShown, [&] { shown = true; });
        command();
        const bool ok = runUntil([&] { return shown; });
        QObject::disconnect(c);
        return ok;
    }
    QPointer<PLXRootWindow> window;
};

void OpenToFirstSlice(benchmark::State& state)
{
    const QString path = QString::fromStdString(stackPath(static_cast<int>(state.range(0))));
    state.SetLabel(stackName(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        Window w;
        QElapsedTimer clock;
        clock.start();
        if (!w.showAfter([&] { w.mediator().openStack(path); }))
            state.SkipWithError("no image shown");
        state.SetIterationTime(clock.nsecsElapsed() * 1e-9);
    }
}

void SliceChange(benchmark::State& state)
{
    const QString path = QString::fromStdString(stackPath(static_cast<int>(state.range(0))));
    state.SetLabel(stackName(static_cast<int>(state.range(0))));
    Window w;
    w.showAfter([&] { w.mediator().openStack(path); });
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const bool ok = w.showAfter([&] {
            if (w.mediator().nextSliceAction()->isEnabled())
                w.mediator().nextSliceAction()->trigger();
            else
                w.mediator().firstSliceAction()->trigger();
        });
        if (!ok)
            state.SkipWithError("no image shown");
        state.SetIterationTime(clock.nsecsElapsed() * 1e-9);
    }
}

// Notes the gaps between the ticks of a 1 ms timer in the GUI thread: the
// wall-clock gap (what the user waits), and the CPU time the GUI thread
// itself spent in it (its own work, whatever else the machine runs).
class StallProbe {
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const qint64 cpu = threadTime();
            m_gaps.push_back((now - m_last) * 1e-6);
            m_busy.push_back((cpu - m_lastCpu) * 1e-6);
            if (m_busy.back() > m_worstBusy) {
                m_worstBusy = m_busy.back();
                m_worstPhase = phase;
            }
            m_last = now;
            m_lastCpu = cpu;
        });
        m_clock.start();
        m_lastCpu = threadTime();
        m_timer.start();
    }
    ~StallProbe() { m_timer.stop(); }
    static double quantile(std::vector<double> values, double q)
    {
        if (values.empty())
            return 0.0;
        std::sort(values.begin(), values.end());
        return values[static_cast<std::size_t>(q * double(values.size() - 1))];
    }
    static int over(const std::vector<double>& values, double ms)
    {
        return static_cast<int>(
            std::count_if(values.begin(), values.end(), [ms](double g) { return g > ms; }));
    }
    void report(benchmark::State& state) const
    {
        for (const auto& [name, values] : {std::pair{"wall", &m_gaps}, std::pair{"busy", &m_busy}}) {
            const std::string n = name;
            state.counters[n + "_max_ms"] = quantile(*values, 1.0);
            state.counters[n + "_p50_ms"] = quantile(*values, 0.5);
            state.counters[n + "_p99_ms"] = quantile(*values, 0.99);
            state.counters[n + "_p999_ms"] = quantile(*values, 0.999);
            state.counters[n + "_over16"] = over(*values, 16.0);
            state.counters[n + "_over50"] = over(*values, 50.0);
        }
        state.counters["ticks"] = static_cast<double>(m_gaps.size());
        state.counters["worst_busy_phase"] = m_worstPhase;
    }
    // What the GUI thread is doing now: 0 opening, 1 stepping through the
    // slices, 2 loading the panorama.
    static inline int phase = 0;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_lastCpu = 0;
    std::vector<double> m_gaps;
    std::vector<double> m_busy;
    double m_worstBusy = 0.0;
    int m_worstPhase = -1;
};

void GuiStall(benchmark::State& state)
{
    const QString path = QString::fromStdString(stackPath(static_cast<int>(state.range(0))));
    state.SetLabel(stackName(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        Window w;
        StallProbe probe;
        QElapsedTimer clock;
        clock.start();
        StallProbe::phase = 0;
        w.showAfter([&] { w.mediator().openStack(path); });
        PLXStack* stack = w.mediator().getCurrentStack();
        StallProbe::phase = 1;
        // Every slice in turn, each shown before the next is asked for.
        while (w.mediator().nextSliceAction()->isEnabled())
            w.showAfter([&] { w.mediator().nextSliceAction()->trigger(); });
        // Then every thumbnail of the panorama.
        StallProbe::phase = 2;
        w.mediator().panoramaAction()->trigger();
        PLXPanorama* panorama = w.window->getPanorama();
        runUntil([&] {
            for (int i = 0; i < panorama->getNumThumbnails(); ++i)
                if (!panorama->getProxy(i).isLoaded())
                    return false;
            return true;
        });
        state.SetIterationTime(clock.nsecsElapsed() * 1e-9);
        probe.report(state);
        state.counters["slices"] = stack ? stack->getNumSlices() : 0;
    }
}

} // namespace

BENCHMARK(OpenToFirstSlice)->Arg(0)->Arg(1)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(SliceChange)->Arg(0)->Arg(1)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(GuiStall)->Arg(0)->Arg(1)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The settings of a scratch home, not the user's.
    QTemporaryDir home;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()).constData(), 1);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Varnak"));
    QApplication::setApplicationName(QStringLiteral("Plexan"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
