// What the launcher relies on from the file-system service, held against the
// fake and, in the Windows build, the Win32 adapter. Each folder is set up
// and inspected around the service under test, never through it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>

#include "platform/error.h"
#include "tests/fakes/fake_file_system.h"
#ifdef _WIN32
#include "platform/win32/win32_file_system.h"
#endif

namespace brakkis {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;  // relative path, '\' inside; folders end in '\'

struct Place {
    virtual ~Place() = default;
    std::string G;  // the game folder as the program spells it
    std::unique_ptr<FileSystem> service;
    virtual void Put(const std::string& below, const std::string& bytes = "x", bool readOnly = false) = 0;
    virtual void Folder(const std::string& below) = 0;
    virtual Tree Files() = 0;
};

struct FakePlace : Place {
    fakes::FakeDisk disk;
    FakePlace() {
        G = "C:\\Games\\UT\\System";
        disk.MakeFolder(G);
        service = std::make_unique<fakes::FakeFileSystem>(disk);
    }
    void Put(const std::string& below, const std::string& bytes, bool readOnly) override {
        disk.Put(G + "\\" + below, bytes, readOnly);
    }
    void Folder(const std::string& below) override { disk.MakeFolder(G + "\\" + below); }
    Tree Files() override { return disk.Below(G); }
};

#ifdef _WIN32
struct DiskPlace : Place {
    fs::path root = fs::temp_directory_path() / ("brakkis-fs-" + std::to_string(std::random_device()()));
    DiskPlace() {
        fs::create_directories(root);
        G = root.string();
        service = CreateWin32FileSystem();
    }
    ~DiskPlace() override {
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
        }
        fs::remove_all(root);
    }
    void Put(const std::string& below, const std::string& bytes, bool readOnly) override {
        fs::create_directories((root / below).parent_path());
        std::ofstream(root / below, std::ios::binary) << bytes;
        if (readOnly) fs::permissions(root / below, fs::perms::owner_write, fs::perm_options::remove);
    }
    void Folder(const std::string& below) override { fs::create_directories(root / below); }
    Tree Files() override {
        Tree tree;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            const std::string name = entry.path().lexically_relative(root).string();
            std::ifstream in(entry.path(), std::ios::binary);
            tree[entry.is_directory() ? name + "\\" : name] =
                entry.is_directory() ? "" : std::string(std::istreambuf_iterator<char>(in), {});
        }
        return tree;
    }
};
#endif

class FileSystemContract : public ::testing::TestWithParam<std::string> {
protected:
    FileSystemContract() {
#ifdef _WIN32
        if (GetParam() == "Win32") place_ = std::make_unique<DiskPlace>();
#endif
        if (!place_) place_ = std::make_unique<FakePlace>();
    }
    std::string G(const std::string& below = "") const { return place_->G + (below.empty() ? "" : "\\" + below); }
    FileSystem& files() { return *place_->service; }
    std::int32_t ErrorOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const RaisedError& error) {
            EXPECT_EQ(error.Source(), "FileSystem");
            return error.Number();
        }
        return 0;
    }
    std::unique_ptr<TextStream> Open(const std::string& below, IOMode mode, bool create = false) {
        return files().OpenTextFile(G(below), mode, create, TextFormat::Ascii);
    }
    std::unique_ptr<Place> place_;
};

