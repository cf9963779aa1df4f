#include "app/plxstackio.h"

#include "app/plxactionhistory.h"
#include "app/plxnewstackdialog.h"
#include "app/plxpreferences.h"
#include "app/plxsettings.h"
#include "app/plxstackerrordialog.h"
#include "app/plxstackimagelisteditor.h"
#include "app/tools/plxstackpropertieseditor.h"
#include "apptesting.h"
#include "image/voxelmatrix.h"
#include "numerics/exception.h"
#include "numerics/progressmonitor.h"
#include "stack/stackslice.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace apptest;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString sampleImage(int i)
{
    return QStringLiteral(PLEXAN_SOURCE_DIR "/data/sample/images/slice%1.tif").arg(i, 2, 10, QLatin1Char('0'));
}

class StackOperations : public ::testing::Test {
protected:
    StackOperations() { PLXPreferences::setMaxNumBackups(5); }
    ~StackOperations() override
    {
        PLXStackServer::stackServer.removeAllStacks();
        PLXPreferences::setMaxNumBackups(5);
        PLXSettings::getRecentFilesList().clear();
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // The sample saved as a stack file of the scratch directory (its images
    // stay where they are) and opened from there.
    PLXStack* openedSample(const QString& name = QStringLiteral("cell.sdf"))
    {
        auto stack = sampleStack();
        EXPECT_TRUE(stack->write(path(name)));
        PLXStackIO io;
        return io.openStack(path(name));
    }

    // The files of the scratch directory.
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QTemporaryDir dir;
};

// Makes writes beyond a file size fail (the signal it raises ignored) for
// its lifetime.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_previous{};
    void (*m_handler)(int) = nullptr;
};

} // namespace

// Backups ------------------------------------------------------------------------------

// Seven saves with at most N backups: "~i" holds the version saved i saves
// before the last, for i up to N, and nothing beyond.
TEST_F(StackOperations, BackupsRotateUpToTheMaximum)
{
    for (int n : {0, 2, 5}) {
        SCOPED_TRACE(n);
        PLXPreferences::setMaxNumBackups(n);
        const QString file = path(QStringLiteral("rot%1.sdf").arg(n));
        auto stack = sampleStack();
        std::vector<QByteArray> versions;
        PLXStackIO io;
        for (int k = 0; k < 7; ++k) {
            stack->setName("version " + std::to_string(k));
            ASSERT_TRUE(io.writeStack(*stack, file));
            versions.push_back(readAll(file));
        }
        for (int i = 1; i <= 10; ++i) {
            const QString backup = file + QStringLiteral("~%1").arg(i);
            if (i <= n)
                EXPECT_EQ(readAll(backup), versions[static_cast<std::size_t>(6 - i)]) << i;
            else
                EXPECT_FALSE(QFile::exists(backup)) << i;
        }
    }
}

// With at most 2 backups and both present, a save moves "~1" to "~2", the
// current file to "~1", and the former "~2" is gone.
TEST_F(StackOperations, MakeBackupsShiftsAndDropsTheOldest)
{
    PLXPreferences::setMaxNumBackups(2);
    const QString file = path(QStringLiteral("cell.sdf"));
    writeAll(file, "current");
    writeAll(file + "~1", "old1");
    writeAll(file + "~2", "old2");
    PLXStackIO().makeBackups(file);
    EXPECT_EQ(readAll(file), "current");
    EXPECT_EQ(readAll(file + "~1"), "current");
    EXPECT_EQ(readAll(file + "~2"), "old1");
    EXPECT_FALSE(QFile::exists(file + "~3"));

    PLXPreferences::setMaxNumBackups(0);
    writeAll(file, "newer");
    PLXStackIO().makeBackups(file);
    EXPECT_EQ(readAll(file + "~1"), "current");
}

// Save failures ----------------------------------------------------------------------

