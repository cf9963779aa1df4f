#include "app/tools/plxmodeldialogmediator.h"

#include "app/plxactionhistory.h"
#include "app/plxmodelactions.h"
#include "app/plxstack.h"
#include "app/slice/plxactionsequence.h"
#include "app/tools/plxmodeldialog.h"
#include "app/tools/plxmodelitempropertieseditor.h"
#include "app/tools/plxmodelnameeditor.h"
#include "app/tools/plxmodelpropertieseditor.h"
#include "gl/dialogs.h"
#include "stack/model.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace {

const int modelRole = Qt::UserRole;

Model* modelOf(const QListWidgetItem* item)
{
    return reinterpret_cast<Model*>(item->data(modelRole).value<quintptr>());
}

} // namespace

PLXModelDialogMediator::PLXModelDialogMediator(PLXModelDialog& dialog) : QObject(&dialog), m_dialog(dialog)
{
    connect(m_dialog.getModelList(), &QListWidget::itemSelectionChanged, this,
            &PLXModelDialogMediator::listSelectionChanged);
    connect(m_dialog.getApplyButton(), &QPushButton::clicked, this, &PLXModelDialogMediator::apply);
    connect(m_dialog.getDeleteButton(), &QPushButton::clicked, this, &PLXModelDialogMediator::deleteSelectedModels);
    setModeStandard();
}

void PLXModelDialogMediator::setStack(PLXStack* stack)
{
    m_stack = stack;
    fillList();
    updateTitle();
    setModeStandard();
}

void PLXModelDialogMediator::updateTitle()
{
    m_dialog.setWindowTitle(m_stack ? QStringLiteral("Models for stack \"%1\"").arg(QString::fromStdString(m_stack->getName()))
                                    : QStringLiteral("Models"));
}

void PLXModelDialogMediator::fillList()
{
    QListWidget* list = m_dialog.getModelList();
    const std::vector<Model*> chosen = getSelectedModels();
    const bool creating = m_mode == Creation;
    m_updating = true;
    {
        const QSignalBlocker blocker(list);
        list->clear();
        if (m_stack) {
            auto* entry = new QListWidgetItem(QStringLiteral("Model"), list);
            QFont font = entry->font();
            font.setItalic(true);
            entry->setFont(font);
            entry->setToolTip(QStringLiteral("Choose to create a new model"));
            entry->setData(modelRole, quintptr(0));
            std::vector<Model*> models;
            for (int i = 0; i < m_stack->getNumModels(); ++i)
                models.push_back(m_stack->getModel(i));
            std::stable_sort(models.begin(), models.end(),
                             [](const Model* a, const Model* b) { return a->getName() < b->getName(); });
            for (Model* model : models) {
                auto* item = new QListWidgetItem(QString::fromStdString(model->getName()), list);
                item->setData(modelRole, reinterpret_cast<quintptr>(model));
                if (std::find(chosen.begin(), chosen.end(), model) != chosen.end())
                    item->setSelected(true);
            }
            if (creating)
                entry->setSelected(true);
        }
    }
    m_updating = false;
}

std::vector<Model*> PLXModelDialogMediator::getSelectedModels() const
{
    std::vector<Model*> models;
    QListWidget* list = m_dialog.getModelList();
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected())
            if (Model* model = modelOf(list->item(row)))
                models.push_back(model);
    return models;
}

void PLXModelDialogMediator::selectModels(const QStringList& names)
{
    QListWidget* list = m_dialog.getModelList();
    {
        const QSignalBlocker blocker(list);
        for (int row = 0; row < list->count(); ++row) {
            const Model* model = modelOf(list->item(row));
            list->item(row)->setSelected(model && names.contains(QString::fromStdString(model->getName())));
        }
    }
    listSelectionChanged();
}

void PLXModelDialogMediator::listSelectionChanged()
{
    if (m_updating)
        return;
    QListWidget* list = m_dialog.getModelList();
    if (list->count() > 0 && list->item(0)->isSelected())
        setModeCreation();
    else if (getSelectedModels().empty())
        setModeStandard();
    else
        setModeSelection();
}

