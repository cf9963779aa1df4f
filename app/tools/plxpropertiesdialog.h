#pragma once
// PLXPropertiesDialog: what the stack and slice properties dialogs share: the
// stack properties editor above "Apply", "Reset" and "Close", with their
// bookkeeping. After every edit Apply and Reset are both enabled when the
// name, the spacing and the calibration are valid, both disabled otherwise;
// Reset shows the document again and disables both; Apply runs the
// subclass's changes inside one event batch, then resets. Enter applies and
// closes (invalid edits stay open); Escape closes without applying.
//
// The spacing and calibration the fields read just after the document was
// shown are kept: a field the user did not change applies nothing, whatever
// rounding its text carries.

#include "app/tools/plxstackpropertieseditor.h"
#include "image/pixelcalibration.h"

#include <QDialog>

class QPushButton;

class PLXPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    PLXStackPropertiesEditor* getEditor() const { return m_editor; }
    QPushButton* getApplyButton() const { return m_apply; }
    QPushButton* getResetButton() const { return m_reset; }
    QPushButton* getCloseButton() const { return m_close; }

public slots:
    void apply();
    // Shows the document's properties again.
    void reset();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Subclasses call reset() at the end of their constructor.
    PLXPropertiesDialog(PLXStackPropertiesEditor::Kind kind, const QString& title, QWidget* parent);

    // Fills the editor from the document.
    virtual void load() = 0;
    // Applies what differs from the document (inside the event batch).
    virtual void applyChanges() = 0;
    void edited();

    float getShownSpacing() const { return m_shownSpacing; }
    const PixelCalibration& getShownCalibration() const { return m_shownCalibration; }

private:
    PLXStackPropertiesEditor* m_editor;
    QPushButton* m_apply;
    QPushButton* m_reset;
    QPushButton* m_close;
    float m_shownSpacing = 0.0f;
    PixelCalibration m_shownCalibration;
};
