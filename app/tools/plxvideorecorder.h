#pragma once
// PLXVideoRecorder: the dialog that records a video of the 3D view as the
// user turns and moves it ("Create Video Dialog"): the frame rate ("Frame
// per seconds", 20 fps unless changed), the number of frames and the
// duration recorded so far, and "Record", "Stop", "Cancel".
//
// The frames go to a temporary directory of their own, made when the dialog
// opens. "Record" grabs the view at the frame rate; each frame is written by
// a worker thread (PLXFrameWriter) while the user goes on. "Stop" asks for
// the video file (cancelling discards the recording) and makes the video
// with the encoder (PLXVideoEncoder); the frames are then removed, as they
// are when the dialog is cancelled or closed.
//
// The dialog is modeless: the view stays in the user's hands while it
// records.

#include <QDialog>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

class PLXFrameWriter;
class QLabel;
class QPushButton;
class QSpinBox;
class ViewerCanvasGL;

class PLXVideoRecorder : public QDialog {
    Q_OBJECT
public:
    // canvas: the view recorded; program: the encoder; suggestedName: the
    // video file the save dialog proposes.
    PLXVideoRecorder(ViewerCanvasGL& canvas, const QString& program, const QString& suggestedName,
                     QWidget* parent = nullptr);
    ~PLXVideoRecorder() override;

    // False when the frame directory could not be made (the dialog is then
    // of no use).
    bool isValid() const;
    QString getFrameDirectory() const;
    int getFrameRate() const;
    void setFrameRate(int fps);
    int getNumFrames() const;
    bool isRecording() const { return m_timer.isActive(); }
    // The error of the last failed video ("" after a success).
    const QString& getError() const { return m_error; }

    QPushButton* getRecordButton() const { return m_recordButton; }
    QPushButton* getStopButton() const { return m_stopButton; }
    QPushButton* getCancelButton() const { return m_cancelButton; }

public slots:
    // Starts (or resumes) grabbing frames.
    void record();
    // Stops grabbing, asks for the file and makes the video.
    void stop();
    // Stops and discards the recording.
    void reject() override;

signals:
    void videoWritten(const QString& file);

private slots:
    void grabFrame();

private:
    void discardFrames();
    void updateInformation();

    ViewerCanvasGL& m_canvas;
    QString m_program;
    QString m_suggestedName;
    QTemporaryDir m_directory;
    std::unique_ptr<PLXFrameWriter> m_writer;
    QTimer m_timer;
    QString m_error;
    QSpinBox* m_rate = nullptr;
    QLabel* m_frames = nullptr;
    QLabel* m_duration = nullptr;
    QPushButton* m_recordButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
