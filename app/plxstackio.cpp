#include "app/plxstackio.h"

#include "app/plxactionhistory.h"
#include "app/plxnewstackdialog.h"
#include "app/plxpreferences.h"
#include "app/plxsettings.h"
#include "app/plxsliceactions.h"
#include "app/plxstack.h"
#include "app/plxstackerrordialog.h"
#include "app/plxstackserver.h"
#include "app/plxworker.h"
#include "gl/dialogs.h"
#include "image/imagesourcefile.h"
#include "image/imagesourcevoxelmatrixplane.h"
#include "image/voxelmatrix.h"
#include "numerics/exception.h"
#include "stack/stackbackups.h"
#include "stack/stackreader.h"
#include "stack/stackslice.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The wait cursor for the life of the guard.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

std::string fileName(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// The system's reason why the stack file name (as the reader opens it) could
// not be opened, error being errno after the reader's attempt ("No such file
// or directory", "Permission denied", "Is a directory").
QString whyNotOpened(const std::string& name, int error)
{
    struct stat status {};
    if (::stat(name.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        error = EISDIR;
    return error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QString();
}

// A stack being made: not open yet, ignoring events while a worker fills it.
struct PendingStack {
    std::unique_ptr<PLXStack> stack = std::make_unique<PLXStack>();
    PendingStack() { stack->setReading(true); }
    PLXStack* release()
    {
        stack->setReading(false);
        return stack.release();
    }
};

} // namespace

PLXStackIO::PLXStackIO(QWidget* parent) : PLXProgressProxy(parent), m_parent(parent), m_worker(new PLXWorker(this))
{
    m_worker->getProgress().addMonitor(static_cast<ProgressMonitor&>(*this));
}

PLXStackIO::~PLXStackIO()
{
    m_worker->getProgress().removeMonitor(static_cast<ProgressMonitor&>(*this));
}

// New stacks ----------------------------------------------------------------------

PLXStack* PLXStackIO::newStack()
{
    PLXNewStackDialog dialog(m_parent);
    for (;;) {
        if (Dialogs::exec(dialog) != QDialog::Accepted)
            return nullptr;
        const QStringList images = dialog.getImageList();
        if (images.isEmpty())
            return nullptr;
        QString reading;
        try {
            if (PLXStack* made = makeNewStack(dialog, images, reading))
                return made;
        } catch (const Exception& e) {
            // An image that cannot be read, named: the dialog comes back
            // with everything entered, for the user to remove or replace it.
            Dialogs::critical(m_parent, QStringLiteral("Error"),
                              QDir::toNativeSeparators(reading) + QStringLiteral(":\n\n") +
                                  QString::fromStdString(e.getWhat()));
        }
    }
}

PLXStack* PLXStackIO::makeNewStack(const PLXNewStackDialog& dialog, const QStringList& images, QString& reading)
{
    PendingStack pending;
    PLXStack& stack = *pending.stack;
    stack.setName(dialog.getName().toStdString());
    stack.setDefaultRelativePosition(dialog.getSliceSpacing());
    stack.setDefaultPixelCalibration(dialog.getPixelCalibration());
    stack.setAbsoluteImagesPathPolicy(dialog.getAbsoluteImagesPath());
    stack.setImagesPath(fileName(QFileInfo(images.first()).absolutePath() + QLatin1Char('/')));

    const WaitCursor wait;
    m_worker->run([&images, &stack, &reading](PLXProgressProxy& progress) {
        const unsigned int n = static_cast<unsigned int>(images.size());
        for (unsigned int i = 0; i < n; ++i) {
            const QFileInfo file(images[static_cast<int>(i)]);
            reading = file.absoluteDir().filePath(file.fileName());
            // Reads the image's header: an unreadable file stops here.
            const ImageSourceFile source(fileName(reading));
            auto* slice = new StackSlice(file.completeBaseName().toStdString());
            slice->setImageSource(source);
            slice->setPixelCalibration(stack.getDefaultPixelCalibration());
            slice->setDefaultRelativePosition();
            stack.addSlice(slice);
            progress.notifyProgressed(i + 1, n);
        }
    });
    stack.updateReconstruction();
    PLXStack* made = pending.release();
    made->setModified(true);
    PLXStackServer::stackServer.addStack(made);
    return made;
}

PLXStack* PLXStackIO::newStackFromFile()
{
    const QStringList files = Dialogs::getOpenFileNames(
        m_parent, QStringLiteral("Open image stack"), PLXSettings::settings.getInputDirectory().absolutePath(),
        QStringLiteral("*.vm"));
    PLXStack* result = nullptr;
    for (const QString& file : files)
        result = newStackFromFile(file);
    if (!files.isEmpty())
        PLXSettings::settings.setInputDirectory(QFileInfo(files.last()).absoluteDir());
    return result;
}

PLXStack* PLXStackIO::newStackFromFile(const QString& path)
{
    if (QFileInfo(path).suffix() == QLatin1String("vm"))
        return newStackFromVoxelMatrixFile(path);
    throw FileFormatError("PLXStack* PLXStackIO::newStackFromFile(const QString&)", "File format error",
                          fileName(path));
}

PLXStack* PLXStackIO::newStackFromVoxelMatrixFile(const QString& path)
{
    PendingStack pending;
    PLXStack& stack = *pending.stack;
    const std::string file = fileName(path);
    const WaitCursor wait;
    m_worker->run([&stack, &file](PLXProgressProxy& progress) {
        VoxelMatrix<float> volume;
        volume.loadHeader(file);
        const VoxelCalibration& voxels = volume.getVoxelCalibration();
        PixelCalibration calibration;
        calibration.setLengthUnit(voxels.getLengthUnit());
        calibration.setPixelWidth(voxels.getVoxelWidth());
        calibration.setPixelHeight(voxels.getVoxelHeight());
        calibration.compute();
        stack.setDefaultPixelCalibration(calibration);
        stack.setDefaultRelativePosition(voxels.getVoxelDepth());
        const int planes = volume.getSize3();
        for (int z = 0; z < planes; ++z) {
            ImageSourceVoxelMatrixPlane source;
            source.setVoxelMatrixFilename(file);
            source.setPlane(z);
            auto* slice = new StackSlice(QString::asprintf("%04d", z).toStdString());
            slice->setImageSource(source);
            slice->setPixelCalibration(calibration);
            slice->setDefaultRelativePosition();
            stack.addSlice(slice);
            progress.notifyProgressed(static_cast<unsigned int>(z + 1), static_cast<unsigned int>(planes));
        }
    });
    stack.setName(QFileInfo(path).baseName().toStdString());
    stack.updateReconstruction();
    PLXStack* made = pending.release();
    made->setModified(true);
    PLXStackServer::stackServer.addStack(made);
    return made;
}

// Open ----------------------------------------------------------------------------

PLXStack* PLXStackIO::openStack()
{
    const QStringList files =
        Dialogs::getOpenFileNames(m_parent, QStringLiteral("Open stack"),
                                  PLXSettings::settings.getInputDirectory().absolutePath(), QStringLiteral("*.sdf"));
    PLXStack* result = nullptr;
    for (const QString& file : files)
        result = openStack(file);
    if (!files.isEmpty())
        PLXSettings::settings.setInputDirectory(QFileInfo(files.last()).absoluteDir());
    return result;
}

PLXStack* PLXStackIO::openStack(const QString& path)
{
    PendingStack pending;
    PLXStack& stack = *pending.stack;
    StackReader reader;
    bool opened = false;
    QString reason;
    {
        const WaitCursor wait;
        m_worker->run([&](PLXProgressProxy& progress) {
            reader.addMonitor(progress);
            errno = 0;
            opened = reader.read(stack, fileName(path));
            const int error = errno;
            reader.removeMonitor(progress);
            if (!opened)
                reason = whyNotOpened(StackReader::getFileName(fileName(path)), error);
        });
    }
    if (!opened) {
        notifyProgressed("Cannot open stack file " + fileName(path));
        Dialogs::warning(m_parent, QStringLiteral("Error"),
                         QStringLiteral("Cannot open stack file for reading\n\n") + path +
                             (reason.isEmpty() ? QString() : QStringLiteral("\n\n") + reason));
        return nullptr;
    }
    stack.setReading(false);
    stack.setFilename(path);

    // A file that gave nothing at all is no stack file, whatever it holds.
    const bool nothing = stack.getName().empty() && stack.getNumSlices() == 0 && stack.getNumModels() == 0 &&
                         stack.getNumPoses() == 0;
    QStringList lines;
    for (const std::string& line : reader.getLog())
        lines << QString::fromStdString(line);
    if (nothing && lines.isEmpty())
        lines << QStringLiteral("No stack statement could be read from this file.");
    if (!lines.isEmpty()) {
        PLXStackErrorDialog dialog(m_parent);
        dialog.setBanner(QStringLiteral("In ") + path + QStringLiteral(":"));
        dialog.setLog(lines);
        Dialogs::exec(dialog);
    }
    if (reader.getNumFatalErrors() > 0 || nothing)
        return nullptr;
    stack.updateReconstruction();
    PLXStack* result = pending.release();
    PLXStackServer::stackServer.addStack(result);
    PLXSettings::addRecentFile(path);
    return result;
}

// Save ----------------------------------------------------------------------------

void PLXStackIO::makeBackups(const QString& path)
{
    StackBackups backups;
    backups.setMaxBackups(PLXPreferences::getMaxNumBackups());
    backups.make(fileName(path));
}

bool PLXStackIO::writeStack(PLXStack& stack, const QString& path)
{
    bool written = false;
    QString reason;
    {
        const WaitCursor wait;
        notifyProgressed("Saving " + fileName(path) + "...");
        const int backups = PLXPreferences::getMaxNumBackups();
        const PLXStack& document = stack;
        m_worker->run([&](PLXProgressProxy& progress) {
            written = document.writeFile(path, backups, &reason, &progress);
        });
        // The save is over: its message ends with it.
        notifyFinished(std::string());
    }
    if (!written) {
        Dialogs::warning(m_parent, QStringLiteral("Error"),
                         QStringLiteral("Error: cannot write to ") + path +
                             (reason.isEmpty() ? QString() : QStringLiteral("\n\n") + reason));
        return false;
    }
    stack.setModified(false);
    stack.setFilename(path);
    return true;
}

bool PLXStackIO::saveStack(PLXStack& stack)
{
    if (stack.getFilename().isEmpty())
        return saveStackAs(stack);
    return writeStack(stack, stack.getFilename());
}

bool PLXStackIO::saveStackAs(PLXStack& stack)
{
    QString name = Dialogs::getSaveFileName(m_parent, QStringLiteral("Save stack as..."),
                                            PLXSettings::settings.getOutputDirectory().absolutePath(),
                                            QStringLiteral("*.sdf"), false);
    if (name.isEmpty())
        return false;
    PLXSettings::settings.setOutputDirectory(QFileInfo(name).absoluteDir());
    if (!(name.size() > 3 && name.endsWith(QLatin1String(".sdf"), Qt::CaseSensitive)))
        name += QStringLiteral(".sdf");
    if (QFileInfo::exists(name)) {
        const auto answer = Dialogs::warning(
            m_parent, QStringLiteral("Confirm overwrite"),
            name + QStringLiteral("\n\n already exists. Do you wish to overwrite it? "),
            QMessageBox::Ok | QMessageBox::Cancel);
        if (answer != QMessageBox::Ok)
            return false;
    }
    return writeStack(stack, name);
}

// Slices --------------------------------------------------------------------------

bool PLXStackIO::insertSlice(PLXStack& stack, int position)
{
    const QStringList files = Dialogs::getOpenFileNames(
        m_parent, QStringLiteral("Select image files"), PLXSettings::settings.getInputDirectory().absolutePath(),
        QStringLiteral("*.tif *.TIF *.img"));
    if (files.isEmpty())
        return false;

    // The images' headers are read first: an unreadable file stops the
    // command before the stack changes.
    std::vector<std::unique_ptr<ImageSourceFile>> sources;
    {
        const WaitCursor wait;
        m_worker->run([&files, &sources](PLXProgressProxy& progress) {
            for (int i = 0; i < files.size(); ++i) {
                sources.push_back(std::make_unique<ImageSourceFile>(fileName(files[i])));
                progress.notifyProgressed(static_cast<unsigned int>(i + 1), static_cast<unsigned int>(files.size()));
            }
        });
    }

    PLXActionHistory& history = stack.history();
    history.openStep();
    try {
        for (int i = 0; i < files.size(); ++i) {
            auto* slice = new StackSlice(QFileInfo(files[i]).baseName().toStdString());
            slice->setImageSource(*sources[static_cast<std::size_t>(i)]);
            slice->setPixelCalibration(stack.getDefaultPixelCalibration());
            slice->setStack(&stack);
            history.push(new PLXSliceInsertionDeletionAction(stack, *slice, PLXSliceInsertionDeletionAction::Insertion,
                                                             position + i),
                         true);
        }
    } catch (...) {
        history.closeStep();
        throw;
    }
    history.closeStep();
    PLXSettings::settings.setInputDirectory(QFileInfo(files.last()).absoluteDir());
    stack.setModified(true);
    return true;
}

// Close ---------------------------------------------------------------------------

bool PLXStackIO::closeStack(PLXStack& stack)
{
    if (stack.isModified()) {
        const QString name = QString::fromStdString(stack.getName());
        QMessageBox::StandardButton answer =
            Dialogs::warning(m_parent, QStringLiteral("Closing stack..."),
                             QStringLiteral("Stack \"") + name + QStringLiteral("\" has been modified."),
                             QMessageBox::Save | QMessageBox::Ignore | QMessageBox::Cancel);
        while (answer == QMessageBox::Save || answer == QMessageBox::Retry) {
            if (stack.write(stack.getFilename()))
                answer = QMessageBox::Ok;
            else
                answer = Dialogs::warning(m_parent, QStringLiteral("Write error"),
                                          QStringLiteral("Stack ") + name + QStringLiteral(":\nCould not write file ") +
                                              stack.getFilename(),
                                          QMessageBox::Retry | QMessageBox::Discard | QMessageBox::Cancel);
        }
        // A box closed without an answer keeps the stack, as Cancel does.
        if (answer == QMessageBox::Cancel || answer == QMessageBox::NoButton)
            return false;
    }
    PLXStackServer::stackServer.removeStack(&stack);
    return true;
}

bool PLXStackIO::closeAllStacks()
{
    PLXStackServer& server = PLXStackServer::stackServer;
    for (int i = server.getNumStacks() - 1; i >= 0; --i) {
        if (i >= server.getNumStacks())
            continue;
        if (!closeStack(*server.getStack(i)))
            return false;
    }
    return true;
}