// The disk fills half way through the new file: the previous file and every
// backup stay byte for byte, no temporary file is left, and a box says why.
TEST_F(StackOperations, ASaveThatFailsHalfWayKeepsThePreviousFile)
{
    const QString file = path(QStringLiteral("cell.sdf"));
    auto stack = sampleStack();
    PLXStackIO io;
    ASSERT_TRUE(io.writeStack(*stack, file));
    stack->setName("second");
    ASSERT_TRUE(io.writeStack(*stack, file));
    const QByteArray previous = readAll(file);
    const QByteArray backup = readAll(file + "~1");
    const QStringList before = files();

    // A bigger stack to save.
    stack->setName("third");
    stack->setAnnotation(std::string(static_cast<std::size_t>(previous.size()), 'x'));
    stack->setModified(true);
    DialogScript script;
    script.button("OK");
    bool written = true;
    {
        const FileSizeLimit limit(static_cast<rlim_t>(previous.size() / 2));
        written = io.writeStack(*stack, file);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(readAll(file), previous);
    EXPECT_EQ(readAll(file + "~1"), backup);
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(stack->isModified());
    ASSERT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(script.requests()[0].title, "Error");
    // The box names the file and the system's reason.
    EXPECT_EQ(script.requests()[0].text,
              "Error: cannot write to " + file + "\n\n" + QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(script.requests()[0].icon, QMessageBox::Warning);

    // Once there is room again, the same save goes through.
    EXPECT_TRUE(io.writeStack(*stack, file));
    EXPECT_EQ(readAll(file + "~1"), previous);
    EXPECT_FALSE(stack->isModified());
}

// What a save reports to the status bar: its message, then its end. A blank
// text used to stand for "clear", which a monitor showing texts as they
// come would display as a message of its own.
TEST_F(StackOperations, ASaveEndsItsMessageWithFinishedNotABlankText)
{
    class Journal : public ProgressMonitor {
    public:
        std::vector<std::string> lines;

    protected:
        void subjectFinished(const std::string& t) override { lines.push_back("finished " + t); }
        void subjectProgressed(const std::string& t) override { lines.push_back("text " + t); }
    };
    auto stack = sampleStack();
    PLXStackIO io;
    Journal journal;
    io.addMonitor(journal);
    const QString file = path(QStringLiteral("cell.sdf"));
    ASSERT_TRUE(io.writeStack(*stack, file));
    io.removeMonitor(journal);
    const std::vector<std::string> expected = {"text Saving " + file.toStdString() + "...", "finished "};
    EXPECT_EQ(journal.lines, expected);
}

TEST_F(StackOperations, AnUnwritableDirectoryIsReported)
{
    auto stack = sampleStack();
    stack->setModified(true);
    DialogScript script;
    script.button("OK");
    const QString file = path(QStringLiteral("missing/cell.sdf"));
    EXPECT_FALSE(PLXStackIO().writeStack(*stack, file));
    ASSERT_EQ(script.requests().size(), 1u);
    EXPECT_TRUE(script.requests()[0].text.startsWith("Error: cannot write to " + file));
    EXPECT_TRUE(stack->isModified());
    EXPECT_TRUE(stack->getFilename().isEmpty());
}

// Save as ----------------------------------------------------------------------------

TEST_F(StackOperations, SaveAsAppendsTheSuffixAndAsksBeforeReplacing)
{
    auto stack = sampleStack();
    PLXStackIO io;
    const std::vector<std::pair<QString, QString>> names = {
        {"a", "a.sdf"}, {"b.SDF", "b.SDF.sdf"}, {"c.sdf", "c.sdf"}};
    for (const auto& [given, saved] : names) {
        DialogScript script;
        script.value(path(given));
        ASSERT_TRUE(io.saveStackAs(*stack));
        EXPECT_EQ(stack->getFilename(), path(saved));
        EXPECT_TRUE(QFile::exists(path(saved)));
        EXPECT_EQ(script.requests()[0].title, "Save stack as...");
    }
    EXPECT_EQ(PLXSettings::settings.getOutputDirectory().absolutePath(), QDir(dir.path()).absolutePath());

    // An existing file: Cancel keeps it, OK replaces it.
    const QByteArray c = readAll(path("c.sdf"));
    stack->setName("renamed");
    {
        DialogScript script;
        script.value(path("c.sdf")).button("Cancel");
        EXPECT_FALSE(io.saveStackAs(*stack));
        ASSERT_EQ(script.requests().size(), 2u);
        EXPECT_EQ(script.requests()[1].title, "Confirm overwrite");
        EXPECT_EQ(script.requests()[1].text,
                  path("c.sdf") + "\n\n already exists. Do you wish to overwrite it? ");
        EXPECT_EQ(readAll(path("c.sdf")), c);
    }
    DialogScript script;
    script.value(path("c.sdf")).button("OK");
    EXPECT_TRUE(io.saveStackAs(*stack));
    EXPECT_NE(readAll(path("c.sdf")), c);
    EXPECT_EQ(readAll(path("c.sdf~1")), c);

    // Cancelling the file dialog saves nothing; save() of a named stack
    // needs no dialog.
    DialogScript none;
    none.cancel();
    EXPECT_FALSE(io.saveStackAs(*stack));
    stack->setModified(true);
    EXPECT_TRUE(io.saveStack(*stack));
    EXPECT_FALSE(stack->isModified());
    EXPECT_EQ(none.requests().size(), 1u);
}

// Open ---------------------------------------------------------------------------------

TEST_F(StackOperations, OpeningListsProblemsAndRefusesFatalOnes)
{
    PLXStack* stack = openedSample();
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->getNumSlices(), 30);
    EXPECT_EQ(stack->getFilename(), path("cell.sdf"));
    EXPECT_FALSE(stack->isModified());
    EXPECT_EQ(PLXStackServer::stackServer.find(stack), 0);
    EXPECT_EQ(PLXSettings::getRecentFilesList(), QStringList{path("cell.sdf")});
    // The reconstruction is ready: one z per slice.
    EXPECT_EQ(stack->getReconstruction().getZMap().getSize(), 30);

    // A file that cannot be opened: a warning names it and gives the
    // system's reason; nothing is opened, the recent files stay as they were.
    {
        DialogScript script;
        const int open = PLXStackServer::stackServer.getNumStacks();
        EXPECT_EQ(PLXStackIO().openStack(path("none.sdf")), nullptr);
        // Named without its suffix: the file read is none.sdf, the name
        // shown the one given.
        EXPECT_EQ(PLXStackIO().openStack(path("none")), nullptr);
        ASSERT_EQ(script.requests().size(), 2u);
        for (const QString name : {"none.sdf", "none"}) {
            const Dialogs::Request& r = script.requests()[name == "none" ? 1 : 0];
            EXPECT_EQ(r.icon, QMessageBox::Warning);
            EXPECT_EQ(r.title, "Error");
            EXPECT_EQ(r.text, "Cannot open stack file for reading\n\n" + path(name) + "\n\n" +
                                  QString::fromLocal8Bit(std::strerror(ENOENT)));
        }
        EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), open);
        EXPECT_EQ(PLXSettings::getRecentFilesList(), QStringList{path("cell.sdf")});
    }

    // A statement that cannot be read: listed, and the stack opens.
    QByteArray text = readAll(path("cell.sdf"));
    writeAll(path("odd.sdf"), text + "\nNOSUCHWORD 1;\n");
    DialogScript script;
    QString banner, title;
    QStringList log;
    script.modal([&](QDialog& d) {
        auto& dialog = dynamic_cast<PLXStackErrorDialog&>(d);
        title = dialog.windowTitle();
        banner = dialog.getBanner();
        log = dialog.getLog();
        dialog.getOkButton()->click();
        return true;
    });
    PLXStack* odd = PLXStackIO().openStack(path("odd.sdf"));
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(title, "Stack error messages");
    EXPECT_EQ(banner, "In " + path("odd.sdf") + ":");
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains("NOSUCHWORD")) << log[0].toStdString();

    // A missing slice image is fatal: the stack is dropped after the list.
    text.replace("slice07.tif", "slice99.tif");
    writeAll(path("broken.sdf"), text);
    script.clear();
    script.accept();
    const int open = PLXStackServer::stackServer.getNumStacks();
    EXPECT_EQ(PLXStackIO().openStack(path("broken.sdf")), nullptr);
    EXPECT_EQ(script.requests().size(), 1u);
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), open);

    // Text that is no stack at all is refused too.
    writeAll(path("notes.sdf"), "shopping list: eggs, flour\n");
    script.clear();
    script.accept();
    EXPECT_EQ(PLXStackIO().openStack(path("notes.sdf")), nullptr);
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), open);
}

