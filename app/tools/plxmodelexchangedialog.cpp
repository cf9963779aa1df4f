#include "app/tools/plxmodelexchangedialog.h"

#include "app/plxactionhistory.h"
#include "app/plxevent.h"
#include "app/plxitemactions.h"
#include "app/plxmodelactions.h"
#include "app/plxsettingskeys.h"
#include "app/plxstack.h"
#include "app/plxstackserver.h"
#include "app/slice/plxactionsequence.h"
#include "app/tools/plxmodelexchangeactiondialog.h"
#include "gl/dialogs.h"
#include "image/imagesource.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

const int pointerRole = Qt::UserRole;

template <typename T>
T* pointerOf(const QVariant& data)
{
    return reinterpret_cast<T*>(data.value<quintptr>());
}

// A new item of model on slice with a copy of the source item's vertices
// (nothing else of it), listed in the model only.
ModelItem* copyItem(const ModelItem& source, Model& model, StackSlice* slice)
{
    auto* item = new ModelItem(&model, slice);
    Vertices<int> vertices;
    for (int i = 0; i < source.getSize(); ++i)
        vertices.append(source.getVertices()[i]);
    item->setVertices(vertices);
    return item;
}

Model* copyModel(const Model& source, const std::string& name, Stack& target)
{
    auto* model = new Model(name);
    model->setProperties(source.getProperties());
    model->setItemProperties(source.getItemProperties());
    const Stack* from = nullptr;
    for (const ModelItem* item : source.getItems())
        if (item->getSlice())
            from = item->getSlice()->getStack();
    for (const ModelItem* item : source.getItems()) {
        const int k = from ? from->findSlice(item->getSlice()) : -1;
        if (k < 0 || k >= target.getNumSlices())
            continue;
        copyItem(*item, *model, target.getSlice(k))->attachToModel();
    }
    return model;
}

// Width and height of the slice's image (none: 0 x 0).
std::pair<int, int> imageSize(const StackSlice& slice)
{
    if (!slice.hasImageSource())
        return {0, 0};
    return {slice.getImageSource().getSize1(), slice.getImageSource().getSize2()};
}

QString quoted(const PLXStack& stack)
{
    return QStringLiteral("\"%1\"").arg(QString::fromStdString(stack.getName()));
}

} // namespace

PLXModelExchangeDialog::PLXModelExchangeDialog(QWidget* parent)
    : QDialog(parent), m_undo(new QPushButton(QStringLiteral("Undo"), this)),
      m_redo(new QPushButton(QStringLiteral("Redo"), this)), m_close(new QPushButton(QStringLiteral("Close"), this))
{
    setWindowTitle(QStringLiteral("Model transfer"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int side : {Left, Right}) {
        m_stacks[side] = new QComboBox(this);
        m_models[side] = new QListWidget(this);
        m_models[side]->setSelectionMode(QAbstractItemView::ExtendedSelection);
        const int column = side == Left ? 0 : 2;
        grid->addWidget(new QLabel(QStringLiteral("Stack:"), this), 0, column);
        grid->addWidget(m_stacks[side], 1, column);
        grid->addWidget(new QLabel(QStringLiteral("Models:"), this), 2, column);
        grid->addWidget(m_models[side], 3, column);
        connect(m_stacks[side], &QComboBox::currentIndexChanged, this, [this] {
            fillModels();
        });
        // Return copies from the side chosen last.
        connect(m_models[side], &QListWidget::itemSelectionChanged, this, [this, side] {
            if (!m_models[side]->selectedItems().isEmpty())
                m_transfer[side]->setDefault(true);
        });
        connect(m_models[side], &QListWidget::itemSelectionChanged, this, &PLXModelExchangeDialog::updateButtons);
    }
    m_transfer[Left] = new QPushButton(QStringLiteral(">>"), this);
    m_transfer[Right] = new QPushButton(QStringLiteral("<<"), this);
    m_transfer[Left]->setToolTip(QStringLiteral("Copy the chosen models into the stack on the right"));
    m_transfer[Right]->setToolTip(QStringLiteral("Copy the chosen models into the stack on the left"));
    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    for (int side : {Left, Right}) {
        m_transfer[side]->setAutoDefault(false);
        middle->addWidget(m_transfer[side]);
        connect(m_transfer[side], &QPushButton::clicked, this, [this, side] { transfer(Side(side)); });
    }
    middle->addStretch(1);
    grid->addLayout(middle, 3, 1);
    layout->addLayout(grid, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_undo, m_redo, m_close}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    connect(m_undo, &QPushButton::clicked, this, &PLXModelExchangeDialog::undo);
    connect(m_redo, &QPushButton::clicked, this, &PLXModelExchangeDialog::redo);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    fillStacks();
    if (PLXStackServer::stackServer.getNumStacks() > 1)
        m_stacks[Right]->setCurrentIndex(1);

    QSettings settings;
    m_restoringGeometry = true;
    const QVariant size = settings.value(QString::fromLatin1(PLXSettingsKeys::modelTransferDialogSize));
    if (size.isValid())
        resize(size.toSize());
    const QVariant pos = settings.value(QString::fromLatin1(PLXSettingsKeys::modelTransferDialogPos));
    if (pos.isValid())
        move(pos.toPoint());
    m_restoringGeometry = false;
    updateButtons();
}

PLXModelExchangeDialog::~PLXModelExchangeDialog() = default;

PLXModelExchangeDialog* PLXModelExchangeDialog::open(QWidget* parent)
{
    auto* dialog = new PLXModelExchangeDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

void PLXModelExchangeDialog::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    if (!m_restoringGeometry)
        QSettings().setValue(QString::fromLatin1(PLXSettingsKeys::modelTransferDialogPos), pos());
}

void PLXModelExchangeDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!m_restoringGeometry)
        QSettings().setValue(QString::fromLatin1(PLXSettingsKeys::modelTransferDialogSize), size());
}

