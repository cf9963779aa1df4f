#pragma once
// PLXImageResizer: makes the reduced copies of one image in a worker thread.
//
// Without a target size it builds a pyramid: it halves the last image again
// and again (each pixel the rounded mean of a 2 x 2 block) and publishes each
// half through imageAvailable(), and stops once the last image is narrower
// or lower than 64 pixels (an image that small gets no half at all). With a
// target size it makes one copy of the largest size that fits the target
// with the image's proportions, smoothing first with a box mean when the
// image is more than twice as wide, and publishes it through imageChanged():
// the copy replaces the image it was made from. Cancelling stops it between
// two rows of work.

#include "app/slice/plximagepointer.h"

#include <QObject>
#include <QSize>

#include <atomic>

class PLXImageResizer : public QObject {
    Q_OBJECT
public:
    // Images narrower or lower than this are not halved.
    static constexpr int minimumSize = 64;

    PLXImageResizer(PLXImagePointer image, const QSize& targetSize, QObject* parent = nullptr);

    // Any thread.
    void cancel() { m_canceled = true; }
    bool isCanceled() const { return m_canceled; }

    // The largest size of the proportions of `size` that fits `target`
    // (at least 1 x 1; size itself when target is empty).
    static QSize fittingSize(const QSize& size, const QSize& target);
    // Half of image (sizes rounded down), every depth; an indexed image keeps
    // its colormap and takes the top-left pixel of each block. Returns an
    // empty image when cancel becomes true.
    static Image halve(const Image& image, const std::atomic<bool>* cancel = nullptr);
    // image resampled bilinearly to width x height (indexed: nearest pixel).
    static Image resize(const Image& image, int width, int height, const std::atomic<bool>* cancel = nullptr);

public slots:
    void run();

signals:
    void imageAvailable(PLXImagePointer image);
    void imageChanged(PLXImagePointer image);
    void finished();

private:
    void buildPyramid();
    void reduceToTarget();

    PLXImagePointer m_image;
    QSize m_target;
    std::atomic<bool> m_canceled{false};
};
