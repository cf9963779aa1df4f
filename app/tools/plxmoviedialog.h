#pragma once
// PLXMovieDialog: asks how long a one-click movie lasts and at what frame
// rate, showing the number of frames that makes.

#include <QDialog>

class QDoubleSpinBox;
class QLabel;
class QSpinBox;

class PLXMovieDialog : public QDialog {
    Q_OBJECT
public:
    // Seconds in 0.5 .. 600, frame rate in 1 .. 60.
    PLXMovieDialog(const QString& title, double seconds, int fps, QWidget* parent = nullptr);

    double getDuration() const;
    void setDuration(double seconds);
    int getFrameRate() const;
    void setFrameRate(int fps);
    int getNumFrames() const;

private:
    void updateFrames();

    QDoubleSpinBox* m_duration = nullptr;
    QSpinBox* m_rate = nullptr;
    QLabel* m_frames = nullptr;
};
