#include "app/plxstack.h"

#include "app/plxactionhistory.h"
#include "app/plxsliceactions.h"
#include "app/slice/plximageserver.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/pose.h"
#include "stack/stackbackups.h"
#include "stack/stackslice.h"
#include "stack/stackwriter.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <unistd.h>

PLXStack::PLXStack(QObject* parent)
    : QObject(parent), m_panoramaServer(std::make_unique<PLXImageServer>()),
      m_history(std::make_unique<PLXActionHistory>())
{
    m_reconstruction.setStack(*this);
    m_panoramaServer->setBaseSize(QSize(256, 256));
    m_panoramaServer->setAutoDelete(false);
}

PLXStack::~PLXStack()
{
    // The thumbnails' loads stop before the slices they read go.
    m_panoramaServer.reset();
    // Actions hold items, models and slices the document no longer lists:
    // they go before the document.
    m_sliceHistories.clear();
    m_history.reset();
}

void PLXStack::setFilename(const QString& name)
{
    if (name == m_filename)
        return;
    m_filename = name;
    PLXStackFileNameEvent event(*this);
    notifyEvent(event);
}

void PLXStack::setModified(bool flag)
{
    m_modified = flag;
    emit modified(flag);
    PLXStackModifyEvent event(*this);
    notifyEvent(event);
}

bool PLXStack::write(const QString& name)
{
    if (!writeFile(name, 0))
        return false;
    setModified(false);
    setFilename(name);
    return true;
}

bool PLXStack::writeFile(const QString& path, int maxBackups, QString* reason, ProgressMonitor* monitor) const
{
    auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("No file name was given."));
    const std::string target = QFile::encodeName(path).toStdString();

    // The text first, in memory: image directories are written relative to
    // the target's directory.
    std::ostringstream text;
    StackWriter writer;
    if (monitor)
        writer.addMonitor(*monitor);
    const bool made = writer.write(*this, text, target);
    if (monitor)
        writer.removeMonitor(*monitor);
    if (!made)
        return fail(QStringLiteral("The stack text could not be made."));
    const std::string bytes = text.str();

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    // Written, flushed and on disk before anything else is touched.
    errno = 0;
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.flush()) {
        // The system's reason ("File too large", "No space left on device")
        // says more than the device's generic one.
        const int error = errno;
        const QString why = error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : file.errorString();
        file.cancelWriting();
        return fail(why);
    }
    if (::fsync(file.handle()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return fail(why);
    }
    try {
        StackBackups backups;
        backups.setMaxBackups(maxBackups);
        backups.make(target);
    } catch (const FileError& e) {
        file.cancelWriting();
        return fail(QString::fromStdString(e.getWhat()) + QStringLiteral(": ") +
                    QFile::decodeName(e.getFile().c_str()));
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

void PLXStack::updateReconstruction()
{
    m_reconstruction.computeMaps();
}

PLXActionHistory& PLXStack::sliceHistory(const StackSlice& slice)
{
    std::unique_ptr<PLXActionHistory>& history = m_sliceHistories[&slice];
    if (!history)
        history = std::make_unique<PLXActionHistory>();
    return *history;
}

void PLXStack::destroyHistory()
{
    m_history->clear();
    for (auto& entry : m_sliceHistories)
        entry.second->clear();
}

// Reactions ---------------------------------------------------------------------------

bool PLXStack::concerns(const PLXStackEvent& e) const
{
    return !m_reading && e.hasStack() && &e.getStack() == this;
}

bool PLXStack::concerns(const PLXSliceEvent& e) const
{
    return !m_reading && e.hasSlice() && e.getSlice().getStack() == this;
}

bool PLXStack::concerns(const PLXModelEvent& e) const
{
    return !m_reading && e.hasModel() && findModel(&e.getModel()) >= 0;
}

bool PLXStack::concerns(const PLXModelItemEvent& e) const
{
    return !m_reading && e.hasItem() && e.getItem().getSlice() && e.getItem().getSlice()->getStack() == this;
}

bool PLXStack::concerns(const PLXPoseEvent& e) const
{
    return !m_reading && e.hasPose() && e.getPose().getStack() == this;
}

void PLXStack::stackNameEvent(PLXStackNameEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::stackSliceSpacingEvent(PLXStackSliceSpacingEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::stackImageCalibrationEvent(PLXStackImageCalibrationEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::sliceAnnotationEvent(PLXSliceAnnotationEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::sliceNameEvent(PLXSliceNameEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::sliceSpacingEvent(PLXSliceSpacingEvent& e)
{
    if (!concerns(e))
        return;
    updateReconstruction();
    PLXStackSliceSpacingEvent event(*this);
    notifyEvent(event);
}

void PLXStack::sliceImageCalibrationEvent(PLXSliceImageCalibrationEvent& e)
{
    if (!concerns(e))
        return;
    updateReconstruction();
    PLXStackImageCalibrationEvent event(*this);
    notifyEvent(event);
}

void PLXStack::modelCreateEvent(PLXModelCreateEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::modelDeleteEvent(PLXModelDeleteEvent& e)
{
    if (concerns(e))
        setModified(true);
}

// Model properties are saved with the stack: an edit is a change to save.
void PLXStack::modelPropertiesEvent(PLXModelPropertiesEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::modelItemCreateEvent(PLXModelItemCreateEvent& e)
{
    if (!concerns(e))
        return;
    setModified(true);
    setLastSegmentedSlice(e.getItem().getSlice()->getName());
}

void PLXStack::modelItemDeleteEvent(PLXModelItemDeleteEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::modelItemVertexEvent(PLXModelItemVertexEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::modelItemAttributeEvent(PLXModelItemAttributeEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::modelItemConvertEvent(PLXModelItemConvertEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::poseCreateEvent(PLXPoseCreateEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::poseDeleteEvent(PLXPoseDeleteEvent& e)
{
    if (concerns(e))
        setModified(true);
}

void PLXStack::processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action)
{
    if (m_reading || &action.getStack() != this)
        return;
    updateReconstruction();
    setModified(true);
}
