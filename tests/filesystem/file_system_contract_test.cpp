// What the launcher relies on from the file-system adapter of the host the
// tests were built for: the POSIX one natively, the Win32 one under Wine.
// The game folder is set up and inspected through the C++ library, not
// through the adapter under test, so a fault in the adapter cannot hide itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include "platform/error.h"
#include "platform/file_system.h"
#ifdef _WIN32
#include "platform/win32/win32_file_system.h"
#else
#include <sys/stat.h>

#include "tests/fakes/posix_file_system.h"
#endif

namespace brakkis {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

class FileSystemContract : public ::testing::Test {
protected:
    FileSystemContract() { fs::create_directories(root_); }
    ~FileSystemContract() override {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(root_, ignored);
    }

    // The program's spelling of a path below the game folder: backslashes
    // after the host's own spelling of the folder.
    std::string G(const std::string& below = "") const {
        return below.empty() ? root_.string() : root_.string() + "\\" + below;
    }
    fs::path Host(std::string below) const {
        std::replace(below.begin(), below.end(), '\\', '/');
        return root_ / below;
    }
    void Put(const std::string& below, const std::string& content = "content") const {
        fs::create_directories(Host(below).parent_path());
        std::ofstream(Host(below), std::ios::binary) << content;
    }
    void MakeReadOnly(const std::string& below) const {
        fs::permissions(Host(below), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    // Everything below the folder as spelled on disk: files with their
    // content, folders as "name/".
    Tree Files(const std::string& below = "") const {
        Tree tree;
        for (const auto& entry : fs::recursive_directory_iterator(Host(below))) {
            const std::string name = entry.path().lexically_relative(Host(below)).generic_string();
            std::ifstream in(entry.path(), std::ios::binary);
            tree[entry.is_directory() ? name + "/" : name] =
                entry.is_directory() ? "" : std::string(std::istreambuf_iterator<char>(in), {});
        }
        return tree;
    }
    std::string ReadAll(const std::string& path) {
        return files->OpenTextFile(G(path), IOMode::ForReading, false, TextFormat::Ascii)->ReadAll();
    }
    void Rewrite(const std::string& path, const std::string& text) {
        auto stream = files->OpenTextFile(G(path), IOMode::ForWriting, false, TextFormat::Ascii);
        stream->Write(text);
        stream->Close();
    }

    const fs::path root_ = fs::temp_directory_path() / ("brakkis-fs-" + std::to_string(std::random_device()()) +
                                                       std::to_string(std::random_device()()));
#ifdef _WIN32
    std::unique_ptr<FileSystem> files = CreateWin32FileSystem();
#else
    std::unique_ptr<FileSystem> files = CreatePosixFileSystem();
#endif
};

template <class F>
std::int32_t ErrorOf(F&& call) {
    try {
        call();
    } catch (const RaisedError& error) {
        EXPECT_EQ(error.Source(), "FileSystem");
        return error.Number();
    }
    return 0;
}

TEST_F(FileSystemContract, WildcardMoveMovesEveryFileItCanPastACollision) {
    for (const char* name : {"a.ini", "B.INI", "c.Ini", "x.int", "notes.ini.bak", "x.in", "readme.txt"}) {
        Put(name, name);
    }
    Put("Brakkis_Temp\\b.ini", "older backup");
    fs::create_directories(Host("folder.ini"));

    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("*.INI"), G("Brakkis_Temp\\")); }), errnum::kFileAlreadyExists);
    EXPECT_EQ(Files(), (Tree{{"B.INI", "B.INI"}, {"Brakkis_Temp/", ""}, {"Brakkis_Temp/a.ini", "a.ini"},
                             {"Brakkis_Temp/b.ini", "older backup"}, {"Brakkis_Temp/c.Ini", "c.Ini"},
                             {"folder.ini/", ""}, {"notes.ini.bak", "notes.ini.bak"}, {"readme.txt", "readme.txt"},
                             {"x.in", "x.in"}, {"x.int", "x.int"}}));

    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("*.in?"), G("Brakkis_Temp")); }), errnum::kFileAlreadyExists);
    EXPECT_EQ(Files("Brakkis_Temp"), (Tree{{"a.ini", "a.ini"}, {"b.ini", "older backup"}, {"c.Ini", "c.Ini"},
                                           {"x.int", "x.int"}}));
}

TEST_F(FileSystemContract, SingleMovesFindAnyCaseAndKeepTheFilesOwnSpelling) {
    Put("Brakkis_Temp\\Brakkis.int", "mod");
    Put("Brakkis_Temp\\UnrealTournament.ini", "backup");
    Put("unrealtournament.INI", "visible");
    Put("Readme.txt", "notes");

    files->MoveFile(G("brakkis_temp\\BRAKKIS.int"), G() + "\\");
    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("Brakkis_Temp\\UnrealTournament.ini"), G() + "\\"); }),
              errnum::kFileAlreadyExists);
    files->MoveFile(G("README.TXT"), G("Brakkis_Temp\\Notes.txt"));

    EXPECT_EQ(Files(), (Tree{{"Brakkis.int", "mod"}, {"Brakkis_Temp/", ""}, {"Brakkis_Temp/Notes.txt", "notes"},
                             {"Brakkis_Temp/UnrealTournament.ini", "backup"}, {"unrealtournament.INI", "visible"}}));
}

