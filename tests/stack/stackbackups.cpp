#include "stack/stackbackups.h"

#include "stackfiles.h"

#include <gtest/gtest.h>

using namespace stackfiletest;

// Successive saves walk a version down to the last backup, then drop it;
// nothing happens without a file or with no backups wanted.
TEST(StackBackups, SavesShiftTheBackupsAndDropTheOldest)
{
    TemporaryDirectory directory;
    const std::string file = directory.path("cell.sdf");
    auto backup = [&](int i) { return StackBackups::backupName(file, i); };
    EXPECT_EQ(backup(3), file + "~3");
    StackBackups backups;
    backups.make(file);
    EXPECT_FALSE(std::filesystem::exists(backup(1)));
    for (const char* version : {"a", "b", "c", "d", "e", "f", "g"}) {
        writeFile(file, version);
        backups.make(file);
    }
    EXPECT_EQ(readFile(file), "g");
    EXPECT_EQ(readFile(backup(1)), "g");
    EXPECT_EQ(readFile(backup(5)), "c");
    EXPECT_FALSE(std::filesystem::exists(backup(6)));

    backups.setMaxBackups(2);
    writeFile(file, "h");
    backups.make(file);
    EXPECT_EQ(readFile(backup(2)), "g");
    EXPECT_EQ(readFile(backup(3)), "e"); // beyond the maximum: left as it was
    backups.setMaxBackups(0);
    writeFile(file, "i");
    backups.make(file);
    EXPECT_EQ(readFile(backup(1)), "h");
    backups.setMaxBackups(99);
    EXPECT_EQ(backups.getMaxBackups(), StackBackups::largestMaxBackups);
}
