#include "app/tools/plxframewriter.h"

#include <QtConcurrent/QtConcurrentRun>

PLXFrameWriter::PLXFrameWriter(const QString& directory) : m_directory(directory) {}

PLXFrameWriter::~PLXFrameWriter()
{
    collect();
}

QString PLXFrameWriter::frameName(const QString& directory, int index)
{
    return QStringLiteral("%1/%2.png").arg(directory).arg(index, 4, 10, QLatin1Char('0'));
}

void PLXFrameWriter::collect()
{
    if (!m_pending.isValid())
        return;
    m_pending.waitForFinished();
    const QString error = m_pending.result();
    if (m_error.isEmpty())
        m_error = error;
    m_pending = QFuture<QString>();
}

void PLXFrameWriter::write(const QImage& image)
{
    collect();
    if (hasFailed())
        return;
    if (m_count == 0)
        m_size = image.size();
    const int index = ++m_count;
    const QString name = frameName(m_directory, index);
    const QSize size = m_size;
    // The image is shared with the worker, which only reads it.
    m_pending = QtConcurrent::run([image, name, size]() -> QString {
        if (image.isNull())
            return QStringLiteral("Frame %1 could not be grabbed from the view").arg(name);
        const QImage frame =
            image.size() == size ? image : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (!frame.save(name, "PNG"))
            return QStringLiteral("Could not write the frame %1").arg(name);
        return QString();
    });
}

bool PLXFrameWriter::finish()
{
    collect();
    return !hasFailed();
}

void PLXFrameWriter::restart()
{
    collect();
    m_count = 0;
    m_size = QSize();
    m_error.clear();
}