// Two files in one dialog open both; the result is the second's, none when
// the second fails although the first opened.
TEST_F(StackOperations, OpenDialogReturnsTheLastResult)
{
    auto stack = sampleStack();
    ASSERT_TRUE(stack->write(path("a.sdf")));
    ASSERT_TRUE(stack->write(path("b.sdf")));
    PLXStackIO io;
    {
        DialogScript script;
        script.value(QStringList{path("a.sdf"), path("b.sdf")});
        PLXStack* result = io.openStack();
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->getFilename(), path("b.sdf"));
        EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 2);
        EXPECT_EQ(script.requests()[0].title, "Open stack");
        EXPECT_EQ(script.requests()[0].items, QStringList{"*.sdf"});
        EXPECT_EQ(PLXSettings::getRecentFilesList(), (QStringList{path("b.sdf"), path("a.sdf")}));
        EXPECT_EQ(PLXSettings::settings.getInputDirectory().absolutePath(), QDir(dir.path()).absolutePath());
    }
    DialogScript script;
    script.value(QStringList{path("a.sdf"), path("gone.sdf")}).button("OK");
    EXPECT_EQ(io.openStack(), nullptr);
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 3);
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_TRUE(script.requests()[1].text.contains(path("gone.sdf"))) << script.requests()[1].text.toStdString();
    EXPECT_EQ(script.unexpected(), 0);
}

