#include "app/tools/plxslicepropertiesdialog.h"

#include "app/plxevent.h"
#include "app/plxeventclient.h"
#include "app/plxeventserver.h"
#include "app/tools/plxstackpropertieseditor.h"
#include "stack/stackslice.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

PLXSlicePropertiesDialog::PLXSlicePropertiesDialog(StackSlice& slice, QWidget* parent)
    : QDialog(parent), m_slice(slice),
      m_editor(new PLXStackPropertiesEditor(PLXStackPropertiesEditor::SliceProperties, this)),
      m_apply(new QPushButton(QStringLiteral("Apply"), this)), m_reset(new QPushButton(QStringLiteral("Reset"), this)),
      m_close(new QPushButton(QStringLiteral("Close"), this))
{
    setWindowTitle(QStringLiteral("Slice properties"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_editor);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {m_apply, m_reset, m_close}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    connect(m_editor, &PLXStackPropertiesEditor::changed, this, &PLXSlicePropertiesDialog::edited);
    connect(m_apply, &QPushButton::clicked, this, &PLXSlicePropertiesDialog::apply);
    connect(m_reset, &QPushButton::clicked, this, &PLXSlicePropertiesDialog::reset);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    reset();
}

void PLXSlicePropertiesDialog::reset()
{
    m_editor->setSlice(m_slice);
    m_shownSpacing = m_editor->getSliceSpacing();
    m_shownCalibration = m_editor->getPixelCalibration();
    m_apply->setEnabled(false);
    m_reset->setEnabled(false);
}

void PLXSlicePropertiesDialog::edited()
{
    const bool valid = m_editor->isValid();
    m_apply->setEnabled(valid);
    m_reset->setEnabled(valid);
}

void PLXSlicePropertiesDialog::apply()
{
    if (!m_editor->isValid())
        return;
    PLXEventClient::enableEventBatch(true);
    try {
        const std::string name = m_editor->getName().simplified().toStdString();
        if (name != m_slice.getName()) {
            m_slice.setName(name);
            PLXSliceNameEvent event(m_slice);
            PLXEventServer::notifyEvent(event);
        }
        const float spacing = m_editor->getSliceSpacing();
        if (spacing != m_shownSpacing && spacing != m_slice.getRelativePosition()) {
            m_slice.setRelativePosition(spacing);
            PLXSliceSpacingEvent event(m_slice);
            PLXEventServer::notifyEvent(event);
        }
        PixelCalibration calibration = m_editor->getPixelCalibration();
        calibration.setLengthUnit(m_slice.getPixelCalibration().getLengthUnit());
        if (calibration != m_shownCalibration && calibration != m_slice.getPixelCalibration()) {
            m_slice.setPixelCalibration(calibration);
            PLXSliceImageCalibrationEvent event(m_slice);
            PLXEventServer::notifyEvent(event);
        }
    } catch (...) {
        PLXEventClient::enableEventBatch(false);
        throw;
    }
    PLXEventClient::enableEventBatch(false);
    reset();
}
