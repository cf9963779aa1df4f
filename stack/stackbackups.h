#pragma once
// StackBackups: the rotating backups made before a stack file is saved over.
// The file "cell.sdf" keeps its previous versions as "cell.sdf~1" (the
// newest) to "cell.sdf~N" (the oldest); each save shifts them by one, drops
// the oldest, and copies the current file to "~1". N is at most 10; with 0
// no backup is kept.

#include <string>

class StackBackups {
public:
    static constexpr int defaultMaxBackups = 5;
    static constexpr int largestMaxBackups = 10;

    // Clamped to 0 .. largestMaxBackups.
    void setMaxBackups(int n);
    int getMaxBackups() const { return m_maxBackups; }

    // Rotates the backups of path and copies path to its first backup (when
    // path exists). FileWriteError naming the file when a backup cannot be
    // moved or written; path itself is never changed.
    void make(const std::string& path) const;

    // path + "~" + i.
    static std::string backupName(const std::string& path, int i);

private:
    int m_maxBackups = defaultMaxBackups;
};
