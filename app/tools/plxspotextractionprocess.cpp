#include "app/tools/plxspotextractionprocess.h"

#include "app/plxactionhistory.h"
#include "app/plxeventclient.h"
#include "app/plxmodelactions.h"
#include "app/plxprogressdialog.h"
#include "app/plxstack.h"
#include "app/plxworker.h"
#include "app/slice/plxactionsequence.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/tools/plxspotextractiondialog.h"
#include "app/tools/plxspotthresholddialog.h"
#include "gl/dialogs.h"
#include "image/colormap.h"
#include "imageprocessing/componentlabelling.h"
#include "imageprocessing/gaussianfilter.h"
#include "imageprocessing/isodatathresholding.h"
#include "imageprocessing/isotropyfilter.h"
#include "imageprocessing/matrixresize.h"
#include "imageprocessing/maxfilter.h"
#include "imageprocessing/medianfilter.h"
#include "imageprocessing/minfilter.h"
#include "imageprocessing/sumfilter.h"
#include "imageprocessing/thresholding.h"
#include "imageprocessing/volumehistogramexpansion.h"
#include "imageprocessing/volumeresize.h"
#include "imageprocessing/voxelmatrixdilatation.h"
#include "imageprocessing/voxelmatrixerosion.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <QDialog>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>

namespace {

// Lets the worker's proxy watch a filter (its Cancel then stops the filter
// at its next report) for as long as the filter runs.
template <typename Filter>
void runFilter(Filter& filter, VoxelMatrix<double>& volume, ProgressMonitor* monitor)
{
    if (monitor)
        filter.addMonitor(*monitor);
    filter.apply(volume);
    if (monitor)
        filter.removeMonitor(*monitor);
}

void resize(VoxelMatrix<double>& volume, const Vector<int>& size, ProgressMonitor* monitor)
{
    if (volume.getSize1() == size[0] && volume.getSize2() == size[1] && volume.getSize3() == size[2])
        return;
    VolumeResize<double> resizer;
    resizer.setSize(size);
    resizer.setInterpolationMode(LinearInterpolationMode);
    resizer.setLowPassFilteringEnabled(true);
    runFilter(resizer, volume, monitor);
}

std::string modelName(const std::string& basename, int number)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", number);
    return basename + digits;
}

} // namespace

PLXSpotExtractionProcess::PLXSpotExtractionProcess(QWidget* parent)
    : m_parent(parent), m_worker(std::make_unique<PLXWorker>())
{
}

PLXSpotExtractionProcess::~PLXSpotExtractionProcess()
{
    clearPreview();
}

VoxelMatrix<double> PLXSpotExtractionProcess::initializeStrel(int r)
{
    const int n = 2 * r + 1;
    VoxelMatrix<double> element(n, n, n);
    const double outer = double(r + 1) * double(r + 1);
    for (int c = -r; c <= r; ++c)
        for (int a = -r; a <= r; ++a)
            for (int b = -r; b <= r; ++b) {
                const int d2 = a * a + b * b + c * c;
                element(a + r, b + r, c + r) = d2 <= r * r ? 200.0 * std::sqrt(1.0 - d2 / outer) : 0.0;
            }
    return element;
}

void PLXSpotExtractionProcess::run(PLXStack& stack)
{
    if (stack.getNumSlices() == 0 || !stack.isRegular())
        return;
    const StackSlice* first = stack.getSlice(0);
    const PixelCalibration& calibration = first->getPixelCalibration();
    m_config.volumeSize = Vector<int>{first->height(), first->width(), stack.getNumSlices()};
    m_config.resolution = Vector<double>{calibration.getPixelHeight(), calibration.getPixelWidth(),
                                         stack.getDefaultRelativePosition()};
    // The settings the user ran with last time, as far as they fit this stack.
    m_config.restore();
    if (!m_config.resizeState || m_config.newSize[0] <= 0) {
        m_config.newSize = m_config.volumeSize;
        m_config.newResolution = m_config.resolution;
    }
    const int content = stack.colorContent();
    const bool colour = content == static_cast<int>(ImageColorContent::Color);
    ImageColorContent preset = ImageColorContent::Grayscale;
    if (content >= static_cast<int>(ImageColorContent::RedOnly) &&
        content <= static_cast<int>(ImageColorContent::BlueOnly))
        preset = static_cast<ImageColorContent>(content);
    PLXSpotExtractionDialog dialog(m_config, preset, colour, m_parent);
    if (Dialogs::exec(dialog) != QDialog::Accepted)
        return;
    m_config = dialog.getConfig();
    m_config.store();
    m_content = dialog.getContent();
    apply(stack);
}

