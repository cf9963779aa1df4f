#include "app/tools/plxmodelfilterdialog.h"

#include "app/plxactionhistory.h"
#include "app/plxitemactions.h"
#include "app/plxmodelactions.h"
#include "app/plxsettingskeys.h"
#include "app/plxstack.h"
#include "app/plxvertexactions.h"
#include "app/slice/plxactionsequence.h"
#include "geometry/curve.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

const int modelRole = Qt::UserRole;

Model* modelOf(const QListWidgetItem* item)
{
    return reinterpret_cast<Model*>(item->data(modelRole).value<quintptr>());
}

// Deselects the item's vertices that lie inside one of the reference's
// outlines on the item's slice.
// Applies each action as it comes and keeps it for one sequence.
class Applied {
public:
    Applied() = default;
    Applied(const Applied&) = delete;
    Applied& operator=(const Applied&) = delete;
    ~Applied()
    {
        for (PLXAction* action : m_actions)
            delete action;
    }
    void push(PLXAction* action)
    {
        std::unique_ptr<PLXAction> owned(action);
        action->apply();
        m_actions.push_back(owned.release());
    }
    // One step of the stack's history, undone in reverse, unless nothing
    // was done.
    void record(PLXStack& stack)
    {
        if (m_actions.empty())
            return;
        auto* sequence = new PLXActionSequence(m_actions);
        m_actions.clear();
        stack.history().openStep();
        stack.history().push(sequence);
        stack.history().closeStep();
    }

private:
    std::vector<PLXAction*> m_actions;
};

void deselectInside(ModelItemSelection& selection, const ModelItem& item, const Model& reference)
{
    for (const ModelItem* outline : reference.getItems()) {
        if (outline->getSlice() != item.getSlice() || outline->getSize() < 3)
            continue;
        const Curve<int> curve(outline->getVertices(), false);
        for (int i = 0; i < item.getSize(); ++i)
            if (selection.isSelected(i) && curve.contains(item.getVertices()[i]))
                selection.set(false, i, false);
    }
}

void filterPoints(Applied& sequence, const Model& reference, const std::vector<Model*>& models)
{
    for (Model* model : models) {
        const std::vector<ModelItem*> items = model->getItems();
        for (ModelItem* item : items) {
            const int n = item->getSize();
            ModelItemSelection selection(n);
            selection.set(true);
            deselectInside(selection, *item, reference);
            if (selection.isEmpty())
                continue;
            const int kept = n - selection.getSize();
            const MPrimitive geometry = item->getGeometry();
            const bool tooSmall = selection.isComplete() || (geometry == MPrimitive::Polygon && kept <= 2) ||
                                  ((geometry == MPrimitive::Polygon || geometry == MPrimitive::Polyline) && kept <= 1);
            sequence.push(new PLXSelectionAction(*item, item->getSelection(), selection));
            if (tooSmall)
                sequence.push(new PLXItemDeletionAction(*item));
            else
                sequence.push(new PLXRemoveSelectionAction(*item));
        }
    }
}

} // namespace

PLXModelFilterDialog::PLXModelFilterDialog(PLXStack& stack, QWidget* parent)
    : QDialog(parent), m_stack(&stack), m_reference(new QListWidget(this)), m_models(new QListWidget(this)),
      m_removeModels(new QRadioButton(QStringLiteral("Models not intersecting the reference"), this)),
      m_removePoints(new QRadioButton(QStringLiteral("Points not included in the reference"), this)),
      m_apply(new QPushButton(QStringLiteral("Apply"), this)), m_close(new QPushButton(QStringLiteral("Close"), this))
{
    setWindowTitle(QStringLiteral("Filter models"));
    m_reference->setSelectionMode(QAbstractItemView::SingleSelection);
    m_models->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_removeModels->setChecked(true);

    auto* layout = new QVBoxLayout(this);
    auto* lists = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Reference model:"), this));
    left->addWidget(m_reference);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("Models to process:"), this));
    right->addWidget(m_models);
    lists->addLayout(left);
    lists->addLayout(right);
    layout->addLayout(lists, 1);
    auto* removal = new QGroupBox(QStringLiteral("Remove:"), this);
    auto* removalLayout = new QVBoxLayout(removal);
    removalLayout->addWidget(m_removeModels);
    removalLayout->addWidget(m_removePoints);
    layout->addWidget(removal);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_apply, m_close}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    // Return filters; Escape closes.
    m_apply->setDefault(true);
    layout->addLayout(buttons);

    connect(m_reference, &QListWidget::itemSelectionChanged, this, &PLXModelFilterDialog::updateButtons);
    connect(m_models, &QListWidget::itemSelectionChanged, this, &PLXModelFilterDialog::updateButtons);
    connect(m_apply, &QPushButton::clicked, this, &PLXModelFilterDialog::apply);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    restoreGeometry(QSettings().value(QString::fromLatin1(PLXSettingsKeys::modelFilterDialogGeometry)).toByteArray());
    fillLists();
}

