#pragma once
// PLXFusionWindow: brings open stacks (specimens) into one frame. On the left
// the fusion: its name, the stacks, the outlined structures found in them
// (a structure is a model name; the reference structures drive the fusion,
// each resampled into a mesh of the given levels and columns), and the
// strategy: alignment of the reference structures' centres and axes, rigid
// registration (global, or each specimen on a template stack) and warping
// onto the mean shape (polynomials of a degree, or thin-plate splines). On
// the right the 3D view of the result: every specimen's structures, moved,
// in its colour, and the mean shape in white.
//
// "Run" runs the fusion in a worker thread with a progress dialog whose
// Cancel drops the partial results and keeps the previous ones; a completed
// run shows its summary (an HTML log) in a dialog. The stacks themselves are
// never changed. Closing a stack of the fusion clears its results.

#include "app/plxeventclient.h"

#include <QWidget>

#include <memory>
#include <vector>

class PLXStack;
class PLXStackCheckList;
class PLXWorker;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class ViewerCanvasGL;
template <typename T> class Fusion;
template <typename T> class PainterGL;
template <typename T> struct FusionConfig;

class PLXFusionWindow : public QWidget, public PLXEventClient {
    Q_OBJECT
public:
    // The open stacks are offered, all checked, and the stacks given (which
    // need not be open); withViewer false leaves out the 3D view.
    explicit PLXFusionWindow(const std::vector<PLXStack*>& stacks = {}, QWidget* parent = nullptr,
                             bool withViewer = true);
    ~PLXFusionWindow() override;

    std::vector<PLXStack*> getStacks() const;
    void setStackChecked(PLXStack& stack, bool checked);
    // The structure rows: reference flag and resampling (levels, columns).
    void setReference(const QString& structure, bool reference, int height = -1, int width = -1);
    // The configuration the form describes.
    FusionConfig<float> getConfig() const;

    QCheckBox* getAlignmentBox() const { return m_alignment; }
    QCheckBox* getRegistrationBox() const { return m_registration; }
    QComboBox* getRegistrationMethodBox() const { return m_method; }
    QComboBox* getTemplateBox() const { return m_template; }
    QCheckBox* getWarpingBox() const { return m_warping; }
    QComboBox* getWarpingModelBox() const { return m_warpingModel; }
    QSpinBox* getDegreeBox() const { return m_degree; }
    QTableWidget* getStructureTable() const { return m_structures; }
    ViewerCanvasGL* getCanvas() const { return m_canvas; }
    // The last completed fusion (null before one).
    const Fusion<float>* getFusion() const { return m_fusion.get(); }
    // The worker of the run under way (null between runs).
    PLXWorker* getWorker() const { return m_worker; }

public slots:
    // Runs the fusion of the form's configuration; shows the summary when it
    // completes.
    void run();
    void cancel();

signals:
    // A run started; its worker is getWorker().
    void started();

protected:
    void stackNameEvent(PLXStackNameEvent& e) override;
    void modelCreateEvent(PLXModelCreateEvent& e) override;
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;

private:
    void updateStructures();
    void updateEnabling();
    void showSummary();
    void showFusion();
    void clearFusion();

    std::unique_ptr<Fusion<float>> m_fusion;
    std::vector<const PLXStack*> m_fusedStacks;
    PLXWorker* m_worker = nullptr;
    QLineEdit* m_name = nullptr;
    PLXStackCheckList* m_stacks = nullptr;
    QTableWidget* m_structures = nullptr;
    QCheckBox* m_alignment = nullptr;
    QCheckBox* m_registration = nullptr;
    QComboBox* m_method = nullptr;
    QComboBox* m_template = nullptr;
    QCheckBox* m_warping = nullptr;
    QComboBox* m_warpingModel = nullptr;
    QSpinBox* m_degree = nullptr;
    QPushButton* m_run = nullptr;
    QLabel* m_status = nullptr;
    ViewerCanvasGL* m_canvas = nullptr;
    std::vector<std::unique_ptr<PainterGL<float>>> m_painters;
};
