#pragma once
// PLXStackPropertiesDialog: "Stack properties", the stack properties editor
// above "Apply", "Reset" and "Close". Apply and Reset are enabled after an
// edit that leaves the name, the spacing and the calibration valid.
//
// Apply changes only what differs from the stack, in one event batch: the
// name, the length unit, the default slice spacing, the default pixel
// calibration and the image-path policy. A new default spacing (calibration)
// is taken silently by the slices that followed the old default; for each
// other slice the user is asked "Changing slice spacing" ("Changing image
// calibration") with Yes, Yes to All and No, No the default.

#include "app/tools/plxpropertiesdialog.h"

class PLXStack;

class PLXStackPropertiesDialog : public PLXPropertiesDialog {
    Q_OBJECT
public:
    explicit PLXStackPropertiesDialog(PLXStack& stack, QWidget* parent = nullptr);

    PLXStack& getStack() const { return m_stack; }

protected:
    void load() override;
    void applyChanges() override;

private:
    void applySpacing(float spacing);
    void applyCalibration(const PixelCalibration& calibration);

    PLXStack& m_stack;
};
