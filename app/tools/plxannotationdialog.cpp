#include "app/tools/plxannotationdialog.h"

#include "app/plxactionhistory.h"
#include "app/plxannotationaction.h"
#include "app/plxsliceactions.h"
#include "app/plxstack.h"
#include "gl/dialogs.h"
#include "numerics/exception.h"
#include "stack/stackslice.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

PLXAnnotationDialog::PLXAnnotationDialog(PLXStack& stack, QWidget* parent) : QDialog(parent), m_stack(&stack)
{
    build(QStringLiteral("Stack annotation"), stack.getAnnotation());
}

PLXAnnotationDialog::PLXAnnotationDialog(PLXStack& stack, StackSlice& slice, QWidget* parent)
    : QDialog(parent), m_stack(&stack), m_slice(&slice)
{
    build(QStringLiteral("Slice annotation"), slice.getAnnotation());
}

void PLXAnnotationDialog::build(const QString& title, const std::string& text)
{
    setWindowTitle(title);
    const QString name = QString::fromStdString(m_slice ? m_slice->getName() : m_stack->getName());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        (m_slice ? QStringLiteral("Notes on slice \"%1\":") : QStringLiteral("Notes on stack \"%1\":")).arg(name),
        this));
    m_text = new QPlainTextEdit(this);
    m_text->setPlainText(QString::fromStdString(text));
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(m_text, 1);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &PLXAnnotationDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(420, 300);
}

void PLXAnnotationDialog::accept()
{
    m_changed = false;
    if (!m_stack) {
        QDialog::reject();
        return;
    }
    const std::string text = m_text->toPlainText().toStdString();
    const std::string& old = m_slice ? m_slice->getAnnotation() : m_stack->getAnnotation();
    if (text != old) {
        PLXAction* action = m_slice ? new PLXAnnotationAction(*m_stack, *m_slice, text)
                                    : new PLXAnnotationAction(*m_stack, text);
        PLXActionHistory& history = m_stack->history();
        try {
            history.openStep();
            history.push(action, true);
            history.closeStep();
            m_changed = true;
        } catch (const Exception& e) {
            if (history.isStepOpen())
                history.closeStep();
            Dialogs::critical(this, windowTitle(), QString::fromStdString(e.getWhat()));
            return;
        }
    }
    QDialog::accept();
}

void PLXAnnotationDialog::stackCloseEvent(PLXStackCloseEvent& e)
{
    if (&e.getStack() != m_stack)
        return;
    m_stack = nullptr;
    m_slice = nullptr;
    reject();
}

void PLXAnnotationDialog::processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action)
{
    if (m_slice && &action.getSlice() == m_slice && !action.isSliceInStack()) {
        m_stack = nullptr;
        m_slice = nullptr;
        reject();
    }
}
