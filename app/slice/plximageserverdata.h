#pragma once
// PLXImageServerData: one loading job of an image server, shared by every
// proxy of one image source.
//
// Running the job reads the image in the job's reader thread, gives it to the
// proxies, then makes its reduced copies in the job's resizer thread (see
// PLXImageResizer: a pyramid without a base size, one copy fitting the base
// size otherwise, which then replaces the full image) and gives each to the
// proxies as it comes. Results arrive through queued signals, so proxies are
// only ever touched in the GUI thread, which never waits on the work itself.
//
// The job is a progress subject: its proxies and its server monitor it. It
// announces started, the read's progress, then finished (also after a failed
// read, whose text the proxies receive) or canceled. A late proxy gets the
// images made so far at once.

#include "app/slice/plximagepointer.h"
#include "numerics/progresssubject.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThread>

#include <memory>

class ImageSource;
class PLXImageProxy;
class PLXImageReader;
class PLXImageResizer;

class PLXImageServerData : public QObject, public ProgressSubject {
    Q_OBJECT
public:
    enum class State { Pending, Reading, Resizing, Finished, Failed, Canceled };

    // key: the key of the proxies that share the job (PLXImageProxy::key);
    // baseSize: the target of the reduced copy, empty for a pyramid.
    PLXImageServerData(const ImageSource& source, const QString& key, const QSize& baseSize,
                       QObject* parent = nullptr);
    // Stops the work (cancelling it) and waits for both threads.
    ~PLXImageServerData() override;

    const QString& key() const { return m_key; }
    const ImageSource& getImageSource() const { return *m_source; }
    State getState() const { return m_state; }
    // Reading or resizing.
    bool isRunning() const { return m_state == State::Reading || m_state == State::Resizing; }
    // A worker thread still runs (a cancelled job winds down).
    bool isBusy() const;

    // A proxy already attached is ignored; otherwise it monitors the job and
    // receives at once what the job holds.
    void attachProxy(PLXImageProxy& proxy);
    void detachProxy(PLXImageProxy& proxy);
    int numProxys() const;
    bool hasProxy(const PLXImageProxy& proxy) const;
    QList<PLXImageProxy*> getProxys() const;

    // Starts the reader thread (a pending job only).
    void run();
    // Stops the reader or the resizer. A job with no thread running reports
    // the cancellation at once, otherwise when its thread has stopped.
    void cancel() override;

    // The full image (null until read; after a reduction to the base size,
    // the reduced image) and the reduced copies, largest first.
    PLXImagePointer getFullImage() const { return m_fullImage; }
    QList<PLXImagePointer> getReducedImages() const { return m_reducedImages; }
    const QString& getErrorText() const { return m_error; }

    // Every proxy holds exactly the job's images now.
    void notifyProxysUpdateImage();
    // Every proxy forgets its images.
    void notifyProxysRemoveImage();

    // The server lets go of the job: it cancels its work and deletes itself
    // (later) once no thread of its runs. Nothing is reported any more.
    void dispose();

public slots:
    // A reduced copy from the resizer: kept and given to every proxy.
    void reducedImageAvailable(PLXImagePointer image);

private slots:
    void readerProgressed(unsigned int i, unsigned int n);
    void readerFinished();
    void resizedImageChanged(PLXImagePointer image);
    void resizerFinished();

private:
    void finish(State state);
    // Stops the thread, which has ended its work or is about to.
    static void stop(QThread& thread);

    std::unique_ptr<ImageSource> m_source;
    QString m_key;
    QSize m_baseSize;
    State m_state = State::Pending;
    bool m_canceled = false;
    bool m_disposed = false;

    mutable QMutex m_mutex; // the proxy list and the thread starts
    QList<PLXImageProxy*> m_proxies;

    PLXImagePointer m_fullImage;
    QList<PLXImagePointer> m_reducedImages;
    QString m_error;
    int m_range = 0;

    PLXImageReader* m_reader = nullptr;
    QThread m_readerThread;
    PLXImageResizer* m_resizer = nullptr;
    QThread m_resizerThread;
};
