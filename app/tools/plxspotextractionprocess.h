#pragma once
// PLXSpotExtractionProcess: finds small bright objects (spots) in a regular
// stack, treated as one volume, and turns each into model items.
//
// run() asks for the settings (PLXSpotExtractionDialog, showing those of
// the last run, kept in the settings store once "Run" is pressed) and goes
// on with apply(): in a worker thread, with a progress dialog "Find spots" whose
// Cancel is honoured between steps, the stack becomes a volume of the chosen
// channel, optionally resampled, smoothed, freed of its background by a white
// top-hat (the volume minus its opening), turned into an isotropy index and
// resampled back; its range is stretched to 0..255. The threshold dialog
// then previews, on the slice canvas, the pixels of the shown slice that
// reach the threshold; on acceptance the worker binarises the volume and
// labels its 6-connected components, and each component becomes a spot.
//
// Spots become point items: without equivalent spheres, one item per slice
// the spot touches, holding the spot's voxels on that slice; with them, one
// item holding the spot's centroid, on the slice nearest to it, drawn as a
// sphere whose diameter (in pixels) is that of the sphere of the spot's
// volume. One model per spot ("basename001", ...) or one model for all;
// every new model and item is announced, and the whole creation is one step
// of the stack's history, made while the progress dialog says "Adding N
// spots". Cancelling or refusing leaves the document as it was.
//
// The process is a progress subject: it announces each step by its text
// (from the worker thread) and stops at the next step once cancelled.

#include "app/tools/plxspotextractionconfig.h"
#include "image/imagecolorcontent.h"
#include "image/voxelmatrix.h"
#include "numerics/progresssubject.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class Model;
class PLXSliceEditWidgetCanvas;
class PLXStack;
class PLXWorker;
class ModelItem;
class QWidget;
class Stack;

class PLXSpotExtractionProcess : public QObject, public ProgressSubject {
    Q_OBJECT
public:
    // One labelled component: its voxels as (column, row, slice).
    struct Spot {
        std::vector<Vector<int>> voxels;
    };

    explicit PLXSpotExtractionProcess(QWidget* parent = nullptr);
    ~PLXSpotExtractionProcess() override;

    PLXSpotExtractionConfig& getConfig() { return m_config; }
    const PLXSpotExtractionConfig& getConfig() const { return m_config; }
    void setContent(ImageColorContent content) { m_content = content; }
    ImageColorContent getContent() const { return m_content; }

    // The canvas the threshold is previewed on (not owned), or none.
    void setCanvas(PLXSliceEditWidgetCanvas* canvas) { m_canvas = canvas; }

    // The whole interactive run (nothing for a stack that is not regular).
    void run(PLXStack& stack);
    // The run after the settings: filtering, threshold, labelling, models.
    // Whether models were created.
    bool apply(PLXStack& stack);

    // Steps, for the worker thread (no widget, no document change) ---------

    // The stack as a volume of the chosen channel (reads the images).
    void load(const Stack& stack);
    // Resampling, smoothing, top-hat, isotropy and resampling back, as the
    // settings ask; false when cancelled between two steps. progress, the
    // worker's proxy, also watches the filters.
    bool filter(ProgressSubject* progress = nullptr);
    // Stretches the volume's range to [0, 255].
    void dynamicExpansion();
    // Binarises the volume at the threshold (foreground 255 where a voxel
    // reaches it) and labels the components; the number of spots.
    int label(double threshold);

    // The volume being worked on (after label(): the labels).
    const VoxelMatrix<double>& getVolume() const { return m_volume; }
    void setVolume(const VoxelMatrix<double>& volume) { m_volume = volume; }
    // The range of the volume before dynamicExpansion().
    double getMinimum() const { return m_minimum; }
    double getMaximum() const { return m_maximum; }
    const std::vector<Spot>& getSpots() const { return m_spots; }

    // Interactive steps (GUI thread) ---------------------------------------

    // The threshold dialog with its preview; whether it was accepted (the
    // threshold is then getThreshold()).
    bool threshold(PLXStack& stack);
    int getThreshold() const { return m_threshold; }
    void setThreshold(int threshold) { m_threshold = threshold; }
    // The pixels of plane k that the threshold keeps, as (column, row).
    std::vector<Vector<int>> thresholdedPixels(int k, int threshold) const;
    // Makes the models of the spots found, as one step of the history.
    void createModels(int numLabels, PLXStack& stack);

    // The ball-shaped structuring element of radius r: (2r + 1)^3 voxels,
    // 200 sqrt(1 - d^2 / (r + 1)^2) within distance r of the centre, 0
    // outside.
    static VoxelMatrix<double> initializeStrel(int r);

    // The worker of the filtering and labelling runs (its progress proxy
    // shows their progress).
    PLXWorker& getWorker() { return *m_worker; }

public slots:
    // Shows the threshold's preview on the canvas.
    void thresholdChanged(int threshold);

private:
    bool stepCanceled(ProgressSubject& progress) const;
    void clearPreview();
    // Runs work in the worker with the "Find spots" progress dialog; false
    // when cancelled.
    bool inWorker(const std::function<void(ProgressSubject&)>& work);
    void gatherSpots(int numLabels);

    QWidget* m_parent;
    std::unique_ptr<PLXWorker> m_worker;
    PLXSpotExtractionConfig m_config;
    ImageColorContent m_content = ImageColorContent::Grayscale;
    PLXSliceEditWidgetCanvas* m_canvas = nullptr;
    PLXStack* m_stack = nullptr;
    VoxelMatrix<double> m_volume;
    double m_minimum = 0.0;
    double m_maximum = 0.0;
    int m_threshold = 128;
    std::vector<Spot> m_spots;
    std::unique_ptr<Model> m_previewModel;
    std::unique_ptr<ModelItem> m_previewItem;
    // The canvas's extra item before the preview (not owned).
    ModelItem* m_canvasItem = nullptr;
};
