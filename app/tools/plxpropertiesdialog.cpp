#include "app/tools/plxpropertiesdialog.h"

#include "app/plxeventclient.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Closes the event batch however the apply ends.
class EventBatch {
public:
    EventBatch() { PLXEventClient::enableEventBatch(true); }
    ~EventBatch() { PLXEventClient::enableEventBatch(false); }
    EventBatch(const EventBatch&) = delete;
    EventBatch& operator=(const EventBatch&) = delete;
};

} // namespace

PLXPropertiesDialog::PLXPropertiesDialog(PLXStackPropertiesEditor::Kind kind, const QString& title, QWidget* parent)
    : QDialog(parent), m_editor(new PLXStackPropertiesEditor(kind, this)),
      m_apply(new QPushButton(QStringLiteral("Apply"), this)), m_reset(new QPushButton(QStringLiteral("Reset"), this)),
      m_close(new QPushButton(QStringLiteral("Close"), this))
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_editor);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_apply, m_reset, m_close}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    // Enter reaching the dialog applies and closes (keyPressEvent).
    m_apply->setDefault(true);
    layout->addLayout(buttons);
    connect(m_editor, &PLXStackPropertiesEditor::changed, this, &PLXPropertiesDialog::edited);
    connect(m_apply, &QPushButton::clicked, this, &PLXPropertiesDialog::apply);
    connect(m_reset, &QPushButton::clicked, this, &PLXPropertiesDialog::reset);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

void PLXPropertiesDialog::reset()
{
    load();
    m_shownSpacing = m_editor->getSliceSpacing();
    m_shownCalibration = m_editor->getPixelCalibration();
    m_apply->setEnabled(false);
    m_reset->setEnabled(false);
}

void PLXPropertiesDialog::edited()
{
    const bool valid = m_editor->isValid();
    m_apply->setEnabled(valid);
    m_reset->setEnabled(valid);
}

void PLXPropertiesDialog::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Invalid edits stay on screen to be corrected.
    if (!m_editor->isValid())
        return;
    apply();
    accept();
}

void PLXPropertiesDialog::apply()
{
    if (!m_editor->isValid())
        return;
    {
        const EventBatch batch;
        applyChanges();
    }
    reset();
}
