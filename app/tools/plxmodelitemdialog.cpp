#include "app/tools/plxmodelitemdialog.h"

#include "app/plxactionhistory.h"
#include "app/plxevent.h"
#include "app/plxitemactions.h"
#include "app/plxselectionactions.h"
#include "app/plxstack.h"
#include "app/tools/plxmodelitempropertieseditor.h"
#include "gl/dialogs.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int numAttributes = 6;

// The one attribute k of p (nothing when p leaves it undefined).
ModelItemProperties attribute(const ModelItemProperties& p, int k)
{
    ModelItemProperties one;
    switch (k) {
    case 0:
        if (p.definesColor())
            one.setColor(p.getColor());
        break;
    case 1:
        if (p.definesVertexSymbol())
            one.setVertexSymbol(p.getVertexSymbol());
        break;
    case 2:
        if (p.definesLineWidth())
            one.setLineWidth(p.getLineWidth());
        break;
    case 3:
        if (p.definesPointSize())
            one.setPointSize(p.getPointSize());
        break;
    case 4:
        if (p.definesFilled())
            one.setFilled(p.isFilled());
        break;
    default:
        if (p.definesVisible())
            one.setVisible(p.isVisible());
        break;
    }
    return one;
}

// The model's default item properties (none without a model).
ModelItemProperties defaultsOf(const ModelItem& item)
{
    return item.getModel() ? item.getModel()->getItemProperties() : ModelItemProperties();
}

} // namespace

PLXModelItemDialog::PLXModelItemDialog(PLXStack& stack, ModelItem& item, QWidget* parent)
    : QDialog(parent), m_stack(&stack), m_item(&item), m_editor(new PLXModelItemPropertiesEditor(this)),
      m_defaults(new QPushButton(QStringLiteral("Defaults"), this)),
      m_apply(new QPushButton(QStringLiteral("Apply"), this)), m_close(new QPushButton(QStringLiteral("Close"), this))
{
    setWindowTitle(QStringLiteral("Properties"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_editor);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_defaults, m_apply, m_close})
        buttons->addWidget(button);
    // Enter reaching the dialog applies and closes (keyPressEvent); Apply is
    // marked as the default so that no other button takes Enter on showing.
    m_apply->setDefault(true);
    layout->addLayout(buttons);
    connect(m_editor, &PLXModelItemPropertiesEditor::changed, this, &PLXModelItemDialog::edited);
    connect(m_defaults, &QPushButton::clicked, this, &PLXModelItemDialog::showDefaults);
    connect(m_apply, &QPushButton::clicked, this, &PLXModelItemDialog::apply);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    reload();
}

PLXModelItemDialog::~PLXModelItemDialog() = default;

void PLXModelItemDialog::reload()
{
    if (!m_item)
        return;
    m_loaded = defaultsOf(*m_item) + m_item->getProperties();
    m_editor->setProperties(m_loaded);
    m_shown = m_editor->getProperties();
    edited();
}

void PLXModelItemDialog::showDefaults()
{
    if (!m_item)
        return;
    m_editor->setProperties(defaultsOf(*m_item));
    edited();
}

void PLXModelItemDialog::edited()
{
    m_apply->setEnabled(m_item && m_editor->getProperties() != m_shown);
}

ModelItemProperties PLXModelItemDialog::editedProperties() const
{
    if (!m_item)
        return {};
    // A field whose box still reads what it read on loading keeps the
    // loaded value: a line width of 1.5 shown as 2 stays 1.5.
    const ModelItemProperties edited = m_editor->getProperties();
    ModelItemProperties merged;
    for (int k = 0; k < numAttributes; ++k) {
        const ModelItemProperties mine = attribute(edited, k);
        merged.update(mine != attribute(m_shown, k) ? mine : attribute(m_loaded, k));
    }
    return merged - defaultsOf(*m_item);
}

void PLXModelItemDialog::apply()
{
    applyEdits();
}

void PLXModelItemDialog::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    // A failed apply leaves the dialog open on the user's edits.
    if (applyEdits())
        accept();
}

bool PLXModelItemDialog::applyEdits()
{
    if (!m_item)
        return false;
    const ModelItemProperties properties = editedProperties();
    ModelItem& item = *m_item;
    if (properties != item.getProperties()) {
        const ModelItemSelection& selection = item.getSelection();
        PLXAction* action = nullptr;
        if (!item.isConnected() && !selection.isEmpty() && !selection.isComplete())
            action = new PLXItemSelectionAttributesAction(item, properties);
        else
            action = new PLXItemAttributesAction(item, item.getProperties(), properties);
        PLXActionHistory& history = m_stack->history();
        try {
            history.openStep();
            history.push(action, true);
            history.closeStep();
        } catch (const Exception& e) {
            if (history.isStepOpen())
                history.closeStep();
            Dialogs::critical(this, windowTitle(), QString::fromStdString(e.getWhat()));
            return false;
        }
    }
    reload();
    return true;
}

void PLXModelItemDialog::lose()
{
    if (!m_item)
        return;
    m_item = nullptr;
    m_defaults->setEnabled(false);
    m_apply->setEnabled(false);
    reject();
}

void PLXModelItemDialog::stackCloseEvent(PLXStackCloseEvent& e)
{
    if (&e.getStack() == m_stack)
        lose();
}

void PLXModelItemDialog::modelDeleteEvent(PLXModelDeleteEvent& e)
{
    if (m_item && m_item->getModel() == &e.getModel())
        lose();
}

void PLXModelItemDialog::modelPropertiesEvent(PLXModelPropertiesEvent& e)
{
    if (m_item && m_item->getModel() == &e.getModel())
        reload();
}

void PLXModelItemDialog::modelItemDeleteEvent(PLXModelItemDeleteEvent& e)
{
    if (&e.getItem() == m_item)
        lose();
}

void PLXModelItemDialog::modelItemAttributeEvent(PLXModelItemAttributeEvent& e)
{
    if (&e.getItem() == m_item)
        reload();
}

void PLXModelItemDialog::modelItemConvertEvent(PLXModelItemConvertEvent& e)
{
    if (&e.getItem() == m_item)
        reload();
}