TEST_F(FileSystemContract, MovesAndFoldersThatCannotBeMadeChangeNothing) {
    Put("a.ini");
    Put("Core.u");
    fs::create_directories(Host("Sub.int"));
    files->CreateFolder(G("Brakkis_Temp"));
    const Tree before = Files();

    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("*.int"), G("Brakkis_Temp\\")); }), errnum::kFileNotFound);
    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("Sub.int"), G("Brakkis_Temp\\")); }), errnum::kFileNotFound);
    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("GlideDrv.Int"), G("Sub.int\\")); }), errnum::kFileNotFound);
    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("*.ini"), G("Missing\\")); }), errnum::kPathNotFound);
    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("Missing\\*.ini"), G()); }), errnum::kPathNotFound);
    EXPECT_EQ(ErrorOf([&] { files->CreateFolder(G("BRAKKIS_TEMP")); }), errnum::kFileAlreadyExists);
    EXPECT_EQ(ErrorOf([&] { files->CreateFolder(G("core.U")); }), errnum::kFileAlreadyExists);
    EXPECT_EQ(ErrorOf([&] { files->CreateFolder(G("Missing\\Brakkis_Temp")); }), errnum::kPathNotFound);
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(before.count("Brakkis_Temp/"), 1u);
}

TEST_F(FileSystemContract, ExistenceTellsFilesFromFoldersInAnyCase) {
    Put("Brakkis_Temp\\Core.Int");
    fs::create_directories(Host("Maps.ini"));

    std::string fileAnswers, folderAnswers;
    for (const char* path : {"BRAKKIS_TEMP\\core.int", "Brakkis_Temp\\*.INT", "Brakkis_Temp\\C?re.*",
                             "Brakkis_Temp\\*e.int*", "Brakkis_Temp\\*.ini", "*.ini", "Brakkis_Temp",
                             "Missing\\*.int"}) {
        fileAnswers += files->FileExists(G(path)) ? '1' : '0';
    }
    for (const char* path : {"brakkis_temp", "Brakkis_Temp\\", "Brakkis_Temp\\Core.Int", "Missing"}) {
        folderAnswers += files->FolderExists(G(path)) ? '1' : '0';
    }
    EXPECT_EQ(fileAnswers, "11110000");  // "*.ini" matches only a folder
    EXPECT_EQ(folderAnswers, "1100");
}

TEST_F(FileSystemContract, DeleteFolderStopsAtAReadOnlyFileBeforeDeletingAnything) {
    Put("Brakkis_Temp\\a.log");
    Put("Brakkis_Temp\\Deep\\z.txt");
    Put("Brakkis_Temp\\Deep\\Locked.ini");
    MakeReadOnly("Brakkis_Temp\\Deep\\Locked.ini");
    const Tree before = Files();

    EXPECT_EQ(ErrorOf([&] { files->DeleteFolder(G("Brakkis_Temp"), false); }), errnum::kPermissionDenied);
    EXPECT_EQ(Files(), before);
    files->DeleteFolder(G("brakkis_temp"), true);
    EXPECT_EQ(Files(), Tree{});
    EXPECT_EQ(ErrorOf([&] { files->DeleteFolder(G("Brakkis_Temp"), false); }), errnum::kPathNotFound);

    Put("Brakkis_Temp\\Sub\\x.log");
    Put("Keep.int", "kept");
    files->DeleteFolder(G("Brakkis_Temp"), false);
    EXPECT_EQ(Files(), (Tree{{"Keep.int", "kept"}}));
    EXPECT_EQ(ErrorOf([&] { files->DeleteFolder(G("Keep.int"), false); }), errnum::kPathNotFound);
}

