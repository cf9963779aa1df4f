#pragma once
// PLXSlicePropertiesDialog: "Slice properties", the slice properties editor
// (name, spacing from the previous slice, pixel calibration) above "Apply",
// "Reset" and "Close". Apply sends, in one event batch, a slice name, slice
// spacing and slice image calibration event for each value that changed;
// the application stack follows them (reconstruction, modified flag).

#include "app/tools/plxpropertiesdialog.h"

class StackSlice;

class PLXSlicePropertiesDialog : public PLXPropertiesDialog {
    Q_OBJECT
public:
    explicit PLXSlicePropertiesDialog(StackSlice& slice, QWidget* parent = nullptr);

    StackSlice& getSlice() const { return m_slice; }

protected:
    void load() override;
    void applyChanges() override;

private:
    StackSlice& m_slice;
};
