#include "app/slice/plximageproxy.h"

#include "app/slice/plxdisplayimage.h"
#include "app/slice/plximageserver.h"
#include "image/image.h"
#include "image/imagesource.h"
#include "image/imagesourcefile.h"
#include "image/imagesourcefilemosaic.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "numerics/exception.h"

PLXImageProxy::PLXImageProxy(QObject* parent) : QObject(parent) {}

PLXImageProxy::~PLXImageProxy()
{
    detachFromServer();
}

QString PLXImageProxy::key(const ImageSource& source)
{
    if (const auto* file = dynamic_cast<const ImageSourceFile*>(&source))
        return QStringLiteral("file:") + QString::fromStdString(file->getFilename());
    if (const auto* plane = dynamic_cast<const ImageSourceVoxelMatrixPlane*>(&source))
        return QStringLiteral("plane:%1:").arg(plane->getPlane()) +
               QString::fromStdString(plane->getVoxelMatrixFilename());
    if (const auto* mosaic = dynamic_cast<const ImageSourceFileMosaic*>(&source)) {
        QString text = QStringLiteral("mosaic:%1x%2").arg(mosaic->getRows()).arg(mosaic->getCols());
        for (int r = 0; r < mosaic->getRows(); ++r)
            for (int c = 0; c < mosaic->getCols(); ++c)
                text += QLatin1Char('\n') + QString::fromStdString(mosaic->getFilename(r, c));
        return text;
    }
    // A kind of source nobody else can name: shared by nobody.
    return QStringLiteral("source:%1").arg(reinterpret_cast<quintptr>(&source), 0, 16);
}

QString PLXImageProxy::key() const
{
    return m_key;
}

void PLXImageProxy::setImageSource(const ImageSource& source)
{
    QString newKey = key(source);
    if (m_source && newKey == m_key && !newKey.startsWith(QStringLiteral("source:")))
        return;
    const bool reattach = m_attached;
    detachFromServer();
    clearImage();
    m_source = source.clone();
    // Unnamed kinds of sources key on the proxy's own copy.
    m_key = newKey.startsWith(QStringLiteral("source:")) ? key(*m_source) : newKey;
    if (reattach)
        attachToServer();
}

void PLXImageProxy::clearImageSource()
{
    detachFromServer();
    clearImage();
    m_source.reset();
    m_key.clear();
}

void PLXImageProxy::setImageServer(PLXImageServer* server)
{
    if (server == m_server)
        return;
    detachFromServer();
    m_server = server;
}

PLXImageServer& PLXImageProxy::getImageServer() const
{
    if (!m_server)
        throw ProgramError("PLXImageServer& PLXImageProxy::getImageServer() const",
                           "This proxy has no image server");
    return *m_server;
}

void PLXImageProxy::clearImageServer()
{
    detachFromServer();
    m_server = nullptr;
}

void PLXImageProxy::attachToServer()
{
    if (m_attached || !m_server || !m_source)
        return;
    m_attached = true;
    m_server->attachProxy(*this);
}

void PLXImageProxy::detachFromServer()
{
    if (!m_attached)
        return;
    m_attached = false;
    m_loading = false;
    if (m_server)
        m_server->detachProxy(*this);
}

void PLXImageProxy::serverDestroyed()
{
    m_attached = false;
    m_loading = false;
    m_server = nullptr;
}

const Image& PLXImageProxy::getImage() const
{
    if (m_images.isEmpty())
        throw ProgramError("const Image& PLXImageProxy::getImage() const", "This proxy has no image");
    return *m_images.front();
}

int PLXImageProxy::indexFor(const QSize& size) const
{
    int i = 0;
    while (i + 1 < m_images.size() && m_images[i + 1]->getWidth() > size.width())
        ++i;
    return i;
}

const Image& PLXImageProxy::getImage(const QSize& size) const
{
    if (m_images.isEmpty())
        throw ProgramError("const Image& PLXImageProxy::getImage(const QSize&) const",
                           "This proxy has no image");
    return *m_images[indexFor(size)];
}

PLXImagePointer PLXImageProxy::getImagePointer() const
{
    return m_images.isEmpty() ? nullptr : m_images.front();
}

PLXImagePointer PLXImageProxy::getImagePointer(const QSize& size) const
{
    return m_images.isEmpty() ? nullptr : m_images[indexFor(size)];
}

void PLXImageProxy::setImage(const PLXImagePointer& image)
{
    if (image && !m_images.contains(image))
        m_images.append(image);
    emit imageChanged();
}

void PLXImageProxy::setImage(const Image& image)
{
    setImage(std::make_shared<const Image>(image));
}

int PLXImageProxy::getLevelRange() const
{
    if (m_range <= 0 && !m_images.isEmpty())
        m_range = PLXDisplayImage::rangeOf(*m_images.front());
    return m_range;
}

void PLXImageProxy::clearImage()
{
    m_error.clear();
    m_range = 0;
    m_loaded = false;
    if (m_images.isEmpty())
        return;
    m_images.clear();
    emit imageChanged();
}

void PLXImageProxy::replaceImages(const QList<PLXImagePointer>& images)
{
    m_images = images;
    emit imageChanged();
}

void PLXImageProxy::setFailed(const QString& text)
{
    m_error = text;
    emit loadingFailed(text);
}

void PLXImageProxy::subjectStarted(const std::string&)
{
    m_loading = true;
    m_loaded = false;
    emit loadingStarted();
}

void PLXImageProxy::subjectFinished(const std::string&)
{
    m_loading = false;
    m_loaded = true;
    emit loadingFinished();
}

void PLXImageProxy::subjectCanceled(const std::string&)
{
    // The job is gone: asking again makes a new one.
    m_attached = false;
    m_loading = false;
    emit loadingCanceled();
}

void PLXImageProxy::subjectProgressed(unsigned int i, unsigned int n)
{
    if (n > 0)
        emit loadingProgressed(static_cast<int>(100ull * i / n));
}