void PLXModelDialogMediator::enableEditors(bool on)
{
    m_dialog.getNameEditor()->setEnabled(on);
    m_dialog.getPropertiesEditor()->setEnabled(on);
    m_dialog.getItemPropertiesEditor()->setEnabled(on);
    m_dialog.getApplyButton()->setEnabled(on);
}

void PLXModelDialogMediator::setModeStandard()
{
    m_mode = Standard;
    {
        const QSignalBlocker blocker(m_dialog.getModelList());
        m_dialog.getModelList()->clearSelection();
    }
    m_dialog.getNameEditor()->setName(QString());
    m_dialog.getPropertiesEditor()->setProperties(ModelProperties());
    m_dialog.getItemPropertiesEditor()->setProperties(ModelItemProperties());
    enableEditors(false);
    m_dialog.getDeleteButton()->setEnabled(false);
}

void PLXModelDialogMediator::setModeCreation()
{
    if (!m_stack)
        return;
    m_mode = Creation;
    QListWidget* list = m_dialog.getModelList();
    {
        const QSignalBlocker blocker(list);
        list->clearSelection();
        list->item(0)->setSelected(true);
    }
    const Model fresh;
    m_dialog.getNameEditor()->setName(QString());
    m_dialog.getPropertiesEditor()->setProperties(fresh.getProperties());
    m_dialog.getItemPropertiesEditor()->setProperties(fresh.getItemProperties());
    enableEditors(true);
    m_dialog.getDeleteButton()->setEnabled(false);
}

void PLXModelDialogMediator::setModeSelection()
{
    const std::vector<Model*> models = getSelectedModels();
    if (models.empty()) {
        setModeStandard();
        return;
    }
    m_mode = Selection;
    ModelProperties properties = models.front()->getProperties();
    ModelItemProperties itemProperties = models.front()->getItemProperties();
    for (const Model* model : models) {
        properties.intersection(model->getProperties());
        itemProperties.intersection(model->getItemProperties());
    }
    m_dialog.getPropertiesEditor()->setProperties(properties);
    m_dialog.getItemPropertiesEditor()->setProperties(itemProperties);
    enableEditors(true);
    const bool one = models.size() == 1;
    m_dialog.getNameEditor()->setName(one ? QString::fromStdString(models.front()->getName()) : QString());
    m_dialog.getNameEditor()->setEnabled(one);
    m_dialog.getDeleteButton()->setEnabled(true);
}

bool PLXModelDialogMediator::checkModelName(const QString& name, const Model* model)
{
    const std::string text = name.toStdString();
    if (model && model->getName() == text)
        return true;
    if (name.isEmpty()) {
        Dialogs::warning(&m_dialog, QCoreApplication::applicationName(),
                         QStringLiteral("Error: missing identifier.\n\n"
                                        "   The model name is empty.\n"
                                        "   Please enter a model name."));
        return false;
    }
    if (m_stack && m_stack->findModel(text) >= 0) {
        Dialogs::warning(&m_dialog, QCoreApplication::applicationName(),
                         QStringLiteral("Error: duplicate identifier.\n\n"
                                        "   A model named %1 already exists in this stack.\n"
                                        "   Please enter another model name.")
                             .arg(name));
        return false;
    }
    return true;
}

void PLXModelDialogMediator::apply()
{
    if (m_mode == Creation)
        applyCreation();
    else if (m_mode == Selection)
        applyEdition();
}

bool PLXModelDialogMediator::applyCreation()
{
    if (!m_stack || m_mode != Creation)
        return false;
    const QString name = m_dialog.getNameEditor()->getName();
    if (!checkModelName(name, nullptr))
        return false;
    auto* model = new Model(name.toStdString());
    model->getProperties().update(m_dialog.getPropertiesEditor()->getProperties());
    model->getItemProperties().update(m_dialog.getItemPropertiesEditor()->getProperties());
    m_updating = true;
    PLXActionHistory& history = m_stack->history();
    history.openStep();
    history.push(new PLXModelCreationAction(*m_stack, *model), true);
    history.closeStep();
    m_stack->setModified(true);
    m_updating = false;
    m_mode = Standard;
    fillList();
    setModeStandard();
    return true;
}

