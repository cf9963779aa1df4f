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

#include <QDialog>

#include "image/pixelcalibration.h"

class PLXStack;
class PLXStackPropertiesEditor;
class QPushButton;
class StackSlice;

class PLXStackPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PLXStackPropertiesDialog(PLXStack& stack, QWidget* parent = nullptr);

    PLXStack& getStack() const { return m_stack; }
    PLXStackPropertiesEditor* getEditor() const { return m_editor; }
    QPushButton* getApplyButton() const { return m_apply; }
    QPushButton* getResetButton() const { return m_reset; }
    QPushButton* getCloseButton() const { return m_close; }

public slots:
    void apply();
    // Shows the stack's properties again.
    void reset();

private:
    void edited();
    void applySpacing(float spacing);
    void applyCalibration(const PixelCalibration& calibration);

    PLXStack& m_stack;
    PLXStackPropertiesEditor* m_editor;
    QPushButton* m_apply;
    QPushButton* m_reset;
    QPushButton* m_close;
    // What the fields read just after the stack was shown: a field the user
    // did not change applies nothing, whatever rounding its text carries.
    float m_shownSpacing = 0.0f;
    PixelCalibration m_shownCalibration;
};