void PLXModelExchangeDialog::done(int result)
{
    QSettings settings;
    settings.setValue(QString::fromLatin1(PLXSettingsKeys::modelTransferDialogPos), pos());
    settings.setValue(QString::fromLatin1(PLXSettingsKeys::modelTransferDialogSize), size());
    QDialog::done(result);
}

PLXStack* PLXModelExchangeDialog::getStack(Side side) const
{
    return pointerOf<PLXStack>(m_stacks[side]->currentData(pointerRole));
}

void PLXModelExchangeDialog::setStack(Side side, PLXStack* stack)
{
    const int index = m_stacks[side]->findData(reinterpret_cast<quintptr>(stack), pointerRole);
    m_stacks[side]->setCurrentIndex(index);
}

void PLXModelExchangeDialog::fillStacks()
{
    for (int side : {Left, Right}) {
        PLXStack* current = getStack(Side(side));
        const QSignalBlocker blocker(m_stacks[side]);
        m_stacks[side]->clear();
        for (int i = 0; i < PLXStackServer::stackServer.getNumStacks(); ++i) {
            PLXStack* stack = PLXStackServer::stackServer.getStack(i);
            m_stacks[side]->addItem(QString::fromStdString(stack->getName()), reinterpret_cast<quintptr>(stack));
        }
        const int index = m_stacks[side]->findData(reinterpret_cast<quintptr>(current), pointerRole);
        m_stacks[side]->setCurrentIndex(index >= 0 ? index : std::min(side, m_stacks[side]->count() - 1));
    }
    fillModels();
}

void PLXModelExchangeDialog::fillModels()
{
    for (int side : {Left, Right}) {
        QListWidget* list = m_models[side];
        std::vector<const Model*> chosen;
        for (const QListWidgetItem* item : list->selectedItems())
            chosen.push_back(pointerOf<Model>(item->data(pointerRole)));
        const QSignalBlocker blocker(list);
        list->clear();
        if (PLXStack* stack = getStack(Side(side)))
            for (int i = 0; i < stack->getNumModels(); ++i) {
                Model* model = stack->getModel(i);
                if (model == m_deleting)
                    continue;
                auto* item = new QListWidgetItem(QString::fromStdString(model->getName()), list);
                item->setData(pointerRole, reinterpret_cast<quintptr>(model));
                item->setSelected(std::find(chosen.begin(), chosen.end(), model) != chosen.end());
            }
    }
    updateButtons();
}

void PLXModelExchangeDialog::updateButtons()
{
    for (int side : {Left, Right})
        m_transfer[side]->setEnabled(!m_models[side]->selectedItems().isEmpty() && getStack(Side(1 - side)));
    m_undo->setEnabled(!m_done.empty());
    m_redo->setEnabled(!m_undone.empty());
}

void PLXModelExchangeDialog::selectModels(Side side, const QStringList& names)
{
    QListWidget* list = m_models[side];
    for (int row = 0; row < list->count(); ++row)
        list->item(row)->setSelected(names.contains(list->item(row)->text()));
}

