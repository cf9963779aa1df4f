#include "app/tools/plxstackpropertiesdialog.h"

#include "app/plxevent.h"
#include "app/plxpropertiesaction.h"
#include "app/plxeventserver.h"
#include "app/plxstack.h"
#include "app/tools/plxstackpropertieseditor.h"
#include "gl/dialogs.h"
#include "stack/stackslice.h"

#include <QCheckBox>
#include <QComboBox>

#include <utility>

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
    : PLXPropertiesDialog(PLXStackPropertiesEditor::StackProperties, QStringLiteral("Stack properties"), parent),
      m_stack(stack)
{
    connect(getEditor()->getLengthUnitBox(), &QComboBox::activated, this, &PLXStackPropertiesDialog::edited);
    connect(getEditor()->getAbsolutePathBox(), &QCheckBox::clicked, this, &PLXStackPropertiesDialog::edited);
    reset();
}

void PLXStackPropertiesDialog::load()
{
    getEditor()->setStack(m_stack);
}

void PLXStackPropertiesDialog::applyChanges()
{
    PLXPropertiesAction::State before = PLXPropertiesAction::stateOf(m_stack);
    PLXStackPropertiesEditor& editor = *getEditor();
    const std::string name = editor.getName().simplified().toStdString();
    if (name != m_stack.getName()) {
        m_stack.setName(name);
        PLXStackNameEvent event(m_stack);
        PLXEventServer::notifyEvent(event);
    }
    const LengthUnit unit = editor.getLengthUnit();
    if (!(unit == m_stack.getLengthUnit())) {
        m_stack.setLengthUnit(unit);
        m_stack.setModified(true);
    }
    const float spacing = editor.getSliceSpacing();
    if (spacing != getShownSpacing() && spacing != m_stack.getDefaultRelativePosition())
        applySpacing(spacing);
    const PixelCalibration calibration = editor.getPixelCalibration();
    if (calibration != getShownCalibration() && calibration != m_stack.getDefaultPixelCalibration())
        applyCalibration(calibration);
    if (editor.getAbsoluteImagesPath() != m_stack.getAbsoluteImagesPathPolicy()) {
        m_stack.setAbsoluteImagesPathPolicy(editor.getAbsoluteImagesPath());
        m_stack.setModified(true);
    }
    PLXPropertiesAction::record(m_stack, std::move(before), QStringLiteral("Stack properties change"));
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