TEST_F(FileSystemContract, WriteStreamReplacesTheFileWholeOnlyAtClose) {
    const Tree old{{"UnrealTournament.int", "[General]\r\nProduct=Unreal Tournament\r\n"}};
    Put("UnrealTournament.int", old.begin()->second);

    auto stream = files->OpenTextFile(G("UNREALTOURNAMENT.INT"), IOMode::ForWriting, false, TextFormat::Ascii);
    stream->WriteLine("[General]");
    stream->Write("Product=Brakkis");
    stream->WriteLine("");
    // A crash now must find the old file whole, and whatever else stands in
    // the folder must escape "*.ini", "*.int" and "*.in?", short names too.
    Tree during = Files();
    EXPECT_EQ(during["UnrealTournament.int"], old.begin()->second);
    during.erase("UnrealTournament.int");
    for (const auto& entry : during) {
        std::string extension = entry.first.substr(entry.first.rfind('.') + 1, 2);
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_NE(extension, "in") << entry.first;
    }
    stream->Close();

    const Tree written{{"UnrealTournament.int", "[General]\r\nProduct=Brakkis\r\n"}};
    EXPECT_EQ(Files(), written);
    EXPECT_EQ(ErrorOf([&] { stream->Write("late"); }), errnum::kInvalidCall);
    EXPECT_EQ(ErrorOf([&] { stream->Close(); }), errnum::kInvalidCall);

    // Letting go of a stream that was never closed keeps the old content,
    // so a routine that fails half-way leaves no half-written file.
    files->OpenTextFile(G("UnrealTournament.int"), IOMode::ForWriting, false, TextFormat::Ascii)->Write("x");
    EXPECT_EQ(Files(), written);

    // What a crash before Close leaves behind is taken over by the next write.
    auto interrupted = files->OpenTextFile(G("UnrealTournament.int"), IOMode::ForWriting, false, TextFormat::Ascii);
    interrupted->Write("half");
    during = Files();
    interrupted.reset();
    during.erase("UnrealTournament.int");
    ASSERT_EQ(during.size(), 1u);
    Put(during.begin()->first, "half");  // the temporary file a dead process could not remove
    Rewrite("UnrealTournament.int", "whole");
    EXPECT_EQ(Files(), (Tree{{"UnrealTournament.int", "whole"}}));
}

TEST_F(FileSystemContract, OpeningWhatCannotBeWrittenChangesNothingAndReadingGivesEveryByte) {
    Put("Locked.ini", "mine");
    MakeReadOnly("Locked.ini");
    fs::create_directories(Host("Maps.int"));
    const auto open = [&](const std::string& path, IOMode mode) {
        return ErrorOf([&] { files->OpenTextFile(G(path), mode, false, TextFormat::Ascii); });
    };
    EXPECT_EQ(open("UnrealTournament.int", IOMode::ForWriting), errnum::kFileNotFound);
    EXPECT_EQ(open("UnrealTournament.int", IOMode::ForReading), errnum::kFileNotFound);
    EXPECT_EQ(open("Brakkis_Temp\\UnrealTournament.int", IOMode::ForWriting), errnum::kPathNotFound);
    EXPECT_EQ(open("Locked.ini", IOMode::ForWriting), errnum::kPermissionDenied);
    EXPECT_EQ(open("maps.INT", IOMode::ForReading), errnum::kPermissionDenied);
    EXPECT_EQ(Files(), (Tree{{"Locked.ini", "mine"}, {"Maps.int/", ""}}));

    auto created = files->OpenTextFile(G("New.int"), IOMode::ForWriting, true, TextFormat::Ascii);
    created->WriteLine("made");
    created->Close();
    std::string bytes;
    for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
    bytes += "\r\nlast line without end\n\r";
    Put("Bytes.ini", bytes);
    Put("Empty.ini", "");
    EXPECT_EQ(ReadAll("new.INT"), "made\r\n");
    EXPECT_EQ(ReadAll("bytes.INI"), bytes);
    EXPECT_EQ(ReadAll("Empty.ini"), "");
}

#ifndef _WIN32
// What only a case-sensitive host can get wrong.
TEST_F(FileSystemContract, PosixTheExactSpellingWinsOverCaseVariants) {
    Put("brakkis.ini", "lower");
    Put("Brakkis.ini", "mixed");
    Put("BRAKKIS.INI", "upper");

    EXPECT_EQ(ReadAll("Brakkis.ini"), "mixed");
    EXPECT_EQ(ReadAll("brakkis.ini"), "lower");
    Rewrite("BRAKKIS.INI", "new");
    EXPECT_EQ(Files(), (Tree{{"BRAKKIS.INI", "new"}, {"Brakkis.ini", "mixed"}, {"brakkis.ini", "lower"}}));
}

TEST_F(FileSystemContract, PosixDriveLetterPathsNameHostPathsAndRewritesKeepPermissions) {
    std::string drivePath = "Z:" + G();
    std::replace(drivePath.begin(), drivePath.end(), '/', '\\');
    Put("Core.int");
    Put("User.ini", "old");
    ::chmod(Host("User.ini").c_str(), 0640);

    EXPECT_TRUE(files->FolderExists(drivePath));
    files->CreateFolder(drivePath + "\\Brakkis_Temp");
    files->MoveFile(drivePath + "\\*.int", drivePath + "\\Brakkis_Temp\\");
    Rewrite("User.ini", "new");
    EXPECT_EQ(Files(), (Tree{{"Brakkis_Temp/", ""}, {"Brakkis_Temp/Core.int", "content"}, {"User.ini", "new"}}));
    struct stat st {};
    ASSERT_EQ(::stat(Host("User.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}
#endif

}  // namespace
}  // namespace brakkis
