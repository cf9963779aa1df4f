#include "app/tools/plxstackpropertiesdialog.h"

#include "app/plxevent.h"
#include "app/plxeventclient.h"
#include "app/plxeventserver.h"
#include "app/plxstack.h"
#include "app/tools/plxstackpropertieseditor.h"
#include "gl/dialogs.h"
#include "stack/stackslice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Asks about one slice that did not follow the old default; "Yes to All"
// answers every later question of the same kind.
class SliceQuestion {
public:
    SliceQuestion(QWidget* parent, QString title, QString text)
        : m_parent(parent), m_title(std::move(title)), m_text(std::move(text))
    {
    }
    bool ask(const StackSlice& slice)
    {
        if (m_all)
            return true;
        const QMessageBox::StandardButton answer = Dialogs::question(
            m_parent, m_title, QStringLiteral("Slice ") + QString::fromStdString(slice.getName()) + m_text,
            QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No, QMessageBox::No);
        m_all = answer == QMessageBox::YesToAll;
        return answer == QMessageBox::Yes || m_all;
    }

private:
    QWidget* m_parent;
    QString m_title;
    QString m_text;
    bool m_all = false;
};

} // namespace

PLXStackPropertiesDialog::PLXStackPropertiesDialog(PLXStack& stack, QWidget* parent)
    : QDialog(parent), m_stack(stack),
      m_editor(new PLXStackPropertiesEditor(PLXStackPropertiesEditor::StackProperties, this)),
      m_apply(new QPushButton(QStringLiteral("Apply"), this)), m_reset(new QPushButton(QStringLiteral("Reset"), this)),
      m_close(new QPushButton(QStringLiteral("Close"), this))
{
    setWindowTitle(QStringLiteral("Stack properties"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_editor);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_apply, m_reset, m_close}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);

    connect(m_editor, &PLXStackPropertiesEditor::changed, this, &PLXStackPropertiesDialog::edited);
    connect(m_editor->getLengthUnitBox(), &QComboBox::activated, this, &PLXStackPropertiesDialog::edited);
    connect(m_editor->getAbsolutePathBox(), &QCheckBox::clicked, this, &PLXStackPropertiesDialog::edited);
    connect(m_apply, &QPushButton::clicked, this, &PLXStackPropertiesDialog::apply);
    connect(m_reset, &QPushButton::clicked, this, &PLXStackPropertiesDialog::reset);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    reset();
}

void PLXStackPropertiesDialog::reset()
{
    m_editor->setStack(m_stack);
    m_shownSpacing = m_editor->getSliceSpacing();
    m_shownCalibration = m_editor->getPixelCalibration();
    m_apply->setEnabled(false);
    m_reset->setEnabled(false);
}

void PLXStackPropertiesDialog::edited()
{
    const bool valid = m_editor->isValid();
    m_apply->setEnabled(valid);
    m_reset->setEnabled(valid);
}

void PLXStackPropertiesDialog::apply()
{
    if (!m_editor->isValid())
        return;
    PLXEventClient::enableEventBatch(true);
    try {
        const std::string name = m_editor->getName().simplified().toStdString();
        if (name != m_stack.getName()) {
            m_stack.setName(name);
            PLXStackNameEvent event(m_stack);
            PLXEventServer::notifyEvent(event);
        }
        const LengthUnit unit = m_editor->getLengthUnit();
        if (!(unit == m_stack.getLengthUnit())) {
            m_stack.setLengthUnit(unit);
            m_stack.setModified(true);
        }
        const float spacing = m_editor->getSliceSpacing();
        if (spacing != m_shownSpacing && spacing != m_stack.getDefaultRelativePosition())
            applySpacing(spacing);
        const PixelCalibration calibration = m_editor->getPixelCalibration();
        if (calibration != m_shownCalibration && calibration != m_stack.getDefaultPixelCalibration())
            applyCalibration(calibration);
        if (m_editor->getAbsoluteImagesPath() != m_stack.getAbsoluteImagesPathPolicy()) {
            m_stack.setAbsoluteImagesPathPolicy(m_editor->getAbsoluteImagesPath());
            m_stack.setModified(true);
        }
    } catch (...) {
        PLXEventClient::enableEventBatch(false);
        throw;
    }
    PLXEventClient::enableEventBatch(false);
    reset();
}

void PLXStackPropertiesDialog::applySpacing(float spacing)
{
    const float old = m_stack.getDefaultRelativePosition();
    SliceQuestion question(this, QStringLiteral("Changing slice spacing"),
                           QStringLiteral(": spacing differs from default stack spacing.\nSet spacing to new value?"));
    for (int i = 0; i < m_stack.getNumSlices(); ++i) {
        StackSlice& slice = *m_stack.getSlice(i);
        // A slice that follows the default takes the new one by itself.
        if (slice.useDefaultRelativePosition())
            continue;
        if (slice.getRelativePosition() == old || question.ask(slice))
            slice.setRelativePosition(spacing);
    }
    m_stack.setDefaultRelativePosition(spacing);
    m_stack.updateReconstruction();
    PLXStackSliceSpacingEvent event(m_stack);
    PLXEventServer::notifyEvent(event);
}

void PLXStackPropertiesDialog::applyCalibration(const PixelCalibration& calibration)
{
    const PixelCalibration old = m_stack.getDefaultPixelCalibration();
    SliceQuestion question(this, QStringLiteral("Changing image calibration"),
                           QStringLiteral(": calibration differed from default stack image calibration.\n"
                                          "Set calibration to new value?"));
    for (int i = 0; i < m_stack.getNumSlices(); ++i) {
        StackSlice& slice = *m_stack.getSlice(i);
        if (slice.getPixelCalibration() == old || question.ask(slice)) {
            slice.setPixelCalibration(calibration);
            PLXSliceImageCalibrationEvent event(slice);
            PLXEventServer::notifyEvent(event);
        }
    }
    m_stack.setDefaultPixelCalibration(calibration);
    m_stack.updateReconstruction();
    PLXStackImageCalibrationEvent event(m_stack);
    PLXEventServer::notifyEvent(event);
}
