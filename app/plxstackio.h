#pragma once
// PLXStackIO: the user's file commands on stacks: new stack (from image
// files, or from a voxel-matrix file), open, save with rotating backups,
// save as, insert slices, close with the unsaved-changes question, close
// all. It shows the dialogs of these commands (through Dialogs, parented to
// the given widget), registers the stacks it makes with the stack server,
// and keeps the directories and recent files of PLXSettings. A window makes
// one for each command.
//
// Progress: a PLXStackIO is a progress proxy; the window attaches its status
// bar's monitor to it, and it relays what the readers and writers report
// ("Saving <file>..." among others).
//
// Files are read and written in a worker thread (PLXWorker) under a wait
// cursor: the window keeps repainting while a large stack loads, user input
// waits. Saves are safe (see PLXStack::writeFile): the previous file and its
// backups stay as they were unless the new file is complete on disk.
//
// Unreadable image files met while inserting slices raise the reader's
// exception to the caller; nothing is made then. Met while making a new
// stack, they are reported in an error message and the new-stack dialog
// comes back with everything the user entered.

#include "app/plxprogressproxy.h"

#include <QString>
#include <QStringList>

class PLXNewStackDialog;
class PLXStack;
class PLXWorker;
class QWidget;

class PLXStackIO : public PLXProgressProxy {
    Q_OBJECT
public:
    explicit PLXStackIO(QWidget* parent = nullptr);
    ~PLXStackIO() override;

    QWidget* getParentWidget() const { return m_parent; }

    // The new-stack dialog, then a stack of its images (modified, open).
    // Null when cancelled.
    PLXStack* newStack();
    // A file dialog ("*.vm"); each chosen file becomes a stack. The result
    // for the last file (null if it failed or nothing was chosen).
    PLXStack* newStackFromFile();
    // Voxel-matrix files go to newStackFromVoxelMatrixFile; any other file
    // is a FileFormatError "File format error".
    PLXStack* newStackFromFile(const QString& path);
    // One slice per plane ("0000", "0001", ...), calibrated as the voxels.
    PLXStack* newStackFromVoxelMatrixFile(const QString& path);

    // A file dialog ("*.sdf"); each chosen file is opened. The result for the
    // last file (null if it failed or nothing was chosen).
    PLXStack* openStack();
    // Reads the file into a new open stack named after path. Null when the
    // file cannot be opened (a warning box "Error" names the file and gives
    // the system's reason; the status bar says so too), when the read had
    // fatal errors (missing slice images), or when nothing at all could be
    // read from it; the problems are listed in the error dialog first. The
    // stacks already open are left as they were.
    PLXStack* openStack(const QString& path);

    // Save: under the stack's file name, or as saveStackAs() for a stack
    // never saved.
    bool saveStack(PLXStack& stack);
    // A save dialog; ".sdf" is appended to names that lack it; an existing
    // file is replaced only after the user agrees.
    bool saveStackAs(PLXStack& stack);
    // Writes safely with the backups of the preferences; on success the
    // stack becomes unmodified and named path; on failure a warning box
    // "Error" says why and false is returned.
    bool writeStack(PLXStack& stack, const QString& path);
    // Rotates the backups of path (the preferences' maximum number):
    // "~1" the newest. FileWriteError when a backup cannot be moved or made.
    void makeBackups(const QString& path);

    // A file dialog; the chosen images become slices inserted from position
    // on, in one undo step. False when nothing was chosen.
    bool insertSlice(PLXStack& stack, int position);
    bool insertSlice(PLXStack& stack) { return insertSlice(stack, 0); }

    // Closes the stack, asking first when it is modified (Save, Ignore,
    // Cancel; a failed save asks Retry, Discard, Cancel). False when the
    // user keeps it open.
    bool closeStack(PLXStack& stack);
    // Closes the open stacks, the last first; false at the first one kept.
    bool closeAllStacks();

private:
    // The stack of the dialog's entries and images; raises the reader's
    // exception on an unreadable image, whose path is left in reading.
    PLXStack* makeNewStack(const PLXNewStackDialog& dialog, const QStringList& images, QString& reading);

    QWidget* m_parent;
    PLXWorker* m_worker;
};
