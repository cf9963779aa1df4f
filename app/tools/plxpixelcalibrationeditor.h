#pragma once
// PLXPixelCalibrationEditor: the size of a pixel as the user gives it: two of
// "Pixel width ", "Pixel height" and "Aspect ratio" (height / width), chosen
// in a combo box ("Pixel width  & Pixel height", "Aspect ratio & Pixel
// width ", "Aspect ratio & Pixel height"); the third field is disabled and
// derived. Numbers are read and shown with a decimal point whatever the
// user's locale. Emits changed() on every edit.

#include "image/pixelcalibration.h"

#include <QWidget>

class QComboBox;
class QLineEdit;

class PLXPixelCalibrationEditor : public QWidget {
    Q_OBJECT
public:
    // The pairs of the combo box, by index.
    enum Pair { WidthAndHeight = 0, RatioAndWidth = 1, RatioAndHeight = 2 };

    explicit PLXPixelCalibrationEditor(QWidget* parent = nullptr);

    // Shows the three values of the calibration (its unit is kept for
    // getPixelCalibration).
    void setPixelCalibration(const PixelCalibration& calibration);
    // The calibration made of the two given values, the third derived; the
    // unit of the last calibration set.
    PixelCalibration getPixelCalibration() const;
    // Both given fields hold numbers, positive and finite.
    bool validPixelCalibration() const;

    void setPair(Pair pair);
    Pair getPair() const;

    QLineEdit* getWidthField() const { return m_width; }
    QLineEdit* getHeightField() const { return m_height; }
    QLineEdit* getRatioField() const { return m_ratio; }
    QComboBox* getPairBox() const { return m_pair; }

    // The number in a field (false in ok when it holds none, or a value
    // that is not positive and finite).
    static float value(const QLineEdit& field, bool* ok);
    static QString format(float value);

signals:
    void changed();

private slots:
    void edited();
    void pairChosen();

private:
    QLineEdit* m_width;
    QLineEdit* m_height;
    QLineEdit* m_ratio;
    QComboBox* m_pair;
    LengthUnit m_unit;
};