bool PLXModelExchangeDialog::checkStacks(PLXStack* source, PLXStack* target)
{
    if (!source || !target || source == target)
        return false;
    const QString stacks = QStringLiteral("Stacks %1 and %2").arg(quoted(*source), quoted(*target));
    if (source->getNumSlices() != target->getNumSlices()) {
        Dialogs::warning(this, windowTitle(),
                         QStringLiteral("Stack size error:\n\n") + stacks + QStringLiteral(" have different sizes."));
        return false;
    }
    for (int k = 0; k < source->getNumSlices(); ++k) {
        if (imageSize(*source->getSlice(k)) != imageSize(*target->getSlice(k))) {
            Dialogs::warning(this, windowTitle(),
                             QStringLiteral("Image size error.\n\n") + stacks +
                                 QStringLiteral(" have slices with different image sizes."));
            return false;
        }
    }
    return true;
}

std::string PLXModelExchangeDialog::duplicateName(const Stack& stack, const std::string& name)
{
    std::string candidate = name;
    for (int i = 0; i < stack.getNumModels(); ++i)
        if (stack.getModel(i)->getName() == candidate)
            candidate += " (copy)";
    return candidate;
}

void PLXModelExchangeDialog::transfer(Side from)
{
    PLXStack* source = getStack(from);
    PLXStack* target = getStack(Side(1 - from));
    std::vector<Model*> models;
    for (int row = 0; row < m_models[from]->count(); ++row)
        if (m_models[from]->item(row)->isSelected())
            models.push_back(pointerOf<Model>(m_models[from]->item(row)->data(pointerRole)));
    if (models.empty() || !checkStacks(source, target))
        return;

    // Replacing deletes what later copies are placed after: undone in reverse.
    std::vector<PLXAction*> done;
    const QString transfer = QStringLiteral("Model transfer");
    const auto applied = [&done](PLXAction* action) {
        std::unique_ptr<PLXAction> owned(action);
        action->apply();
        done.push_back(owned.release());
    };
    PLXModelExchangeActionDialog::Choice forAll = PLXModelExchangeActionDialog::None;
    for (const Model* model : models) {
        const int existing = target->findModel(model->getName());
        if (existing < 0) {
            applied(new PLXModelCreationAction(*target, *copyModel(*model, model->getName(), *target), transfer));
            continue;
        }
        PLXModelExchangeActionDialog::Choice choice = forAll;
        if (choice == PLXModelExchangeActionDialog::None) {
            PLXModelExchangeActionDialog ask(QString::fromStdString(model->getName()), this);
            Dialogs::exec(ask);
            choice = ask.getChoice();
            if (ask.isForAllModels())
                forAll = choice;
        }
        Model& theirs = *target->getModel(existing);
        switch (choice) {
        case PLXModelExchangeActionDialog::Replace:
            applied(new PLXModelDeletionAction(*target, theirs));
            applied(new PLXModelCreationAction(*target, *copyModel(*model, model->getName(), *target), transfer));
            break;
        case PLXModelExchangeActionDialog::Duplicate:
            applied(new PLXModelCreationAction(
                *target, *copyModel(*model, duplicateName(*target, model->getName()), *target), transfer));
            break;
        case PLXModelExchangeActionDialog::Append:
            for (const ModelItem* item : model->getItems()) {
                const int k = source->findSlice(item->getSlice());
                if (k >= 0 && k < target->getNumSlices())
                    applied(new PLXItemCreationAction(*copyItem(*item, theirs, target->getSlice(k))));
            }
            break;
        case PLXModelExchangeActionDialog::None:
            break;
        }
    }
    if (done.empty())
        return;
    target->history().openStep();
    target->history().push(new PLXActionSequence(done));
    target->history().closeStep();
    target->setModified(true);
    m_done.push_back(target);
    m_undone.clear();
    fillModels();
}

void PLXModelExchangeDialog::undo()
{
    if (m_done.empty())
        return;
    PLXStack* stack = m_done.back();
    m_done.pop_back();
    stack->history().undo();
    m_undone.push_back(stack);
    fillModels();
}

void PLXModelExchangeDialog::redo()
{
    if (m_undone.empty())
        return;
    PLXStack* stack = m_undone.back();
    m_undone.pop_back();
    stack->history().redo();
    m_done.push_back(stack);
    fillModels();
}

void PLXModelExchangeDialog::stackCloseEvent(PLXStackCloseEvent& e)
{
    PLXStack* closing = &e.getStack();
    for (std::vector<PLXStack*>* list : {&m_done, &m_undone})
        list->erase(std::remove(list->begin(), list->end(), closing), list->end());
    for (int side : {Left, Right}) {
        const int index = m_stacks[side]->findData(reinterpret_cast<quintptr>(closing), pointerRole);
        if (index >= 0) {
            const QSignalBlocker blocker(m_stacks[side]);
            m_stacks[side]->removeItem(index);
        }
    }
    fillModels();
}

void PLXModelExchangeDialog::modelDeleteEvent(PLXModelDeleteEvent& e)
{
    m_deleting = &e.getModel();
    fillModels();
    m_deleting = nullptr;
}
