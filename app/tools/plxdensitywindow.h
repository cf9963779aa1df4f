#pragma once
// PLXDensityWindow: maps the density of a point model pooled over open
// stacks (specimens in one frame, such as the stacks of a fusion). On the
// left the estimation: the stacks, the point model found in all of them,
// the estimator (pooled k-th nearest neighbour, or points per cell) and its
// neighbour rank, the grid, the margin around the points, an optional mask
// (an outlined model of the first stack, its inside or its outside kept) and
// the percentiles whose levels are drawn; on the right the 3D view of the
// points, the isosurfaces of those levels (the level of p percent encloses
// about 100 - p percent of the points) and the mask. The levels are listed
// in a table that copies and exports like the analysis window's; the map is
// saved as a voxel matrix file.
//
// The computation runs in a worker thread with a progress dialog whose
// Cancel keeps the previous map. Closing a stack of the map clears it.

#include "app/plxeventclient.h"

#include <QWidget>

#include <memory>
#include <vector>

class PLXDensityMap;
class PLXStack;
class PLXTableWidget;
class Stack;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class PLXStackCheckList;
class QPushButton;
class QSpinBox;
class ViewerCanvasGL;
template <typename T> class PainterGL;

class PLXDensityWindow : public QWidget, public PLXEventClient {
    Q_OBJECT
public:
    // The stacks offered are the open stacks (the stack server's), those
    // given checked; withViewer false leaves out the 3D view (for machines
    // without OpenGL).
    explicit PLXDensityWindow(const std::vector<PLXStack*>& checked, QWidget* parent = nullptr,
                              bool withViewer = true);
    ~PLXDensityWindow() override;

    // The checked stacks, in list order.
    std::vector<PLXStack*> getStacks() const;
    void setStackChecked(PLXStack& stack, bool checked);

    // The form's widgets, for scripts and tests.
    QComboBox* getModelBox() const { return m_model; }
    QComboBox* getMethodBox() const { return m_method; }
    QSpinBox* getRankBox() const { return m_rank; }
    QSpinBox* getGridBox(int axis) const { return m_grid[axis]; }
    QDoubleSpinBox* getMarginBox() const { return m_margin; }
    QComboBox* getMaskBox() const { return m_mask; }
    QComboBox* getMaskSideBox() const { return m_maskSide; }
    QLineEdit* getPercentilesEdit() const { return m_percentiles; }
    PLXTableWidget* getLevelTable() const { return m_levels; }
    ViewerCanvasGL* getCanvas() const { return m_canvas; }
    const PLXDensityMap& getMap() const { return *m_map; }

public slots:
    // Computes the map of the form's configuration; a bad configuration or a
    // failure is reported and keeps the previous map.
    void compute();
    // Asks for a file name and saves the map (.vm).
    void saveMap();

protected:
    void modelCreateEvent(PLXModelCreateEvent& e) override;
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;
    void modelPropertiesEvent(PLXModelPropertiesEvent& e) override;

private:
    void updateModels();
    void updateEnabling();
    void showMap();
    void clearMap();
    std::vector<const Stack*> constStacks() const;

    std::unique_ptr<PLXDensityMap> m_map;
    PLXStackCheckList* m_stacks = nullptr;
    QComboBox* m_model = nullptr;
    QComboBox* m_method = nullptr;
    QSpinBox* m_rank = nullptr;
    QSpinBox* m_grid[3] = {};
    QDoubleSpinBox* m_margin = nullptr;
    QComboBox* m_mask = nullptr;
    QComboBox* m_maskSide = nullptr;
    QLineEdit* m_percentiles = nullptr;
    QPushButton* m_compute = nullptr;
    QPushButton* m_save = nullptr;
    QLabel* m_summary = nullptr;
    PLXTableWidget* m_levels = nullptr;
    ViewerCanvasGL* m_canvas = nullptr;
    std::vector<std::unique_ptr<PainterGL<float>>> m_painters;
};
