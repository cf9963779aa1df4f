#pragma once
// PLXRegistrationPanel: the controls of the registration window: the stack's
// name and slices, the two slices shown ("Background", "Foreground"), the
// registration being edited ("Hor. shift", "Ver. shift" in image pixels,
// "Rot. angle" in degrees, 0.0 to 359.9 by tenths, wrapping), navigation
// ("First", "Prev", "Next", "Last"), display ("Bigger", "Smaller", "Display
// frames", "Transparency mode:") and "Reset", "Apply", "Restore", "Close".
//
// The panel holds no logic: each control emits its signal, and any edit of
// the shifts or the angle emits registrationChanged() with the registration
// made of the three fields. What the mediator shows through setRegistration()
// emits nothing.

#include "stack/registration.h"

#include <QString>
#include <QWidget>

class PLXSliceListWidget;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Stack;
class StackSlice;

class PLXRegistrationPanel : public QWidget {
    Q_OBJECT
public:
    explicit PLXRegistrationPanel(QWidget* parent = nullptr);

    // Shows the stack's name and lists its slices (null: none).
    void setStack(Stack* stack);
    // The stack's slices were inserted, deleted or renamed.
    void updateStack();
    // Shows the two slices (null: none) and selects the foreground in the list.
    void setSlices(const StackSlice* background, const StackSlice* foreground);
    // Shows the registration without emitting anything.
    void setRegistration(const Registration& registration);
    // The registration of the three fields.
    Registration getRegistration() const;
    void setRestoreEnabled(bool on);

    PLXSliceListWidget* getSliceList() const { return m_slices; }
    QLabel* getStackLabel() const { return m_stackName; }
    QLineEdit* getBackgroundField() const { return m_background; }
    QLineEdit* getForegroundField() const { return m_foreground; }
    QLineEdit* getHorizontalShiftField() const { return m_horizontalShift; }
    QLineEdit* getVerticalShiftField() const { return m_verticalShift; }
    QDoubleSpinBox* getAngleBox() const { return m_angle; }
    QCheckBox* getFramesBox() const { return m_frames; }
    QComboBox* getTransparencyBox() const { return m_transparency; }
    // The buttons by their text ("First", ..., "Apply", "Close").
    QPushButton* getButton(const QString& text) const;

signals:
    void sliceClicked(const QString& name);
    void registrationChanged(const Registration& registration);
    void firstClicked();
    void previousClicked();
    void nextClicked();
    void lastClicked();
    void biggerClicked();
    void smallerClicked();
    void resetClicked();
    void applyClicked();
    void restoreClicked();
    void cancelClicked();
    void transparencyModeChanged(int mode);
    void framesEnabled(bool on);

private:
    void fieldsEdited();
    QPushButton* addButton(const QString& text, void (PLXRegistrationPanel::*signal)());

    QLabel* m_stackName;
    PLXSliceListWidget* m_slices;
    QLineEdit* m_background;
    QLineEdit* m_foreground;
    QLineEdit* m_horizontalShift;
    QLineEdit* m_verticalShift;
    QDoubleSpinBox* m_angle;
    QCheckBox* m_frames;
    QComboBox* m_transparency;
    QList<QPushButton*> m_buttons;
    bool m_emitting = false;
};