bool PLXModelDialogMediator::applyEdition()
{
    const std::vector<Model*> models = getSelectedModels();
    if (!m_stack || m_mode != Selection || models.empty())
        return false;
    QString name;
    if (models.size() == 1) {
        name = m_dialog.getNameEditor()->getName();
        if (!checkModelName(name, models.front()))
            return false;
    }
    const ModelProperties properties = m_dialog.getPropertiesEditor()->getProperties();
    const ModelItemProperties itemProperties = m_dialog.getItemPropertiesEditor()->getProperties();
    // One step for all the models; a rename names it.
    const bool renaming = models.size() == 1 && name.toStdString() != models.front()->getName();
    const QString description = renaming ? QStringLiteral("Model renaming") : QStringLiteral("Model properties change");
    std::vector<PLXAction*> changes;
    for (Model* model : models) {
        ModelProperties newProperties = model->getProperties();
        newProperties.update(properties);
        ModelItemProperties newItemProperties = model->getItemProperties();
        newItemProperties.update(itemProperties);
        auto* change = new PLXModelPropertiesAction(*m_stack, *model,
                                                    models.size() == 1 ? name.toStdString() : model->getName(),
                                                    newProperties, newItemProperties, description);
        if (change->isNull())
            delete change;
        else
            changes.push_back(change);
    }
    m_updating = true;
    if (!changes.empty()) {
        PLXActionHistory& history = m_stack->history();
        history.openStep();
        for (PLXAction* change : changes)
            history.push(change, true);
        history.closeStep();
        m_stack->setModified(true);
    }
    m_updating = false;
    fillList();
    setModeSelection();
    return true;
}

void PLXModelDialogMediator::deleteSelectedModels()
{
    const std::vector<Model*> models = getSelectedModels();
    if (!m_stack || models.empty())
        return;
    int items = 0;
    for (const Model* model : models)
        items += model->getNumItems();
    if (items > 0) {
        const QString first = QString::fromStdString(models.front()->getName());
        const QString which = models.size() == 1 ? QStringLiteral("Deleting model \"%1\"").arg(first)
                                                 : QStringLiteral("Deleting models \"%1, etc.\"").arg(first);
        const int answer = Dialogs::message(&m_dialog, QMessageBox::Warning, QStringLiteral("Confirm deletion"),
                                            which + QStringLiteral(" will delete %1 item(s).").arg(items),
                                            {QStringLiteral("Delete"), QStringLiteral("Cancel")}, 1);
        if (answer != 0)
            return;
    }
    m_updating = true;
    PLXActionHistory& history = m_stack->history();
    // Each deletion shifts the places of the next: undone in reverse.
    std::vector<PLXAction*> deletions;
    for (Model* model : models) {
        deletions.push_back(new PLXModelDeletionAction(*m_stack, *model));
        deletions.back()->apply();
    }
    auto* sequence = new PLXActionSequence(deletions, QStringLiteral("Model deletion"));
    history.openStep();
    history.push(sequence);
    history.closeStep();
    m_stack->setModified(true);
    m_updating = false;
    m_mode = Standard;
    fillList();
    setModeStandard();
}

void PLXModelDialogMediator::stackCloseEvent(PLXStackCloseEvent& e)
{
    if (m_stack && &e.getStack() == m_stack) {
        setStack(nullptr);
        m_dialog.close();
    }
}

void PLXModelDialogMediator::stackNameEvent(PLXStackNameEvent& e)
{
    if (m_stack && &e.getStack() == m_stack)
        updateTitle();
}

void PLXModelDialogMediator::modelCreateEvent(PLXModelCreateEvent&)
{
    if (!m_updating && m_stack)
        fillList();
}

void PLXModelDialogMediator::modelDeleteEvent(PLXModelDeleteEvent& e)
{
    if (m_updating || !m_stack)
        return;
    // The model is still listed while its deletion is announced: unlist it.
    QListWidget* list = m_dialog.getModelList();
    for (int row = list->count() - 1; row >= 1; --row)
        if (modelOf(list->item(row)) == &e.getModel()) {
            const bool chosen = list->item(row)->isSelected();
            delete list->takeItem(row);
            if (chosen)
                listSelectionChanged();
        }
}

void PLXModelDialogMediator::modelPropertiesEvent(PLXModelPropertiesEvent&)
{
    if (m_updating || !m_stack)
        return;
    fillList();
    if (m_mode == Selection)
        setModeSelection();
}
