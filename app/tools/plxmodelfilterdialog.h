#pragma once
// PLXModelFilterDialog: removes what lies outside a reference model.
// "Reference model:" (one model), "Models to process:" (any), "Remove:"
// either "Models not intersecting the reference" (every model that the
// reference does not partially contain is deleted) or "Points not included
// in the reference" (on each slice, the vertices of the processed items
// that lie inside no reference outline of that slice are removed; an item
// left too small for its geometry is deleted whole); "Apply" and "Close".
//
// One filtering is one undoable step; the lists follow the stack's models
// and the dialog closes with its stack. Its geometry is kept in the
// settings.

#include "app/plxeventclient.h"

#include <QDialog>

#include <vector>

class Model;
class PLXStack;
class QListWidget;
class QPushButton;
class QRadioButton;

class PLXModelFilterDialog : public QDialog, public PLXEventClient {
    Q_OBJECT
public:
    enum Removal { ModelsNotIntersecting, PointsNotIncluded };

    explicit PLXModelFilterDialog(PLXStack& stack, QWidget* parent = nullptr);
    ~PLXModelFilterDialog() override;
    // A dialog that deletes itself on close.
    static PLXModelFilterDialog* open(PLXStack& stack, QWidget* parent = nullptr);

    // Chooses in the lists by model name.
    void setReference(const QString& name);
    void setModelsToProcess(const QStringList& names);
    void setRemoval(Removal removal);

    // The filtering, as one step of the stack's history (none when nothing
    // changed).
    static void filter(PLXStack& stack, const Model& reference, const std::vector<Model*>& models, Removal removal);

    QListWidget* getReferenceList() const { return m_reference; }
    QListWidget* getModelList() const { return m_models; }
    QRadioButton* getModelsButton() const { return m_removeModels; }
    QRadioButton* getPointsButton() const { return m_removePoints; }
    QPushButton* getApplyButton() const { return m_apply; }
    QPushButton* getCloseButton() const { return m_close; }

public slots:
    void apply();

protected:
    void done(int result) override;
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void modelCreateEvent(PLXModelCreateEvent&) override { fillLists(); }
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;
    void modelPropertiesEvent(PLXModelPropertiesEvent&) override { fillLists(); }

private:
    void fillLists();
    void updateButtons();

    PLXStack* m_stack;
    QListWidget* m_reference;
    QListWidget* m_models;
    QRadioButton* m_removeModels;
    QRadioButton* m_removePoints;
    QPushButton* m_apply;
    QPushButton* m_close;
    const Model* m_deleting = nullptr;
};