bool PLXSpotExtractionProcess::apply(PLXStack& stack)
{
    reset();
    m_stack = &stack;
    m_spots.clear();
    const bool filtered = inWorker([this, &stack](ProgressSubject& progress) {
        notifyProgressed(std::string("Reading images..."));
        load(stack);
        if (stepCanceled(progress) || !filter(&progress))
            return;
        dynamicExpansion();
    });
    if (!filtered || !threshold(stack)) {
        m_volume = VoxelMatrix<double>();
        return false;
    }
    int numLabels = 0;
    const bool labelled = inWorker([this, &numLabels](ProgressSubject&) { numLabels = label(m_threshold); });
    m_volume = VoxelMatrix<double>();
    if (!labelled)
        return false;
    // The models are made here, in the GUI thread: the progress dialog stays
    // up with the count while they are.
    PLXProgressDialog dialog(QStringLiteral("Find spots"), m_parent);
    dialog.setCancelButton(nullptr);
    dialog.show();
    addMonitor(dialog);
    struct Detach {
        PLXSpotExtractionProcess& process;
        PLXProgressDialog& dialog;
        ~Detach() { process.removeMonitor(dialog); }
    } detach{*this, dialog};
    createModels(numLabels, stack);
    return true;
}

bool PLXSpotExtractionProcess::inWorker(const std::function<void(ProgressSubject&)>& work)
{
    PLXProgressDialog dialog(QStringLiteral("Find spots"), m_parent);
    PLXProgressProxy& shown = m_worker->getProgress();
    shown.addMonitor(dialog);
    struct Detach {
        PLXProgressProxy& proxy;
        PLXProgressDialog& dialog;
        ~Detach() { proxy.removeMonitor(dialog); }
    } detach{shown, dialog};
    bool canceled = false;
    m_worker->run(
        [this, &work, &canceled](PLXProgressProxy& progress) {
            addMonitor(progress);
            try {
                work(progress);
            } catch (...) {
                removeMonitor(progress);
                throw;
            }
            removeMonitor(progress);
            canceled = stepCanceled(progress);
        },
        &dialog);
    return !canceled && !m_worker->isCanceled();
}

bool PLXSpotExtractionProcess::stepCanceled(ProgressSubject& progress) const
{
    return isCanceled() || progress.isCanceled();
}

void PLXSpotExtractionProcess::load(const Stack& stack)
{
    const ImageColorContent content = m_content == ImageColorContent::Color ? ImageColorContent::Grayscale : m_content;
    m_volume = stack.toVoxelMatrix<double>(content);
}

