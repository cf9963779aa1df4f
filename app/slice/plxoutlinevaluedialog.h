#pragma once
// PLXOutlineValueDialog: the dialog of the outline tools: one integer value,
// with a slider and a spin box kept together, OK and Cancel. Every change
// is announced at once (valueChanged) for the live preview.

#include <QDialog>

class QSlider;
class QSpinBox;

class PLXOutlineValueDialog : public QDialog {
    Q_OBJECT
public:
    PLXOutlineValueDialog(const QString& title, const QString& label, int minimum, int maximum, int value,
                          QWidget* parent = nullptr);

    int getValue() const;
    void setValue(int value);
    QSpinBox* getSpinBox() const { return m_spin; }

signals:
    void valueChanged(int value);

private:
    QSpinBox* m_spin;
    QSlider* m_slider;
};
