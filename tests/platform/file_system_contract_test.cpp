// What the launcher relies on from the file-system service, held against the
// fake and, in the Windows build, the Win32 adapter. Each folder is set up
// and read back around the service under test, never through it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "platform/error.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/support/differences.h"
#ifdef _WIN32
#include "platform/win32/win32_file_system.h"
static const std::vector<std::string> kAdapters = {"Fake", "Win32"};
#else
static const std::vector<std::string> kAdapters = {"Fake"};
#endif

namespace brakkis {
namespace {

namespace fs = std::filesystem;

class FileSystemContract : public ::testing::TestWithParam<std::string> {
protected:
    FileSystemContract() {
#ifdef _WIN32
        if (GetParam() == "Win32") fs::create_directories(root_), files_ = CreateWin32FileSystem();
#endif
        if (!files_) disk_.MakeFolder(G());
    }
    ~FileSystemContract() override {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(root_, ignored))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }
    std::string G(const std::string& below = "") const {
        return (files_ ? root_.string() : "C:\\UT\\System") + (below.empty() ? "" : "\\" + below);
    }
    // A file, or a folder when the name ends in a backslash.
    void Put(const std::string& below, const std::string& bytes = "x", bool readOnly = false) {
        if (!files_) return disk_.Put(G(below), bytes, readOnly);
        fs::create_directories((root_ / below).parent_path());
        if (below.ends_with('\\')) return void(fs::create_directories(root_ / below));
        std::ofstream(root_ / below, std::ios::binary) << bytes;
        if (readOnly) fs::permissions(root_ / below, fs::perms::owner_write, fs::perm_options::remove);
    }
    Files Now() {
        if (!files_) return disk_.Below(G());
        Files tree;
        for (const auto& entry : fs::recursive_directory_iterator(root_)) {
            std::ifstream in(entry.path(), std::ios::binary);
            tree[entry.path().lexically_relative(root_).string() + (entry.is_directory() ? "\\" : "")] =
                std::string(std::istreambuf_iterator<char>(in), {});
        }
        return tree;
    }
    FileSystem& Service() { return files_ ? *files_ : fake_; }
    std::int32_t ErrorOf(const std::function<void()>& call) try { return call(), 0; } catch (const RaisedError& error) {
        return error.Source() == "FileSystem" ? error.Number() : -1;
    }
    std::unique_ptr<TextStream> Open(const std::string& below, IOMode mode, bool create = false) {
        return Service().OpenTextFile(G(below), mode, create, TextFormat::Ascii);
    }