bool PLXSpotExtractionProcess::filter(ProgressSubject* progress)
{
    ProgressMonitor* monitor = dynamic_cast<ProgressMonitor*>(progress);
    const auto step = [this, progress](const char* text) {
        if (isCanceled() || (progress && progress->isCanceled()))
            return false;
        notifyProgressed(std::string(text));
        return !isCanceled();
    };
    const Vector<int> original{m_volume.getSize1(), m_volume.getSize2(), m_volume.getSize3()};
    if (m_config.resizeState) {
        if (!step("Running: resizing volume..."))
            return false;
        resize(m_volume, m_config.newSize, monitor);
    }
    if (m_config.smoothingFilterEnabled) {
        const int r = m_config.smoothingFilterRadius;
        switch (m_config.smoothingFilterType) {
        case PLXSpotExtractionSmoothing::Average: {
            if (!step("Running: average filter..."))
                return false;
            SumFilter<double> sum(r);
            runFilter(sum, m_volume, monitor);
            const double count = std::pow(2.0 * r + 1.0, 3.0);
            for (int k = 0; k < m_volume.getSize3(); ++k)
                for (int i = 0; i < m_volume.getSize1(); ++i)
                    for (int j = 0; j < m_volume.getSize2(); ++j)
                        m_volume(i, j, k) /= count;
            break;
        }
        case PLXSpotExtractionSmoothing::Median: {
            if (!step("Running: median filter..."))
                return false;
            MedianFilter<double> median(r);
            runFilter(median, m_volume, monitor);
            break;
        }
        case PLXSpotExtractionSmoothing::Gaussian: {
            if (!step("Running: Gaussian filter..."))
                return false;
            GaussianFilter<double> gaussian(r * 0.5);
            runFilter(gaussian, m_volume, monitor);
            break;
        }
        }
    }
    if (m_config.tophatFilterEnabled) {
        const int r = m_config.tophatFilterRadius;
        VoxelMatrix<double> opening = m_volume;
        if (m_config.tophatFilterType == PLXSpotExtractionTopHat::Flat) {
            if (!step("Running: erosion..."))
                return false;
            MinFilter<double> erosion(r);
            runFilter(erosion, opening, monitor);
            if (!step("Running: dilatation..."))
                return false;
            MaxFilter<double> dilatation(r);
            runFilter(dilatation, opening, monitor);
        } else {
            const VoxelMatrix<double> element = initializeStrel(r);
            if (!step("Running: erosion..."))
                return false;
            VoxelMatrixErosion<double> erosion;
            erosion.setStructElt(element);
            runFilter(erosion, opening, monitor);
            if (!step("Running: dilatation..."))
                return false;
            VoxelMatrixDilatation<double> dilatation;
            dilatation.setStructElt(element);
            runFilter(dilatation, opening, monitor);
        }
        for (int k = 0; k < m_volume.getSize3(); ++k)
            for (int i = 0; i < m_volume.getSize1(); ++i)
                for (int j = 0; j < m_volume.getSize2(); ++j)
                    m_volume(i, j, k) -= opening(i, j, k);
    }
    if (m_config.isotropyFilterEnabled) {
        if (!step("Running: isotropy filter..."))
            return false;
        IsotropyFilter<double> isotropy(m_config.isotropyFilterRadius);
        runFilter(isotropy, m_volume, monitor);
    }
    if (m_config.resizeState) {
        if (!step("Running: resizing volume..."))
            return false;
        resize(m_volume, original, monitor);
    }
    return !isCanceled() && !(progress && progress->isCanceled());
}

void PLXSpotExtractionProcess::dynamicExpansion()
{
    if (m_volume.getSize1() == 0 || m_volume.getSize2() == 0 || m_volume.getSize3() == 0)
        return;
    const Vector<double> range = m_volume.range();
    m_minimum = range[0];
    m_maximum = range[1];
    VolumeHistogramExpansion<double> expansion;
    expansion.setMinMax(0.0, 255.0);
    expansion.apply(m_volume);
    // The automatic split of the histogram proposes the first threshold.
    const IsodataThresholding<double> isodata;
    m_threshold = std::clamp(static_cast<int>(std::lround(isodata.computeThreshold(m_volume))), 1, 255);
}

int PLXSpotExtractionProcess::label(double threshold)
{
    notifyProgressed(std::string("Thresholding..."));
    Thresholding<double> binarisation;
    binarisation.setThreshold(threshold);
    binarisation.setForeground(255.0);
    binarisation.setBackground(0.0);
    binarisation.apply(m_volume);
    notifyProgressed(std::string("Labelling connected components..."));
    ComponentLabelling<double> labelling;
    labelling.apply(m_volume);
    const int numLabels = labelling.getNumLabels();
    gatherSpots(numLabels);
    return numLabels;
}