TEST_P(FileSystemContract, MovesPickFilesInAnyCaseKeepTheirSpellingAndNeverOverwrite) {
    for (const char* name : {"a.ini", "B.INI", "c.Ini", "x.int", "notes.ini.bak", "readme.txt"}) place_->Put(name, name);
    place_->Put("Brakkis_Temp\\b.ini", "older");
    place_->Folder("folder.ini");

    EXPECT_EQ(ErrorOf([&] { files().MoveFile(G("*.INI"), G("Brakkis_Temp\\")); }), errnum::kFileAlreadyExists);
    EXPECT_EQ(ErrorOf([&] { files().MoveFile(G("*.in?"), G("Brakkis_Temp")); }), errnum::kFileAlreadyExists);
    files().MoveFile(G("brakkis_temp\\A.INI"), G() + "\\");
    files().MoveFile(G("README.TXT"), G("Brakkis_Temp\\Notes.txt"));
    EXPECT_EQ(place_->Files(), (Tree{{"B.INI", "B.INI"}, {"Brakkis_Temp\\", ""}, {"Brakkis_Temp\\Notes.txt", "readme.txt"},
                                     {"Brakkis_Temp\\b.ini", "older"}, {"Brakkis_Temp\\c.Ini", "c.Ini"},
                                     {"Brakkis_Temp\\x.int", "x.int"}, {"a.ini", "a.ini"}, {"folder.ini\\", ""},
                                     {"notes.ini.bak", "notes.ini.bak"}}));
}

TEST_P(FileSystemContract, WhatCannotBeDoneChangesNothing) {
    place_->Put("a.ini");
    place_->Put("Core.u");
    place_->Folder("Sub.int");
    place_->Folder("Brakkis_Temp");
    const Tree before = place_->Files();
    const std::pair<std::function<void()>, std::int32_t> refused[] = {
        {[&] { files().MoveFile(G("*.int"), G("Brakkis_Temp\\")); }, errnum::kFileNotFound},
        {[&] { files().MoveFile(G("Sub.int"), G("Brakkis_Temp\\")); }, errnum::kFileNotFound},
        {[&] { files().MoveFile(G("*.ini"), G("Missing\\")); }, errnum::kPathNotFound},
        {[&] { files().MoveFile(G("Missing\\*.ini"), G()); }, errnum::kPathNotFound},
        {[&] { files().CreateFolder(G("BRAKKIS_TEMP")); }, errnum::kFileAlreadyExists},
        {[&] { files().CreateFolder(G("core.U")); }, errnum::kFileAlreadyExists},
        {[&] { files().CreateFolder(G("Missing\\Brakkis_Temp")); }, errnum::kPathNotFound},
        {[&] { files().DeleteFile(G("*.int")); }, errnum::kFileNotFound},
        {[&] { files().DeleteFile(G("Missing\\*.tmp")); }, errnum::kPathNotFound},
        {[&] { files().DeleteFolder(G("Core.u"), false); }, errnum::kPathNotFound},
        {[&] { Open("UnrealTournament.int", IOMode::ForWriting); }, errnum::kFileNotFound},
        {[&] { Open("UnrealTournament.int", IOMode::ForReading); }, errnum::kFileNotFound},
        {[&] { Open("Missing\\UnrealTournament.int", IOMode::ForWriting); }, errnum::kPathNotFound},
        {[&] { Open("sub.INT", IOMode::ForReading); }, errnum::kPermissionDenied},
    };
    for (const auto& [call, number] : refused) EXPECT_EQ(ErrorOf(call), number);
    EXPECT_EQ(place_->Files(), before);
}

TEST_P(FileSystemContract, ExistenceTellsFilesFromFoldersInAnyCase) {
    place_->Put("Brakkis_Temp\\Core.Int");
    place_->Folder("Maps.ini");
    std::string answers;
    for (const char* path : {"BRAKKIS_TEMP\\core.int", "Brakkis_Temp\\*.INT", "Brakkis_Temp\\C?re.*",
                             "Brakkis_Temp\\*.ini", "*.ini", "Brakkis_Temp", "Missing\\*.int"}) {
        answers += files().FileExists(G(path)) ? '1' : '0';
    }
    for (const char* path : {"brakkis_temp", "Brakkis_Temp\\", "Brakkis_Temp\\Core.Int", "Missing"}) {
        answers += files().FolderExists(G(path)) ? '1' : '0';
    }
    EXPECT_EQ(answers, "1110000" "1100");
}

