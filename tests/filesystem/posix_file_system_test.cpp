// What only a case-sensitive host can get wrong.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "platform/file_system.h"
#include "platform/posix/posix_file_system.h"
#include "tests/filesystem/game_folder_fixture.h"

namespace brakkis {
namespace {

class PosixFileSystemTest : public ::testing::Test, protected testing::GameFolderFixture {
protected:
    std::unique_ptr<FileSystem> files = CreatePosixFileSystem();
    std::string Read(const std::string& path) {
        return files->OpenTextFile(path, IOMode::ForReading, false, TextFormat::Ascii)->ReadAll();
    }
};

TEST_F(PosixFileSystemTest, TheExactSpellingWinsOverCaseVariants) {
    Put("brakkis.ini", "lower");
    Put("Brakkis.ini", "mixed");
    Put("BRAKKIS.INI", "upper");

    EXPECT_EQ(Read(G("Brakkis.ini")), "mixed");
    EXPECT_EQ(Read(G("brakkis.ini")), "lower");
    auto stream = files->OpenTextFile(G("BRAKKIS.INI"), IOMode::ForWriting, false, TextFormat::Ascii);
    stream->Write("new");
    stream->Close();
    EXPECT_EQ(Content("BRAKKIS.INI"), "new");
    EXPECT_EQ(Content("Brakkis.ini"), "mixed");
}

TEST_F(PosixFileSystemTest, DriveLetterPathsNameHostPaths) {
    std::string drivePath = "Z:" + G();
    std::replace(drivePath.begin(), drivePath.end(), '/', '\\');
    Put("Core.int");

    EXPECT_TRUE(files->FolderExists(drivePath));
    files->CreateFolder(drivePath + "\\Brakkis_Temp");
    files->MoveFile(drivePath + "\\*.int", drivePath + "\\Brakkis_Temp\\");
    EXPECT_EQ(Listing("Brakkis_Temp"), std::vector<std::string>{"Core.int"});
}

TEST_F(PosixFileSystemTest, RewritingKeepsTheFilesPermissions) {
    Put("User.ini", "old");
    ::chmod(Host("User.ini").c_str(), 0640);

    auto stream = files->OpenTextFile(G("User.ini"), IOMode::ForWriting, false, TextFormat::Ascii);
    stream->Write("new");
    stream->Close();

    EXPECT_EQ(Content("User.ini"), "new");
    struct stat st {};
    ASSERT_EQ(::stat(Host("User.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

}  // namespace
}  // namespace brakkis