void PLXSpotExtractionProcess::gatherSpots(int numLabels)
{
    m_spots.assign(static_cast<std::size_t>(std::max(numLabels, 0)), Spot());
    for (int k = 0; k < m_volume.getSize3(); ++k)
        for (int i = 0; i < m_volume.getSize1(); ++i)
            for (int j = 0; j < m_volume.getSize2(); ++j) {
                const int l = static_cast<int>(m_volume(i, j, k));
                if (l > 0 && l <= numLabels)
                    m_spots[static_cast<std::size_t>(l - 1)].voxels.push_back(Vector<int>{j, i, k});
            }
}

std::vector<Vector<int>> PLXSpotExtractionProcess::thresholdedPixels(int k, int threshold) const
{
    std::vector<Vector<int>> pixels;
    if (k < 0 || k >= m_volume.getSize3())
        return pixels;
    // The same binarisation as the extraction's, on one plane.
    PixelMatrix<double> plane = m_volume[k];
    Thresholding<double> binarisation;
    binarisation.setThreshold(threshold);
    binarisation.setForeground(255.0);
    binarisation.setBackground(0.0);
    binarisation.apply(plane);
    for (int i = 0; i < plane.getSize1(); ++i)
        for (int j = 0; j < plane.getSize2(); ++j)
            if (plane[i][j] != 0.0)
                pixels.push_back(Vector<int>{j, i});
    return pixels;
}

bool PLXSpotExtractionProcess::threshold(PLXStack& stack)
{
    m_stack = &stack;
    PLXSpotThresholdDialog dialog(m_minimum, m_maximum, m_threshold, m_parent);
    connect(&dialog, &PLXSpotThresholdDialog::thresholdChanged, this, &PLXSpotExtractionProcess::thresholdChanged);
    thresholdChanged(dialog.getThreshold());
    const bool accepted = Dialogs::exec(dialog) == QDialog::Accepted;
    clearPreview();
    if (accepted)
        m_threshold = dialog.getThreshold();
    return accepted;
}

void PLXSpotExtractionProcess::thresholdChanged(int threshold)
{
    m_threshold = threshold;
    if (!m_canvas || !m_stack)
        return;
    const int k = m_canvas->getSlice() ? m_stack->findSlice(m_canvas->getSlice()) : -1;
    if (k < 0) {
        clearPreview();
        return;
    }
    if (!m_previewModel) {
        m_previewModel = std::make_unique<Model>("spot preview");
        m_previewModel->getProperties().setGeometry(MPrimitive::Polypoint);
        ModelItemProperties& p = m_previewModel->getItemProperties();
        p.setColor(0, 255, 0);
        p.setVertexSymbol(VertexSymbol::Dot);
        p.setFilled(true);
    }
    m_previewModel->getItemProperties().setPointSize(
        static_cast<float>(std::max(1.0, std::ceil(m_canvas->getZoomFactor()))));
    if (!m_previewItem)
        m_previewItem = std::make_unique<ModelItem>(m_previewModel.get(), nullptr);
    m_previewItem->setVertices(Vertices<int>(2, 0));
    for (const Vector<int>& p : thresholdedPixels(k, threshold))
        m_previewItem->appendVertex(p);
    if (m_canvas->getExtraItem() != m_previewItem.get()) {
        // What an editing tool was drawing comes back with the preview's end.
        m_canvasItem = m_canvas->getExtraItem();
        m_canvas->setExtraItem(m_previewItem.get());
    }
    m_canvas->update();
}

void PLXSpotExtractionProcess::clearPreview()
{
    if (m_canvas && m_previewItem && m_canvas->getExtraItem() == m_previewItem.get()) {
        m_canvas->setExtraItem(m_canvasItem);
        m_canvas->update();
    }
    m_previewItem.reset();
    m_canvasItem = nullptr;
}