PLXModelFilterDialog::~PLXModelFilterDialog() = default;

PLXModelFilterDialog* PLXModelFilterDialog::open(PLXStack& stack, QWidget* parent)
{
    auto* dialog = new PLXModelFilterDialog(stack, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

void PLXModelFilterDialog::done(int result)
{
    QSettings().setValue(QString::fromLatin1(PLXSettingsKeys::modelFilterDialogGeometry), saveGeometry());
    QDialog::done(result);
}

void PLXModelFilterDialog::fillLists()
{
    const auto chosen = [](const QListWidget* list) {
        std::vector<const Model*> models;
        for (int row = 0; row < list->count(); ++row)
            if (list->item(row)->isSelected())
                models.push_back(modelOf(list->item(row)));
        return models;
    };
    const std::vector<const Model*> reference = chosen(m_reference);
    const std::vector<const Model*> processed = chosen(m_models);
    for (QListWidget* list : {m_reference, m_models}) {
        const QSignalBlocker blocker(list);
        const std::vector<const Model*>& keep = list == m_reference ? reference : processed;
        list->clear();
        if (!m_stack)
            continue;
        for (int i = 0; i < m_stack->getNumModels(); ++i) {
            Model* model = m_stack->getModel(i);
            if (model == m_deleting)
                continue;
            auto* item = new QListWidgetItem(QString::fromStdString(model->getName()), list);
            item->setData(modelRole, reinterpret_cast<quintptr>(model));
            item->setSelected(std::find(keep.begin(), keep.end(), model) != keep.end());
        }
    }
    updateButtons();
}

void PLXModelFilterDialog::updateButtons()
{
    m_apply->setEnabled(!m_reference->selectedItems().isEmpty() && !m_models->selectedItems().isEmpty());
}

void PLXModelFilterDialog::setReference(const QString& name)
{
    for (int row = 0; row < m_reference->count(); ++row)
        m_reference->item(row)->setSelected(m_reference->item(row)->text() == name);
}

void PLXModelFilterDialog::setModelsToProcess(const QStringList& names)
{
    for (int row = 0; row < m_models->count(); ++row)
        m_models->item(row)->setSelected(names.contains(m_models->item(row)->text()));
}

void PLXModelFilterDialog::setRemoval(Removal removal)
{
    (removal == ModelsNotIntersecting ? m_removeModels : m_removePoints)->setChecked(true);
}

void PLXModelFilterDialog::apply()
{
    if (!m_stack || m_reference->selectedItems().isEmpty())
        return;
    const Model* reference = modelOf(m_reference->selectedItems().front());
    std::vector<Model*> models;
    for (int row = 0; row < m_models->count(); ++row)
        if (m_models->item(row)->isSelected())
            models.push_back(modelOf(m_models->item(row)));
    if (models.empty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        filter(*m_stack, *reference, models, m_removePoints->isChecked() ? PointsNotIncluded : ModelsNotIntersecting);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    fillLists();
}

void PLXModelFilterDialog::filter(PLXStack& stack, const Model& reference, const std::vector<Model*>& models,
                                  Removal removal)
{
    // The actions depend on one another (a removal on the selection before
    // it, a deletion on the places the earlier ones left): one sequence,
    // undone in reverse.
    Applied sequence;
    PLXEventClient::enableEventBatch(true);
    try {
        if (removal == ModelsNotIntersecting) {
            for (Model* model : models)
                if (model != &reference && !reference.partiallyContains(*model))
                    sequence.push(new PLXModelDeletionAction(stack, *model));
        } else {
            filterPoints(sequence, reference, models);
        }
    } catch (...) {
        // What was done stays undoable.
        sequence.record(stack);
        PLXEventClient::enableEventBatch(false);
        throw;
    }
    sequence.record(stack);
    PLXEventClient::enableEventBatch(false);
}

void PLXModelFilterDialog::stackCloseEvent(PLXStackCloseEvent& e)
{
    if (m_stack && &e.getStack() == m_stack) {
        m_stack = nullptr;
        fillLists();
        close();
    }
}

void PLXModelFilterDialog::modelDeleteEvent(PLXModelDeleteEvent& e)
{
    // The model is still in the stack while its deletion is announced.
    m_deleting = &e.getModel();
    fillLists();
    m_deleting = nullptr;
}
