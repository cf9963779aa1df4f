#pragma once
// PLXVideoEncoder: makes a video file from a directory of PNG frames
// ("0001.png", "0002.png", ...) with the external encoder (ffmpeg), started
// with an argument list, never through a shell, so that no file name is
// ever read as a command.
//
// The video is H.264 (libx264, yuv420p, the frame size padded to even
// numbers) at the frame rate asked for, in the container of the output's
// extension (mp4, mov, avi, flv or mpg). It is written to a temporary file
// beside the output and renamed onto it only once the encoder has succeeded:
// a failed or cancelled encoding leaves no partial file and an existing
// output untouched.
//
// encode() runs the encoder in a worker thread with a progress dialog whose
// Cancel stops it; the window keeps repainting meanwhile.

#include <QString>
#include <QStringList>

class QWidget;

class PLXVideoEncoder {
public:
    explicit PLXVideoEncoder(const QString& program = QStringLiteral("ffmpeg"));

    // The encoder's arguments for frames pattern (a printf-like "%04d"
    // pattern) numbered from first, at fps frames per second, into output.
    static QStringList arguments(const QString& pattern, int first, int fps, const QString& output);
    // The output extensions known, and the save dialog's filters for them.
    static QStringList extensions();
    static QString nameFilter();
    // name with ".mp4" appended unless it ends in a known extension.
    static QString withKnownExtension(const QString& name);

    // Makes output from frames 1 .. numFrames of directory. False on failure
    // (getError() says why) or when the user cancelled (wasCanceled()).
    bool encode(const QString& directory, int numFrames, int fps, const QString& output,
                QWidget* parent = nullptr);

    const QString& getProgram() const { return m_program; }
    const QString& getError() const { return m_error; }
    bool wasCanceled() const { return m_canceled; }

private:
    QString m_program;
    QString m_error;
    bool m_canceled = false;
};