// New stacks ---------------------------------------------------------------------------

TEST_F(StackOperations, NewStackFromImagesThroughItsDialog)
{
    const int session = PLXStackServer::getSessionNumStacks();
    DialogScript script;
    QString proposed;
    script.modal([&](QDialog& d) {
        auto& dialog = dynamic_cast<PLXNewStackDialog&>(d);
        proposed = dialog.getPropertiesEditor()->getName();
        // Without images the dialog refuses and stays.
        dialog.getDoneButton()->click();
        EXPECT_FALSE(dialog.result() == QDialog::Accepted);
        dialog.getPropertiesEditor()->getNameField()->setText(QStringLiteral("  new   embryo "));
        dialog.getPropertiesEditor()->getSliceSpacingField()->setText(QStringLiteral("2.5"));
        dialog.getImageListEditor()->setImageList({sampleImage(3), sampleImage(1), sampleImage(2)});
        dialog.getDoneButton()->click();
        return true;
    });
    script.button(" OK ");
    PLXStack* stack = PLXStackIO().newStack();
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(proposed, QStringLiteral("stack%1").arg(session + 1));
    ASSERT_EQ(script.requests().size(), 2u);
    EXPECT_EQ(script.requests()[1].title, "Error");
    EXPECT_EQ(script.requests()[1].text, "The stack cannot be created because\nthere are undefined or invalid fields");

    EXPECT_EQ(stack->getName(), "new embryo");
    EXPECT_FLOAT_EQ(stack->getDefaultRelativePosition(), 2.5f);
    ASSERT_EQ(stack->getNumSlices(), 3);
    EXPECT_EQ(stack->getSlice(0)->getName(), "slice03");
    EXPECT_EQ(stack->getSlice(2)->getName(), "slice02");
    EXPECT_EQ(stack->getSlice(0)->width(), 256);
    EXPECT_EQ(stack->getImagesPath(), std::string(PLEXAN_SOURCE_DIR) + "/data/sample/images/");
    EXPECT_FLOAT_EQ(stack->absolutePosition(2), 5.0f);
    EXPECT_TRUE(stack->isModified());
    EXPECT_EQ(PLXStackServer::stackServer.find(stack), 0);

    // After two more stacks the proposal moves on by two.
    openedSample(QStringLiteral("x.sdf"));
    openedSample(QStringLiteral("y.sdf"));
    DialogScript cancel;
    cancel.modal([&](QDialog& d) {
        proposed = dynamic_cast<PLXNewStackDialog&>(d).getName();
        return false;
    });
    EXPECT_EQ(PLXStackIO().newStack(), nullptr);
    EXPECT_EQ(proposed, QStringLiteral("stack%1").arg(session + 4));
}

