#pragma once
// PLXFrameWriter: saves the frames of a video as PNG images "0001.png",
// "0002.png", ... in a directory, each in a worker thread, so that the GUI
// thread only grabs the frames: write() waits for the previous frame's
// writer, then starts the next one and returns at once.
//
// Frames are kept at the first frame's size (later ones of another size,
// after the view was resized, are scaled in the worker): a video has one
// size. The first failure is kept (getError()); later frames are then not
// written.

#include <QFuture>
#include <QImage>
#include <QSize>
#include <QString>

class PLXFrameWriter {
public:
    explicit PLXFrameWriter(const QString& directory);
    // Waits for the frame being written.
    ~PLXFrameWriter();
    PLXFrameWriter(const PLXFrameWriter&) = delete;
    PLXFrameWriter& operator=(const PLXFrameWriter&) = delete;

    // Waits for the previous frame, then writes image as the next one.
    void write(const QImage& image);
    // Waits for the frame being written; true when every frame was written.
    bool finish();
    // Forgets the frames counted (the files are the caller's to remove).
    void restart();

    const QString& getDirectory() const { return m_directory; }
    int getNumFrames() const { return m_count; }
    QSize getFrameSize() const { return m_size; }
    bool hasFailed() const { return !m_error.isEmpty(); }
    const QString& getError() const { return m_error; }

    // The file of frame index (from 1): directory + "/%04d.png".
    static QString frameName(const QString& directory, int index);

private:
    void collect();

    QString m_directory;
    int m_count = 0;
    QSize m_size;
    QFuture<QString> m_pending;
    QString m_error;
};
