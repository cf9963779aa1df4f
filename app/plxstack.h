#pragma once
// PLXStack: an open stack of the application: the document (Stack) with its
// file name, modified flag, 3D reconstruction, image caches and undo
// histories (one for the stack, one per slice, made on first use).
//
// A stack is an event client and keeps itself up to date from the events
// that concern it (its own stack events; events on its slices, models,
// items and poses):
//   - stack name, slice spacing and image calibration, slice annotation and
//     name, model creation, deletion and properties, item creation,
//     deletion, vertices, attributes and conversion, pose creation and
//     deletion: modified;
//   - an item creation also makes the item's slice the last segmented one;
//   - a slice spacing (image calibration) event recomputes the
//     reconstruction and sends a stack slice spacing (image calibration)
//     event, which marks the stack modified;
//   - slice insertions and deletions (actions) recompute the reconstruction
//     and mark it modified.
// Selections, locks, registrations and preferences change nothing here.
//
// Files: write() saves without backups (the closing question's Save);
// writeFile() is the safe save under both: the text goes to a temporary file
// beside the target, is flushed to disk, the backups are rotated, and only
// then the temporary file replaces the target.
//
// Created by the stack operations (PLXStackIO), owned by the stack server
// from addStack() on, deleted by removeStack().

#include "app/plxeventclient.h"
#include "app/plxsliceimagecache.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>

class PLXActionHistory;
class PLXImageServer;
class ProgressMonitor;

class PLXStack : public QObject, public Stack, public PLXEventClient {
    Q_OBJECT
public:
    explicit PLXStack(QObject* parent = nullptr);
    ~PLXStack() override;

    // Empty for a stack never saved. Setting a different name sends a file
    // name event.
    void setFilename(const QString& name);
    const QString& getFilename() const { return m_filename; }

    // Stores the flag, emits modified(flag) and sends a modify event, also
    // when the flag does not change.
    void setModified(bool flag);
    bool isModified() const { return m_modified; }

    // Writes the stack to name safely, without backups (see writeFile). On
    // success the stack becomes unmodified and takes name as file name (a
    // modify event, then a file name event when the name changes); on failure
    // nothing changes and false is returned.
    bool write(const QString& name);
    // The safe save: the stack's text is written to a temporary file in
    // path's directory and flushed to disk; then up to maxBackups backups of
    // path are rotated ("~1" the newest); then the temporary file is renamed
    // onto path. On failure path and its backups are left as they were (a
    // backup that cannot be rotated stops the save), the temporary file is
    // removed, and reason (when given) says why. Changes no state of the
    // stack and reads the document only, so it may run in a worker thread
    // while the document is left alone. monitor hears the writer's progress.
    bool writeFile(const QString& path, int maxBackups, QString* reason = nullptr,
                   ProgressMonitor* monitor = nullptr) const;

    // Recomputes the reconstruction's maps from the slices.
    void updateReconstruction();
    const StackReconstruction<double>& getReconstruction() const { return m_reconstruction; }

    PLXSliceImageCache& getSliceImageCache() { return m_sliceImageCache; }
    PLXRawImageCache& getRawImageCache() { return m_rawImageCache; }
    PLXSlicePixmapCache& getSlicePixmapCache() { return m_slicePixmapCache; }

    // The image server of the stack's panorama: one thumbnail (at most
    // 256 x 256) per slice image, kept while the stack is open.
    PLXImageServer* getPanoramaImageServer() const { return m_panoramaServer.get(); }

    // The stack's undo history.
    PLXActionHistory& history() { return *m_history; }
    // The slice's own history, made empty on first use.
    PLXActionHistory& sliceHistory(const StackSlice& slice);
    // Clears the stack history and every slice history.
    void destroyHistory();

    // Whether a registration window is open on the stack (at most one is).
    void setBeingRegistered(bool on) { m_beingRegistered = on; }
    bool isBeingRegistered() const { return m_beingRegistered; }

    // While a worker thread reads the document into a stack that is not yet
    // open, the stack ignores every event (nothing else may touch it then).
    void setReading(bool reading) { m_reading = reading; }
    bool isReading() const { return m_reading; }

signals:
    void modified(bool flag);

protected:
    void stackNameEvent(PLXStackNameEvent& e) override;
    void stackSliceSpacingEvent(PLXStackSliceSpacingEvent& e) override;
    void stackImageCalibrationEvent(PLXStackImageCalibrationEvent& e) override;
    void sliceAnnotationEvent(PLXSliceAnnotationEvent& e) override;
    void sliceNameEvent(PLXSliceNameEvent& e) override;
    void sliceSpacingEvent(PLXSliceSpacingEvent& e) override;
    void sliceImageCalibrationEvent(PLXSliceImageCalibrationEvent& e) override;
    void modelCreateEvent(PLXModelCreateEvent& e) override;
    void modelDeleteEvent(PLXModelDeleteEvent& e) override;
    void modelPropertiesEvent(PLXModelPropertiesEvent& e) override;
    void modelItemCreateEvent(PLXModelItemCreateEvent& e) override;
    void modelItemDeleteEvent(PLXModelItemDeleteEvent& e) override;
    void modelItemVertexEvent(PLXModelItemVertexEvent& e) override;
    void modelItemAttributeEvent(PLXModelItemAttributeEvent& e) override;
    void modelItemConvertEvent(PLXModelItemConvertEvent& e) override;
    void poseCreateEvent(PLXPoseCreateEvent& e) override;
    void poseDeleteEvent(PLXPoseDeleteEvent& e) override;
    void processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action) override;

private:
    bool concerns(const PLXStackEvent& e) const;
    bool concerns(const PLXSliceEvent& e) const;
    bool concerns(const PLXModelEvent& e) const;
    bool concerns(const PLXModelItemEvent& e) const;
    bool concerns(const PLXPoseEvent& e) const;

    QString m_filename;
    bool m_modified = false;
    bool m_beingRegistered = false;
    bool m_reading = false;
    StackReconstruction<double> m_reconstruction;
    PLXSliceImageCache m_sliceImageCache;
    PLXRawImageCache m_rawImageCache;
    PLXSlicePixmapCache m_slicePixmapCache;
    std::unique_ptr<PLXImageServer> m_panoramaServer;
    std::unique_ptr<PLXActionHistory> m_history;
    std::map<const StackSlice*, std::unique_ptr<PLXActionHistory>> m_sliceHistories;
};