// An image that cannot be read stops the making of the stack with an error
// naming it; the dialog then comes back with everything entered (the name,
// the spacing, the image list), and the stack is made once the image is
// taken out. Cancelled then, nothing is made.
TEST_F(StackOperations, AnUnreadableImageBringsTheNewStackDialogBackAsItWas)
{
    const QString bad = path("notes.tif");
    {
        QFile file(bad);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not an image at all\n");
    }
    const QStringList entered = {sampleImage(1), bad, sampleImage(2)};
    const int before = PLXStackServer::stackServer.getNumStacks();
    DialogScript script;
    QStringList seen;
    QString name, spacing;
    script.modal([&](QDialog& d) {
        auto& dialog = dynamic_cast<PLXNewStackDialog&>(d);
        dialog.getPropertiesEditor()->getNameField()->setText(QStringLiteral("embryo 7"));
        dialog.getPropertiesEditor()->getSliceSpacingField()->setText(QStringLiteral("3.5"));
        dialog.getImageListEditor()->setImageList(entered);
        dialog.getDoneButton()->click();
        return true;
    });
    script.button("OK");
    script.modal([&](QDialog& d) {
        auto& dialog = dynamic_cast<PLXNewStackDialog&>(d);
        seen = dialog.getImageList();
        name = dialog.getPropertiesEditor()->getNameField()->text();
        spacing = dialog.getPropertiesEditor()->getSliceSpacingField()->text();
        dialog.getImageListEditor()->setImageList({sampleImage(1), sampleImage(2)});
        dialog.getDoneButton()->click();
        return true;
    });
    PLXStack* stack = nullptr;
    EXPECT_NO_THROW(stack = PLXStackIO().newStack());
    ASSERT_EQ(script.requests().size(), 3u);
    EXPECT_EQ(script.requests()[1].title, "Error");
    EXPECT_TRUE(script.requests()[1].text.startsWith(bad + ":")) << script.requests()[1].text.toStdString();
    EXPECT_EQ(seen, entered);
    EXPECT_EQ(name, "embryo 7");
    EXPECT_EQ(spacing, "3.5");
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->getName(), "embryo 7");
    ASSERT_EQ(stack->getNumSlices(), 2);
    EXPECT_EQ(stack->getSlice(1)->getName(), "slice02");
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), before + 1);
    EXPECT_EQ(script.unexpected(), 0);

    // The error, then Cancel on the dialog that came back: no stack.
    DialogScript cancel;
    cancel.modal([&](QDialog& d) {
        dynamic_cast<PLXNewStackDialog&>(d).getImageListEditor()->setImageList({bad});
        dynamic_cast<PLXNewStackDialog&>(d).getDoneButton()->click();
        return true;
    });
    cancel.button("OK");
    cancel.modal([](QDialog&) { return false; });
    EXPECT_EQ(PLXStackIO().newStack(), nullptr);
    EXPECT_EQ(cancel.requests().size(), 3u);
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), before + 1);
    EXPECT_EQ(cancel.unexpected(), 0);
}

TEST_F(StackOperations, NewStackFromAVoxelMatrixFile)
{
    VoxelMatrix<float> volume(5, 4, 3);
    volume.fill(7.0f);
    VoxelCalibration calibration;
    calibration.setLengthUnit(LengthUnit(-6));
    calibration.setVoxelHeight(0.5f);
    calibration.setVoxelWidth(0.25f);
    calibration.setVoxelDepth(2.0f);
    volume.setVoxelCalibration(calibration);
    const QString file = path("vol.vm");
    volume.save(file.toStdString(), true);

    PLXStack* stack = PLXStackIO().newStackFromFile(file);
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->getName(), "vol");
    ASSERT_EQ(stack->getNumSlices(), 3);
    EXPECT_EQ(stack->getSlice(2)->getName(), "0002");
    EXPECT_EQ(stack->getSlice(0)->getImageSource().getSize1(), 5);
    const PixelCalibration& c = stack->getDefaultPixelCalibration();
    EXPECT_FLOAT_EQ(c.getPixelWidth(), 0.25f);
    EXPECT_FLOAT_EQ(c.getPixelHeight(), 0.5f);
    EXPECT_FLOAT_EQ(c.getAspectRatio(), 2.0f);
    EXPECT_EQ(c.getLengthUnit(), LengthUnit(-6));
    EXPECT_FLOAT_EQ(stack->absolutePosition(2), 4.0f);
    EXPECT_TRUE(stack->isModified());

    try {
        PLXStackIO().newStackFromFile(path("cell.tif"));
        ADD_FAILURE() << "a TIFF file made a stack";
    } catch (const FileFormatError& e) {
        EXPECT_EQ(e.getWhat(), "File format error");
    }
    // An unreadable volume raises its reader's error and makes nothing.
    writeAll(path("bad.vm"), "not a volume");
    EXPECT_THROW(PLXStackIO().newStackFromFile(path("bad.vm")), Exception);
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
}

// Insert slices ------------------------------------------------------------------------

