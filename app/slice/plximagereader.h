#pragma once
// PLXImageReader: reads the image of one image source in a worker thread.
// The job that owns it moves it to the job's reader thread and starts run()
// when that thread starts; finished() tells the job (queued) that the image,
// or the failure, is ready to be taken.
//
// After the read, an indexed image loses its colormap: a colour image becomes
// 24-bit colour, a grey one keeps 8 bits with its grey levels as pixels. A
// cancelled read leaves no image.

#include "app/slice/plximagepointer.h"
#include "image/imagereader.h"
#include "numerics/progressmonitor.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class ImageSource;

class PLXImageReader : public QObject, public ProgressMonitor {
    Q_OBJECT
public:
    // Keeps a copy of source.
    explicit PLXImageReader(const ImageSource& source, QObject* parent = nullptr);
    ~PLXImageReader() override;

    // Any thread: the read stops before its next scanline.
    void cancel();
    bool isCanceled() const { return m_reader.isCanceled(); }

    // After finished(): the image read (null when cancelled or failed), and
    // the failure's text (empty unless the read failed).
    std::shared_ptr<Image> takeImage() { return std::move(m_image); }
    const QString& getErrorText() const { return m_error; }
    // The grey-level range of the image read (PLXDisplayImage::rangeOf),
    // found here so that no view has to scan the image.
    int getLevelRange() const { return m_range; }

    // Removes the colormap of an indexed image as described above.
    static void removeColormap(Image& image);

public slots:
    void run();

signals:
    // Step i of n, emitted at most once per percent.
    void progressed(unsigned int i, unsigned int n);
    void finished();

protected:
    void subjectProgressed(unsigned int i, unsigned int n) override;

private:
    std::unique_ptr<ImageSource> m_source;
    ImageReader m_reader;
    std::shared_ptr<Image> m_image;
    QString m_error;
    int m_range = 255;
    unsigned int m_lastPercent = 101;
};
