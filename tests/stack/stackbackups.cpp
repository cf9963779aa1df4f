#include "stack/stackbackups.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class StackBackupsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_directory = fs::temp_directory_path() / ("plexan-backups-" + std::to_string(::getpid()));
        fs::create_directories(m_directory);
        m_file = (m_directory / "cell.sdf").string();
    }
    void TearDown() override { fs::remove_all(m_directory); }

    static void write(const std::string& file, const std::string& text) { std::ofstream(file) << text; }
    static std::string read(const std::string& file)
    {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string backup(int i) const { return StackBackups::backupName(m_file, i); }

    fs::path m_directory;
    std::string m_file;
};

} // namespace

TEST_F(StackBackupsTest, SavesShiftTheBackupsAndDropTheOldest)
{
    EXPECT_EQ(backup(3), m_file + "~3");
    StackBackups backups;
    backups.setMaxBackups(2);
    write(m_file, "current");
    write(backup(1), "newest");
    write(backup(2), "oldest");
    backups.make(m_file);
    EXPECT_EQ(read(m_file), "current");
    EXPECT_EQ(read(backup(1)), "current");
    EXPECT_EQ(read(backup(2)), "newest");
    EXPECT_FALSE(fs::exists(backup(3)));

    // Successive saves walk a version down to the last backup, then drop it.
    StackBackups five;
    for (const char* version : {"a", "b", "c", "d", "e", "f", "g"}) {
        write(m_file, version);
        five.make(m_file);
    }
    EXPECT_EQ(read(backup(1)), "g");
    EXPECT_EQ(read(backup(5)), "c");
    EXPECT_FALSE(fs::exists(backup(6)));
}

TEST_F(StackBackupsTest, NoBackupWithoutFileOrWithZero)
{
    StackBackups backups;
    backups.make(m_file);
    EXPECT_FALSE(fs::exists(backup(1)));

    backups.setMaxBackups(0);
    write(m_file, "current");
    backups.make(m_file);
    EXPECT_FALSE(fs::exists(backup(1)));

    backups.setMaxBackups(99);
    EXPECT_EQ(backups.getMaxBackups(), StackBackups::largestMaxBackups);
}
