#pragma once
// Helpers of the rendering window's tests: small stacks built by hand (no
// images: a pixel (x, y) of slice k lies at (pw x, -ph y, z_k)), items, and
// the 3D position of an item vertex computed from the placement rules
// without the reconstruction.

#include "app/plxstack.h"
#include "geometry/vertices.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace rendertest {

using Points = std::vector<std::pair<int, int>>;

// A stack of n slices without images at z = 0, spacing, 2 spacing, ...,
// pixels of width pw and height ph.
inline std::unique_ptr<PLXStack> emptyStack(int n, float spacing = 1.0f, float pw = 1.0f, float ph = 1.0f)
{
    auto stack = std::make_unique<PLXStack>();
    stack->setName("hand-made");
    PixelCalibration calibration;
    calibration.setPixelWidth(pw);
    calibration.setPixelHeight(ph);
    stack->setDefaultPixelCalibration(calibration);
    for (int k = 0; k < n; ++k) {
        auto* slice = new StackSlice("s" + std::to_string(k));
        slice->setPixelCalibration(calibration);
        slice->setAbsolutePosition(spacing * k);
        stack->addSlice(slice);
    }
    stack->updateReconstruction();
    return stack;
}

// A new model of the stack (appended), with the usual defaults.
inline Model* addModel(PLXStack& stack, const std::string& name, MPrimitive geometry, RenderingMode mode)
{
    auto* model = new Model(name);
    model->getProperties().setGeometry(geometry);
    model->getProperties().setRenderingMode(mode);
    stack.addModel(model);
    return model;
}

inline ModelItem* addItem(Model* model, StackSlice* slice, const Points& points)
{
    auto* item = new ModelItem(model, slice);
    Vertices<int> v;
    for (const auto& p : points)
        v.append(Vector<int>{p.first, p.second});
    item->setVertices(v);
    item->attach();
    return item;
}

// A square outline of half side h around (cx, cy), corners and edge midpoints.
inline Points square(int cx, int cy, int h)
{
    return {{cx - h, cy - h}, {cx, cy - h}, {cx + h, cy - h}, {cx + h, cy},
            {cx + h, cy + h}, {cx, cy + h}, {cx - h, cy + h}, {cx - h, cy}};
}

// Where vertex (x, y) of slice k of a stack without registrations and
// images lands.
inline std::vector<double> placed(const PLXStack& stack, int k, int x, int y)
{
    const StackSlice& slice = *stack.getSlice(k);
    const PixelCalibration& c = slice.getPixelCalibration();
    return {c.getPixelWidth() * x, -c.getPixelHeight() * y, slice.getAbsolutePosition()};
}

// What ffprobe reads of a video's first video stream: frames counted by
// decoding, size and frame rate ("num/den"); frames -1 when it cannot.
struct VideoInfo {
    int frames = -1;
    int width = 0;
    int height = 0;
    QString rate;
};

inline bool hasVideoTools()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty();
}

inline VideoInfo probeVideo(const QString& file)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                 QStringLiteral("-select_streams"), QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=nb_read_frames,width,height,r_frame_rate"), QStringLiteral("-of"),
                 QStringLiteral("default=noprint_wrappers=1"), QStringLiteral("file:") + file});
    VideoInfo info;
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        return info;
    for (const QString& line : QString::fromLocal8Bit(probe.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const QString value = line.section(QLatin1Char('='), 1);
        if (line.startsWith(QLatin1String("nb_read_frames=")))
            info.frames = value.toInt();
        else if (line.startsWith(QLatin1String("width=")))
            info.width = value.toInt();
        else if (line.startsWith(QLatin1String("height=")))
            info.height = value.toInt();
        else if (line.startsWith(QLatin1String("r_frame_rate=")))
            info.rate = value.trimmed();
    }
    return info;
}

} // namespace rendertest
