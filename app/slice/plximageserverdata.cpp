#include "app/slice/plximageserverdata.h"

#include "app/slice/plximageproxy.h"
#include "app/slice/plximagereader.h"
#include "app/slice/plximageresizer.h"
#include "image/imagesource.h"

#include <QMutexLocker>

PLXImageServerData::PLXImageServerData(const ImageSource& source, const QString& key, const QSize& baseSize,
                                       QObject* parent)
    : QObject(parent), m_source(source.clone()), m_key(key), m_baseSize(baseSize)
{
    qRegisterMetaType<PLXImagePointer>();
    m_readerThread.setObjectName(QStringLiteral("Image reader"));
    m_resizerThread.setObjectName(QStringLiteral("Image resizer"));
}

PLXImageServerData::~PLXImageServerData()
{
    if (m_reader)
        m_reader->cancel();
    if (m_resizer)
        m_resizer->cancel();
    stop(m_readerThread);
    stop(m_resizerThread);
    delete m_reader;
    delete m_resizer;
}

void PLXImageServerData::stop(QThread& thread)
{
    thread.quit();
    thread.wait();
}

bool PLXImageServerData::isBusy() const
{
    return m_reader != nullptr || m_resizer != nullptr;
}

QList<PLXImageProxy*> PLXImageServerData::getProxys() const
{
    QMutexLocker lock(&m_mutex);
    return m_proxies;
}

void PLXImageServerData::attachProxy(PLXImageProxy& proxy)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_proxies.contains(&proxy))
            return;
        m_proxies.append(&proxy);
    }
    addMonitor(proxy);
    if (isRunning())
        proxy.ProgressMonitor::subjectStarted(*this, "Loading");
    if (m_fullImage) {
        proxy.setLevelRange(m_range);
        proxy.setImage(m_fullImage);
        for (const PLXImagePointer& image : m_reducedImages)
            proxy.setImage(image);
    }
    if (m_state == State::Failed)
        proxy.setFailed(m_error);
    if (m_state == State::Finished || m_state == State::Failed)
        proxy.ProgressMonitor::subjectFinished(*this, "Loaded");
}

void PLXImageServerData::detachProxy(PLXImageProxy& proxy)
{
    {
        QMutexLocker lock(&m_mutex);
        if (!m_proxies.removeOne(&proxy))
            return;
    }
    removeMonitor(proxy);
}

int PLXImageServerData::numProxys() const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_proxies.size());
}

bool PLXImageServerData::hasProxy(const PLXImageProxy& proxy) const
{
    QMutexLocker lock(&m_mutex);
    return m_proxies.contains(const_cast<PLXImageProxy*>(&proxy));
}

void PLXImageServerData::run()
{
    if (m_state != State::Pending || m_canceled)
        return;
    m_state = State::Reading;
    notifyStarted("Loading " + m_key.toStdString());
    m_reader = new PLXImageReader(*m_source);
    m_reader->moveToThread(&m_readerThread);
    connect(&m_readerThread, &QThread::started, m_reader, &PLXImageReader::run);
    connect(m_reader, &PLXImageReader::progressed, this, &PLXImageServerData::readerProgressed,
            Qt::QueuedConnection);
    connect(m_reader, &PLXImageReader::finished, this, &PLXImageServerData::readerFinished,
            Qt::QueuedConnection);
    QMutexLocker lock(&m_mutex);
    m_readerThread.start();
}

void PLXImageServerData::readerProgressed(unsigned int i, unsigned int n)
{
    if (!m_canceled)
        notifyProgressed(i, n);
}