void PLXSpotExtractionProcess::createModels(int numLabels, PLXStack& stack)
{
    char announce[64];
    std::snprintf(announce, sizeof announce, "Adding %d spots", numLabels);
    notifyProgressed(std::string(announce));
    const int count = std::min(numLabels, static_cast<int>(m_spots.size()));
    if (count <= 0)
        return;
    const Colormap flag = Colormap::flag();
    const auto colour = [&flag](int n) {
        const int c = n % flag.getSize();
        return Vector<int>{flag.getRed()[c], flag.getGreen()[c], flag.getBlue()[c]};
    };
    const Vector<double>& voxel = m_config.resolution;
    const double voxelVolume = voxel[0] * voxel[1] * voxel[2];
    const double pixel = std::max(voxel[0], voxel[1]);
    const std::string basename = m_config.basename;

    std::vector<Model*> models;
    const auto newModel = [&](const std::string& name, int n) {
        auto* model = new Model(name);
        model->getProperties().setGeometry(MPrimitive::Polypoint);
        model->getProperties().setRenderingMode(RenderingMode::Dot);
        ModelItemProperties& p = model->getItemProperties();
        p.setColor(colour(n));
        p.setVertexSymbol(VertexSymbol::Sphere);
        p.setFilled(true);
        p.setPointSize(3.0f);
        models.push_back(model);
        return model;
    };
    // Names already taken, in the stack or by this run, are skipped.
    int number = 0;
    const auto freeName = [&]() {
        std::string name;
        do
            name = modelName(basename, ++number);
        while (stack.findModel(name) >= 0);
        return name;
    };
    Model* shared = nullptr;
    if (!m_config.separateModelsEnabled)
        shared = newModel(stack.findModel(basename) >= 0 || basename.empty() ? freeName() : basename, 0);

    for (int n = 0; n < count; ++n) {
        const Spot& spot = m_spots[static_cast<std::size_t>(n)];
        if (spot.voxels.empty())
            continue;
        Model* model = shared ? shared : newModel(freeName(), n);
        const auto addItem = [&](int z) {
            auto* item = new ModelItem(model, stack.getSlice(z));
            item->attachToModel();
            if (shared)
                item->getProperties().setColor(colour(n));
            return item;
        };
        if (m_config.equivalentSpheresEnabled) {
            double x = 0.0, y = 0.0, z = 0.0;
            for (const Vector<int>& v : spot.voxels) {
                x += v[0];
                y += v[1];
                z += v[2];
            }
            const double size = static_cast<double>(spot.voxels.size());
            const double volume = size * voxelVolume;
            const double radius = std::cbrt(3.0 * volume / (4.0 * std::numbers::pi));
            const int slice = std::clamp(static_cast<int>(std::lround(z / size)), 0, stack.getNumSlices() - 1);
            ModelItem* item = addItem(slice);
            item->appendVertex(
                Vector<int>{static_cast<int>(std::lround(x / size)), static_cast<int>(std::lround(y / size))});
            if (pixel > 0.0)
                item->getProperties().setPointSize(static_cast<float>(std::max(1.0, 2.0 * radius / pixel)));
        } else {
            std::map<int, ModelItem*> perSlice;
            for (const Vector<int>& v : spot.voxels) {
                ModelItem*& item = perSlice[v[2]];
                if (!item)
                    item = addItem(v[2]);
                item->appendVertex(Vector<int>{v[0], v[1]});
            }
        }
    }

    std::vector<PLXAction*> creations;
    for (Model* model : models)
        creations.push_back(new PLXModelCreationAction(stack, *model));
    auto* sequence = new PLXActionSequence(creations);
    PLXEventClient::enableEventBatch(true);
    sequence->apply();
    PLXActionHistory& history = stack.history();
    history.openStep();
    history.push(sequence);
    history.closeStep();
    PLXEventClient::enableEventBatch(false);
}
