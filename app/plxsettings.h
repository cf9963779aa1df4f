#pragma once
// PLXSettings: the user's working state that the program keeps between runs:
// the directories the file dialogs start in, the recent stack files (most
// recent first, at most 10) and the size of the open-stack dialog. One
// instance, PLXSettings::settings, plus class-wide values. Read once at
// start-up (load) and written once at exit (save), in the settings store of
// organisation "Varnak", application "Plexan", under the keys
// "inputDirectory", "outputDirectory", "recentFiles" and
// "openStackDialogSize". A missing or unreadable store gives the defaults:
// the home directory for both directories, no recent files, 400 x 300.

#include <QDir>
#include <QSize>
#include <QString>
#include <QStringList>

class PLXSettings {
public:
    static PLXSettings settings;

    void load();
    void save() const;

    void setInputDirectory(const QDir& dir) { m_inputDirectory = dir; }
    const QDir& getInputDirectory() const { return m_inputDirectory; }
    void setOutputDirectory(const QDir& dir) { m_outputDirectory = dir; }
    const QDir& getOutputDirectory() const { return m_outputDirectory; }

    static QStringList& getRecentFilesList() { return s_recentFiles; }
    // Puts path first unless it is listed already (exact comparison; the
    // entry then keeps its place); drops the last entry beyond the maximum.
    static void addRecentFile(const QString& path);
    static int getMaxNumRecentFiles() { return s_maxNumRecentFiles; }

    static void setOpenStackDialogSize(const QSize& size) { s_openStackDialogSize = size; }
    static const QSize& getOpenStackDialogSize() { return s_openStackDialogSize; }

private:
    QDir m_inputDirectory;
    QDir m_outputDirectory;
    static QStringList s_recentFiles;
    static QSize s_openStackDialogSize;
    static const int s_maxNumRecentFiles = 10;
};