TEST_P(FileSystemContract, ReadOnlyFilesStopDeletionsButNotTheOthers) {
    place_->Put("Brakkis_Temp\\a.log");
    place_->Put("Brakkis_Temp\\Deep\\Locked.ini", "x", true);
    place_->Put("x.~brakkis.tmp");
    place_->Put("y.~brakkis.tmp", "x", true);
    place_->Put("z.~brakkis.tmp.ini");
    const Tree before = place_->Files();

    EXPECT_EQ(ErrorOf([&] { files().DeleteFolder(G("Brakkis_Temp"), false); }), errnum::kPermissionDenied);
    EXPECT_EQ(place_->Files(), before);
    EXPECT_EQ(ErrorOf([&] { files().DeleteFile(G("*.~BRAKKIS.tmp")); }), errnum::kPermissionDenied);
    files().DeleteFolder(G("brakkis_temp"), true);
    EXPECT_EQ(place_->Files(), (Tree{{"y.~brakkis.tmp", "x"}, {"z.~brakkis.tmp.ini", "x"}}));
}

TEST_P(FileSystemContract, AWriteReplacesTheFileWholeOnlyAtClose) {
    place_->Put("UnrealTournament.int", "old");
    auto stream = Open("UNREALTOURNAMENT.INT", IOMode::ForWriting);
    stream->WriteLine("[General]");
    stream->Write("Product=Brakkis");
    // A crash now finds the old file whole, and the pending one beside it.
    Tree during = place_->Files();
    EXPECT_EQ(during.at("UnrealTournament.int"), "old");
    EXPECT_EQ(during.size(), 2u);
    EXPECT_EQ(during.count("UnrealTournament.int.~brakkis.tmp"), 1u);
    stream->Close();
    const Tree written{{"UnrealTournament.int", "[General]\r\nProduct=Brakkis"}};
    EXPECT_EQ(place_->Files(), written);
    EXPECT_EQ(ErrorOf([&] { stream->Write("late"); }), errnum::kInvalidCall);
    EXPECT_EQ(ErrorOf([&] { Open("UnrealTournament.int", IOMode::ForReading)->Write("x"); }), errnum::kBadFileMode);

    // Let go without Close: the old text stays and nothing is left beside it.
    Open("UnrealTournament.int", IOMode::ForWriting)->Write("half");
    EXPECT_EQ(place_->Files(), written);
    // What a dead process left beside the file is taken over by the next write.
    place_->Put("UnrealTournament.int.~brakkis.tmp", "half");
    stream = Open("UnrealTournament.int", IOMode::ForWriting);
    stream->Write("whole");
    stream->Close();
    EXPECT_EQ(place_->Files(), (Tree{{"UnrealTournament.int", "whole"}}));

    place_->Put("Locked.ini", "mine", true);
    EXPECT_EQ(ErrorOf([&] { Open("Locked.ini", IOMode::ForWriting); }), errnum::kPermissionDenied);
    stream = Open("New.int", IOMode::ForWriting, true);
    stream->WriteLine("made");
    stream->Close();
    std::string bytes;
    for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
    place_->Put("Bytes.ini", bytes + "\r\nno end\n\r");
    EXPECT_EQ(Open("new.INT", IOMode::ForReading)->ReadAll(), "made\r\n");
    EXPECT_EQ(Open("bytes.INI", IOMode::ForReading)->ReadAll(), bytes + "\r\nno end\n\r");
    EXPECT_EQ(place_->Files()["Locked.ini"], "mine");
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Adapters, FileSystemContract, ::testing::Values("Fake", "Win32"),
                         [](const auto& info) { return info.param; });
#else
INSTANTIATE_TEST_SUITE_P(Adapters, FileSystemContract, ::testing::Values("Fake"),
                         [](const auto& info) { return info.param; });
#endif

}  // namespace
}  // namespace brakkis
