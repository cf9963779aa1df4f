#pragma once
// PLXSlicePropertiesDialog: "Slice properties", the slice properties editor
// (name, spacing from the previous slice, pixel calibration) above "Apply",
// "Reset" and "Close". Apply sends, in one event batch, a slice name, slice
// spacing and slice image calibration event for each value that changed;
// the application stack follows them (reconstruction, modified flag).

#include <QDialog>

#include "image/pixelcalibration.h"

class PLXStackPropertiesEditor;
class QPushButton;
class StackSlice;

class PLXSlicePropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PLXSlicePropertiesDialog(StackSlice& slice, QWidget* parent = nullptr);

    StackSlice& getSlice() const { return m_slice; }
    PLXStackPropertiesEditor* getEditor() const { return m_editor; }
    QPushButton* getApplyButton() const { return m_apply; }
    QPushButton* getResetButton() const { return m_reset; }
    QPushButton* getCloseButton() const { return m_close; }

public slots:
    void apply();
    void reset();

private:
    void edited();

    StackSlice& m_slice;
    PLXStackPropertiesEditor* m_editor;
    QPushButton* m_apply;
    QPushButton* m_reset;
    QPushButton* m_close;
    float m_shownSpacing = 0.0f;
    PixelCalibration m_shownCalibration;
};
