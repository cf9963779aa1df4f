#pragma once
// PLXSpotThresholdDialog: "Spot extraction": the range of the filtered
// volume ("Minimum: ", "Maximum: ") and a "Threshold:" slider over the
// volume stretched to 0..255, with the grey level it stands for in the
// filtered volume. Moving the slider emits thresholdChanged (the preview
// follows it); OK accepts the threshold, Cancel ends the extraction.

#include <QDialog>

class QLabel;
class QSlider;

class PLXSpotThresholdDialog : public QDialog {
    Q_OBJECT
public:
    PLXSpotThresholdDialog(double minimum, double maximum, int threshold, QWidget* parent = nullptr);

    int getThreshold() const;
    void setThreshold(int threshold);
    QSlider* getSlider() const { return m_slider; }
    QLabel* getValueLabel() const { return m_value; }

signals:
    void thresholdChanged(int threshold);

private:
    void showValue(int threshold);

    double m_minimum;
    double m_maximum;
    QSlider* m_slider;
    QLabel* m_value;
};
