#pragma once
// PLXStackPropertiesEditor: the properties of a stack or of one slice, as
// the properties dialogs and the new-stack dialog edit them. A group titled
// "Stack properties" (or "Slice properties") with the name ("Stack name" or
// "Slice name"), for a stack the "Length unit" (the units with a known
// prefix, by name), the "Slice spacing" (a number, "1.0" at first), for a
// stack "Store absolute path to images", and the pixel calibration.
// Emits changed() on every edit; the valid* predicates tell whether the
// fields can be applied.

#include "image/lengthunit.h"
#include "image/pixelcalibration.h"

#include <QString>
#include <QWidget>

class PLXPixelCalibrationEditor;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class Stack;
class StackSlice;

class PLXStackPropertiesEditor : public QWidget {
    Q_OBJECT
public:
    enum Kind { StackProperties, SliceProperties };

    explicit PLXStackPropertiesEditor(Kind kind, QWidget* parent = nullptr);
    Kind getKind() const { return m_kind; }

    // Fills the fields from a stack (its defaults) or from a slice.
    void setStack(const Stack& stack);
    void setSlice(const StackSlice& slice);

    void setName(const QString& name);
    // As typed; validName() simplifies its white space.
    QString getName() const;
    void setLengthUnit(const LengthUnit& unit);
    // The unit chosen (stacks); the calibration's unit for slices.
    LengthUnit getLengthUnit() const;
    void setSliceSpacing(float spacing);
    // 0 when the text holds no number.
    float getSliceSpacing() const;
    void setAbsoluteImagesPath(bool on);
    bool getAbsoluteImagesPath() const;
    // The calibration edited, in the length unit chosen.
    void setPixelCalibration(const PixelCalibration& calibration);
    PixelCalibration getPixelCalibration() const;

    bool validName() const;
    bool validSliceSpacing() const;
    bool validPixelCalibration() const;
    bool isValid() const { return validName() && validSliceSpacing() && validPixelCalibration(); }

    QGroupBox* getGroup() const { return m_group; }
    QLineEdit* getNameField() const { return m_name; }
    QComboBox* getLengthUnitBox() const { return m_unit; }
    QLineEdit* getSliceSpacingField() const { return m_spacing; }
    QCheckBox* getAbsolutePathBox() const { return m_absolute; }
    PLXPixelCalibrationEditor* getPixelCalibrationEditor() const { return m_calibration; }

signals:
    void changed();

private:
    Kind m_kind;
    QGroupBox* m_group;
    QLineEdit* m_name;
    QComboBox* m_unit;
    QLineEdit* m_spacing;
    QCheckBox* m_absolute;
    PLXPixelCalibrationEditor* m_calibration;
};