void PLXImageServerData::readerFinished()
{
    if (!m_reader)
        return;
    stop(m_readerThread);
    std::shared_ptr<Image> image = m_reader->takeImage();
    const QString error = m_reader->getErrorText();
    const int range = m_reader->getLevelRange();
    delete m_reader;
    m_reader = nullptr;
    if (m_disposed) {
        deleteLater();
        return;
    }
    if (image && !m_canceled) {
        m_fullImage = std::move(image);
        m_range = range;
        for (PLXImageProxy* proxy : getProxys()) {
            proxy->setLevelRange(m_range);
            proxy->setImage(m_fullImage);
        }
    }
    // A proxy's reaction may have cancelled or disposed of the job.
    if (m_disposed) {
        deleteLater();
        return;
    }
    if (m_canceled) {
        finish(State::Canceled);
        return;
    }
    if (!m_fullImage) {
        m_error = error.isEmpty() ? QStringLiteral("The image could not be read") : error;
        for (PLXImageProxy* proxy : getProxys())
            proxy->setFailed(m_error);
        finish(State::Failed);
        return;
    }
    m_state = State::Resizing;
    m_resizer = new PLXImageResizer(m_fullImage, m_baseSize);
    m_resizer->moveToThread(&m_resizerThread);
    connect(&m_resizerThread, &QThread::started, m_resizer, &PLXImageResizer::run);
    connect(m_resizer, &PLXImageResizer::imageAvailable, this, &PLXImageServerData::reducedImageAvailable,
            Qt::QueuedConnection);
    connect(m_resizer, &PLXImageResizer::imageChanged, this, &PLXImageServerData::resizedImageChanged,
            Qt::QueuedConnection);
    connect(m_resizer, &PLXImageResizer::finished, this, &PLXImageServerData::resizerFinished,
            Qt::QueuedConnection);
    QMutexLocker lock(&m_mutex);
    m_resizerThread.start();
}

void PLXImageServerData::reducedImageAvailable(PLXImagePointer image)
{
    if (m_canceled || m_disposed || !image)
        return;
    m_reducedImages.append(image);
    for (PLXImageProxy* proxy : getProxys())
        proxy->setImage(image);
}

void PLXImageServerData::resizedImageChanged(PLXImagePointer image)
{
    if (m_canceled || m_disposed || !image)
        return;
    m_fullImage = std::move(image);
    m_reducedImages.clear();
    notifyProxysUpdateImage();
}

void PLXImageServerData::resizerFinished()
{
    if (!m_resizer)
        return;
    stop(m_resizerThread);
    delete m_resizer;
    m_resizer = nullptr;
    if (m_disposed) {
        deleteLater();
        return;
    }
    finish(m_canceled ? State::Canceled : State::Finished);
}

void PLXImageServerData::finish(State state)
{
    m_state = state;
    if (state == State::Canceled)
        notifyCanceled("Loading canceled");
    else
        notifyFinished(state == State::Failed ? "Loading failed" : "Loaded");
}

void PLXImageServerData::cancel()
{
    if (m_canceled || m_state == State::Finished || m_state == State::Failed || m_state == State::Canceled)
        return;
    m_canceled = true;
    ProgressSubject::cancel();
    if (m_reader)
        m_reader->cancel();
    if (m_resizer)
        m_resizer->cancel();
    if (!isBusy())
        finish(State::Canceled);
}

void PLXImageServerData::dispose()
{
    if (m_disposed)
        return;
    m_disposed = true;
    for (PLXImageProxy* proxy : getProxys())
        detachProxy(*proxy);
    m_canceled = true;
    ProgressSubject::cancel();
    if (m_reader)
        m_reader->cancel();
    if (m_resizer)
        m_resizer->cancel();
    if (!isBusy())
        deleteLater();
}

void PLXImageServerData::notifyProxysUpdateImage()
{
    QList<PLXImagePointer> images;
    if (m_fullImage)
        images.append(m_fullImage);
    images.append(m_reducedImages);
    for (PLXImageProxy* proxy : getProxys())
        proxy->replaceImages(images);
}

void PLXImageServerData::notifyProxysRemoveImage()
{
    for (PLXImageProxy* proxy : getProxys())
        proxy->replaceImages({});
}