TEST_F(StackOperations, InsertedSlicesAreOneUndoStep)
{
    PLXStack* stack = openedSample();
    ASSERT_NE(stack, nullptr);
    const std::string before = stackText(*stack);
    DialogScript script;
    script.value(QStringList{sampleImage(1), sampleImage(2)}).cancel();
    ASSERT_TRUE(PLXStackIO().insertSlice(*stack, 2));
    EXPECT_EQ(script.requests()[0].title, "Select image files");
    EXPECT_EQ(stack->getNumSlices(), 32);
    EXPECT_EQ(stack->getSlice(2)->getName(), "slice01");
    EXPECT_EQ(stack->getSlice(3)->getName(), "slice02");
    EXPECT_EQ(stack->getSlice(4)->getName(), "s03");
    EXPECT_TRUE(stack->isModified());
    EXPECT_EQ(stack->history().getNumUndoSteps(), 1);
    EXPECT_EQ(stack->history().getUndoDescription(), "Insert slice");
    stack->history().undo();
    EXPECT_EQ(stackText(*stack), before);
    stack->history().redo();
    EXPECT_EQ(stack->getNumSlices(), 32);
    // Cancelled: nothing happens.
    EXPECT_FALSE(PLXStackIO().insertSlice(*stack));
    EXPECT_EQ(stack->getNumSlices(), 32);
}

// Close --------------------------------------------------------------------------------

TEST_F(StackOperations, ClosingAsksAboutUnsavedChanges)
{
    PLXStack* stack = openedSample();
    ASSERT_NE(stack, nullptr);
    const QByteArray saved = readAll(path("cell.sdf"));
    PLXStackIO io;

    // Modified: Cancel keeps it, unsaved.
    stack->setName("changed");
    stack->setModified(true);
    {
        DialogScript script;
        script.button("Cancel");
        EXPECT_FALSE(io.closeStack(*stack));
        ASSERT_EQ(script.requests().size(), 1u);
        EXPECT_EQ(script.requests()[0].title, "Closing stack...");
        EXPECT_EQ(script.requests()[0].text, "Stack \"changed\" has been modified.");
        EXPECT_EQ(script.requests()[0].buttons, (QStringList{"Save", "Ignore", "Cancel"}));
        EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
    }
    // Save writes it (no backup on this path) and closes it.
    {
        DialogScript script;
        script.button("Save");
        EXPECT_TRUE(io.closeStack(*stack));
        EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 0);
        EXPECT_NE(readAll(path("cell.sdf")), saved);
        EXPECT_FALSE(QFile::exists(path("cell.sdf~1")));
    }
    // Ignore closes without writing.
    stack = openedSample(QStringLiteral("other.sdf"));
    const QByteArray other = readAll(path("other.sdf"));
    stack->setModified(true);
    {
        DialogScript script;
        script.button("Ignore");
        EXPECT_TRUE(io.closeStack(*stack));
        EXPECT_EQ(readAll(path("other.sdf")), other);
    }
    // Never saved: Save fails on the empty name and offers Retry, Discard
    // and Cancel.
    auto* fresh = new PLXStack;
    fresh->setName("fresh");
    PLXStackServer::stackServer.addStack(fresh);
    fresh->setModified(true);
    {
        DialogScript script;
        script.button("Save").button("Retry").button("Cancel");
        EXPECT_FALSE(io.closeStack(*fresh));
        EXPECT_EQ(script.titles(), (QStringList{"Closing stack...", "Write error", "Write error"}));
        EXPECT_EQ(script.requests()[1].text, "Stack fresh:\nCould not write file ");
        EXPECT_EQ(script.requests()[1].buttons, (QStringList{"Retry", "Cancel", "Discard"}));
        EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
    }
    DialogScript script;
    script.button("Save").button("Discard");
    EXPECT_TRUE(io.closeStack(*fresh));
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 0);
}

TEST_F(StackOperations, CloseAllStopsAtTheFirstStackKept)
{
    PLXStack* a = openedSample(QStringLiteral("a.sdf"));
    PLXStack* b = openedSample(QStringLiteral("b.sdf"));
    openedSample(QStringLiteral("c.sdf"));
    ASSERT_EQ(PLXStackServer::stackServer.getNumStacks(), 3);
    b->setModified(true);
    {
        DialogScript script;
        script.button("Cancel");
        EXPECT_FALSE(PLXStackIO().closeAllStacks());
        EXPECT_EQ(script.requests().size(), 1u);
        EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 2);
        EXPECT_EQ(PLXStackServer::stackServer.getStack(0), a);
        EXPECT_EQ(PLXStackServer::stackServer.getStack(1), b);
    }
    DialogScript script;
    script.button("Ignore");
    EXPECT_TRUE(PLXStackIO().closeAllStacks());
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 0);
    EXPECT_TRUE(PLXStackIO().closeAllStacks());
}
