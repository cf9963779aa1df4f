#pragma once
// PLXAnalysisWindow: the measures of one stack's models, in two tables.
// The model table lists the models of the chosen geometry (polygons,
// polylines or point sets) that have items, with their vertex and contour
// counts, centres, surface areas and volumes in the stack's length unit,
// and the triangulation the areas come from (outlines started where they
// match level to level, the default, or joined as drawn), named in the
// table's last column;
// choosing a model lists its items (its points, for a point set) in the item
// table. Both tables sort by any column and are copied or exported (TSV or
// CSV) with the same digits as the batch tool's measures.
//
// The window follows its stack: edits of its models, items, spacing and
// registration measure it again (once per event batch); closing the stack
// closes the window. Measuring runs in a worker thread.
//
// One window per stack: open() raises the stack's window when it has one.

#include "app/plxeventclient.h"
#include "stack/modelmorphometry.h"
#include "stack/modelproperties.h"

#include <QWidget>

class PLXStack;
class PLXTableWidget;
class QComboBox;
class QLabel;

class PLXAnalysisWindow : public QWidget, public PLXEventClient {
    Q_OBJECT
public:
    // The window of the stack, made and shown if need be; a new window is
    // widened to show every column of its tables (fitColumns).
    static PLXAnalysisWindow* open(PLXStack& stack);
    static PLXAnalysisWindow* find(const PLXStack& stack);

    explicit PLXAnalysisWindow(PLXStack& stack, QWidget* parent = nullptr);
    ~PLXAnalysisWindow() override;

    PLXStack& getStack() const { return *m_stack; }
    MPrimitive getGeometry() const;
    void setGeometry(MPrimitive geometry);
    // The model whose items are listed (empty for none).
    const std::string& getModelName() const { return m_modelName; }
    // The triangulation that measures surface areas (matched starts by
    // default); a change measures again.
    ModelMorphometry::Surface getSurface() const;
    void setSurface(ModelMorphometry::Surface surface);
    void setModelName(const std::string& name);

    PLXTableWidget* getModelTable() const { return m_models; }
    // Widens the window until its tables show all their columns, at most to
    // the screen's width, and keeps it on the screen.
    void fitColumns();
    PLXTableWidget* getItemTable() const { return m_items; }

public slots:
    // Measures the models again (and the chosen model's items).
    void refresh();

protected:
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void stackNameEvent(PLXStackNameEvent& e) override;
    void stackRegistrationEvent(PLXStackRegistrationEvent& e) override;
    void stackSliceSpacingEvent(PLXStackSliceSpacingEvent& e) override;
    void stackImageCalibrationEvent(PLXStackImageCalibrationEvent& e) override;
    void stackModifyEvent(PLXStackModifyEvent& e) override;
    void sliceSpacingEvent(PLXSliceSpacingEvent& e) override;
    void sliceImageCalibrationEvent(PLXSliceImageCalibrationEvent& e) override;
    void modelCreateEvent(PLXModelCreateEvent& e) override;
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;
    void modelPropertiesEvent(PLXModelPropertiesEvent& e) override;
    void modelItemCreateEvent(PLXModelItemCreateEvent& e) override;
    void modelItemDeleteEvent(PLXModelItemDeleteEvent& e) override;
    void modelItemVertexEvent(PLXModelItemVertexEvent& e) override;
    void modelItemConvertEvent(PLXModelItemConvertEvent& e) override;
    void processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action) override;
    void atEventBatchEnd() override;

private:
    // A change of the stack: measure again now, or at the batch's end.
    void stackChanged();
    void refreshItems();
    void modelRowChosen();
    void updateTitle();

    PLXStack* m_stack;
    std::string m_modelName;
    bool m_stale = false;
    bool m_refreshing = false;
    QComboBox* m_geometry = nullptr;
    QComboBox* m_triangulation = nullptr;
    QLabel* m_itemsLabel = nullptr;
    PLXTableWidget* m_models = nullptr;
    PLXTableWidget* m_items = nullptr;
};