    const fs::path root_ = fs::temp_directory_path() / ("brakkis-fs-" + std::to_string(std::random_device()()));
    fakes::FakeDisk disk_;
    fakes::FakeFileSystem fake_{disk_};
    std::unique_ptr<FileSystem> files_;
};

TEST_P(FileSystemContract, MovesPickFilesInAnyCaseKeepTheirSpellingAndNeverOverwrite) {
    for (const char* name : {"a.ini", "B.INI", "c.Ini", "x.int", "notes.ini.bak", "readme.txt", "folder.ini\\"})
        Put(name, name);
    Put("Brakkis_Temp\\b.ini", "older");
    EXPECT_EQ(ErrorOf([&] { Service().MoveFile(G("*.INI"), G("Brakkis_Temp\\")); }), errnum::kFileAlreadyExists);
    EXPECT_EQ(ErrorOf([&] { Service().MoveFile(G("*.in?"), G("Brakkis_Temp")); }), errnum::kFileAlreadyExists);
    Service().MoveFile(G("brakkis_temp\\A.INI"), G() + "\\");
    Service().MoveFile(G("README.TXT"), G("Brakkis_Temp\\Notes.txt"));
    Files expected{{"Brakkis_Temp\\", ""}, {"Brakkis_Temp\\Notes.txt", "readme.txt"}, {"Brakkis_Temp\\b.ini", "older"}};
    for (const char* name : {"B.INI", "Brakkis_Temp\\c.Ini", "Brakkis_Temp\\x.int", "a.ini", "notes.ini.bak"})
        expected[name] = std::string(name).substr(std::string(name).find('\\') + 1);
    expected["folder.ini\\"] = "";
    EXPECT_EQ(Differences(expected, Now()), "");
}

TEST_P(FileSystemContract, WhatCannotBeDoneFailsAndChangesNothingButDeletionsDoWhatTheyCan) {
    // The scripting runtime's numbers, as a player's message shows them.
    EXPECT_EQ(std::vector({errnum::kInvalidCall, errnum::kOverflow, errnum::kSubscriptOutOfRange, errnum::kFileNotFound,
                           errnum::kFileAlreadyExists, errnum::kBadFileMode, errnum::kPermissionDenied,
                           errnum::kPathNotFound, errnum::kObjectRequired}),
              std::vector({5, 6, 9, 53, 58, 54, 70, 76, 424}));
    for (const char* name :
         {"a.ini", "Core.u", "Sub.int\\", "Brakkis_Temp\\a.log", "x.~brakkis.tmp", "z.~brakkis.tmp.ini"})
        Put(name);
    for (const char* name : {"Brakkis_Temp\\Deep\\Locked.ini", "y.~brakkis.tmp", "Locked.ini"}) Put(name, "x", true);
    const Files before = Now();
    const std::pair<std::function<void()>, std::int32_t> refused[] = {
        {[&] { Service().MoveFile(G("*.int"), G("Brakkis_Temp\\")); }, errnum::kFileNotFound},
        {[&] { Service().MoveFile(G("Sub.int"), G("Brakkis_Temp\\")); }, errnum::kFileNotFound},
        {[&] { Service().MoveFile(G("*.ini"), G("Missing\\")); }, errnum::kPathNotFound},
        {[&] { Service().MoveFile(G("Missing\\*.ini"), G()); }, errnum::kPathNotFound},
        {[&] { Service().CreateFolder(G("BRAKKIS_TEMP")); }, errnum::kFileAlreadyExists},
        {[&] { Service().CreateFolder(G("core.U")); }, errnum::kFileAlreadyExists},
        {[&] { Service().CreateFolder(G("Missing\\Brakkis_Temp")); }, errnum::kPathNotFound},
        {[&] { Service().DeleteFile(G("*.int")); }, errnum::kFileNotFound},
        {[&] { Service().DeleteFile(G("Missing\\*.tmp")); }, errnum::kPathNotFound},
        {[&] { Service().DeleteFolder(G("Core.u"), false); }, errnum::kPathNotFound},
        // A read-only file anywhere inside stops it before anything goes.
        {[&] { Service().DeleteFolder(G("Brakkis_Temp"), false); }, errnum::kPermissionDenied},
        {[&] { Open("UnrealTournament.int", IOMode::ForWriting); }, errnum::kFileNotFound},
        {[&] { Open("UnrealTournament.int", IOMode::ForReading); }, errnum::kFileNotFound},
        {[&] { Open("Missing\\UnrealTournament.int", IOMode::ForWriting); }, errnum::kPathNotFound},
        {[&] { Open("sub.INT", IOMode::ForReading); }, errnum::kPermissionDenied},
        {[&] { Open("Locked.ini", IOMode::ForWriting); }, errnum::kPermissionDenied},
    };
    for (const auto& [call, number] : refused) EXPECT_EQ(ErrorOf(call), number);
    EXPECT_EQ(Differences(before, Now()), "");
    std::string answers;
    for (const char* path : {"A.INI", "*.I?I", "*.int", "Sub.int", "Missing\\*.ini"})
        answers += Service().FileExists(G(path)) ? '1' : '0';
    for (const char* path : {"brakkis_temp", "Brakkis_Temp\\", "a.ini", "Missing"})
        answers += Service().FolderExists(G(path)) ? '1' : '0';
    EXPECT_EQ(answers, "110001100");
    EXPECT_EQ(ErrorOf([&] { Service().DeleteFile(G("*.~BRAKKIS.tmp")); }), errnum::kPermissionDenied);
    Service().DeleteFolder(G("brakkis_temp"), true);
    Files left = before;
    std::erase_if(left, [](const auto& e) { return e.first.starts_with("Brakkis_Temp") || e.first.starts_with("x."); });
    EXPECT_EQ(Differences(left, Now()), "");
}

TEST_P(FileSystemContract, AWriteReplacesTheFileWholeOnlyAtClose) {
    Put("UnrealTournament.int", "old");
    std::string bytes;
    for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
    auto stream = Open("UNREALTOURNAMENT.INT", IOMode::ForWriting);
    stream->WriteLine(bytes);
    stream->Write("Product=Brakkis");
    // A crash now finds the old file whole, and the pending one beside it.
    EXPECT_EQ(Now().at("UnrealTournament.int") + " " + std::to_string(Now().count("UnrealTournament.int.~brakkis.tmp")),
              "old 1");
    stream->Close();
    EXPECT_EQ(ErrorOf([&] { stream->Write("late"); }), errnum::kInvalidCall);
    EXPECT_EQ(ErrorOf([&] { Open("UnrealTournament.int", IOMode::ForReading)->Write("x"); }), errnum::kBadFileMode);
    // Let go without Close: the old text stays and nothing is left beside it.
    Open("UnrealTournament.int", IOMode::ForWriting)->Write("half");
    // What a dead process left beside a file is taken over by the next write.
    Put("New.int.~brakkis.tmp", "half");
    Open("New.int", IOMode::ForWriting, true)->Close();
    EXPECT_EQ(Differences({{"New.int", ""}, {"UnrealTournament.int", bytes + "\r\nProduct=Brakkis"}}, Now()), "");
    EXPECT_EQ(Open("unrealtournament.INT", IOMode::ForReading)->ReadAll(), bytes + "\r\nProduct=Brakkis");
}

INSTANTIATE_TEST_SUITE_P(Adapters, FileSystemContract, ::testing::ValuesIn(kAdapters), [](auto& i) { return i.param; });

}  // namespace
}  // namespace brakkis
