#include "app/tools/plxslicepropertiesdialog.h"

#include "app/plxevent.h"
#include "app/plxeventserver.h"
#include "app/plxpropertiesaction.h"
#include "app/plxstack.h"
#include "stack/stackslice.h"

#include <utility>

PLXSlicePropertiesDialog::PLXSlicePropertiesDialog(StackSlice& slice, QWidget* parent)
    : PLXPropertiesDialog(PLXStackPropertiesEditor::SliceProperties, QStringLiteral("Slice properties"), parent),
      m_slice(slice)
{
    reset();
}

void PLXSlicePropertiesDialog::load()
{
    getEditor()->setSlice(m_slice);
}

void PLXSlicePropertiesDialog::applyChanges()
{
    auto* stack = dynamic_cast<PLXStack*>(m_slice.getStack());
    PLXPropertiesAction::State before;
    if (stack)
        before = PLXPropertiesAction::stateOf(*stack);
    PLXStackPropertiesEditor& editor = *getEditor();
    const std::string name = editor.getName().simplified().toStdString();
    if (name != m_slice.getName()) {
        m_slice.setName(name);
        PLXSliceNameEvent event(m_slice);
        PLXEventServer::notifyEvent(event);
    }
    const float spacing = editor.getSliceSpacing();
    if (spacing != getShownSpacing() && spacing != m_slice.getRelativePosition()) {
        m_slice.setRelativePosition(spacing);
        PLXSliceSpacingEvent event(m_slice);
        PLXEventServer::notifyEvent(event);
    }
    PixelCalibration calibration = editor.getPixelCalibration();
    calibration.setLengthUnit(m_slice.getPixelCalibration().getLengthUnit());
    if (calibration != getShownCalibration() && calibration != m_slice.getPixelCalibration()) {
        m_slice.setPixelCalibration(calibration);
        PLXSliceImageCalibrationEvent event(m_slice);
        PLXEventServer::notifyEvent(event);
    }
    if (stack)
        PLXPropertiesAction::record(*stack, std::move(before), QStringLiteral("Slice properties change"));
}
