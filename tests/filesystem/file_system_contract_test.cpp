// What the launcher relies on from every file-system adapter, run against
// the adapter of the host the tests were built for.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/file_system.h"
#include "tests/filesystem/game_folder_fixture.h"

#ifdef _WIN32
#include "platform/win32/win32_file_system.h"
#else
#include "platform/posix/posix_file_system.h"
#endif

namespace brakkis {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

struct Adapter {
    const char* name;
    std::function<std::unique_ptr<FileSystem>()> create;
    friend void PrintTo(const Adapter& adapter, std::ostream* out) { *out << adapter.name; }
};

class FileSystemContract : public ::testing::TestWithParam<Adapter>, protected testing::GameFolderFixture {
protected:
    std::unique_ptr<FileSystem> files = GetParam().create();
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

std::string ReadAll(FileSystem& files, const std::string& path) {
    return files.OpenTextFile(path, IOMode::ForReading, false, TextFormat::Ascii)->ReadAll();
}

TEST_P(FileSystemContract, WildcardMoveMovesEveryFileItCanPastACollision) {
    for (const char* name : {"a.ini", "B.INI", "c.Ini", "x.int", "notes.ini.bak", "x.in", "readme.txt"}) Put(name, name);
    Put("Brakkis_Temp\\b.ini", "older backup");
    fs::create_directories(Host("folder.ini"));

    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("*.INI"), G("Brakkis_Temp\\")); }), errnum::kFileAlreadyExists);

    EXPECT_EQ(Listing("Brakkis_Temp"), (Names{"a.ini", "b.ini", "c.Ini"}));
    EXPECT_EQ(Content("Brakkis_Temp\\b.ini"), "older backup");
    EXPECT_EQ(Listing(), (Names{"B.INI", "Brakkis_Temp", "folder.ini", "notes.ini.bak", "readme.txt", "x.in", "x.int"}));
    EXPECT_EQ(Content("B.INI"), "B.INI");

    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("*.in?"), G("Brakkis_Temp")); }), errnum::kFileAlreadyExists);
    EXPECT_EQ(Listing("Brakkis_Temp"), (Names{"a.ini", "b.ini", "c.Ini", "x.int"}));
}

TEST_P(FileSystemContract, SingleMovesFindAnyCaseAndKeepTheFilesOwnSpelling) {
    Put("Brakkis_Temp\\Brakkis.int", "mod");
    Put("Brakkis_Temp\\UnrealTournament.ini", "backup");
    Put("unrealtournament.INI", "visible");
    Put("Readme.txt");

    files->MoveFile(G("brakkis_temp\\BRAKKIS.int"), G() + "\\");
    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("Brakkis_Temp\\UnrealTournament.ini"), G() + "\\"); }),
              errnum::kFileAlreadyExists);
    files->MoveFile(G("README.TXT"), G("Brakkis_Temp\\Notes.txt"));

    EXPECT_EQ(Listing(), (Names{"Brakkis.int", "Brakkis_Temp", "unrealtournament.INI"}));
    EXPECT_EQ(Content("Brakkis.int"), "mod");
    EXPECT_EQ(Content("unrealtournament.INI"), "visible");
    EXPECT_EQ(Listing("Brakkis_Temp"), (Names{"Notes.txt", "UnrealTournament.ini"}));
    EXPECT_EQ(Content("Brakkis_Temp\\UnrealTournament.ini"), "backup");
}

TEST_P(FileSystemContract, MovesThatCannotStartLeaveEverythingInPlace) {
    Put("a.ini");
    fs::create_directories(Host("Sub.int"));

    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("*.int"), G("Brakkis_Temp\\")); }), errnum::kFileNotFound);
    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("Sub.int"), G("Brakkis_Temp\\")); }), errnum::kFileNotFound);
    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("GlideDrv.Int"), G("Sub.int\\")); }), errnum::kFileNotFound);
    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("*.ini"), G("Brakkis_Temp\\")); }), errnum::kPathNotFound);
    EXPECT_EQ(ErrorOf([&] { files->MoveFile(G("Brakkis_Temp\\*.ini"), G()); }), errnum::kPathNotFound);

    EXPECT_EQ(Listing(), (Names{"Sub.int", "a.ini"}));
}

TEST_P(FileSystemContract, ExistenceTellsFilesFromFoldersInAnyCase) {
    Put("Brakkis_Temp\\Core.Int");
    fs::create_directories(Host("Maps.ini"));

    EXPECT_TRUE(files->FileExists(G("BRAKKIS_TEMP\\core.int")));
    EXPECT_TRUE(files->FileExists(G("Brakkis_Temp\\*.INT")));
    EXPECT_TRUE(files->FileExists(G("Brakkis_Temp\\C?re.*")));
    EXPECT_FALSE(files->FileExists(G("Brakkis_Temp\\*.ini")));
    EXPECT_FALSE(files->FileExists(G("*.ini")));  // only a folder matches
    EXPECT_FALSE(files->FileExists(G("Brakkis_Temp")));
    EXPECT_FALSE(files->FileExists(G("Missing\\*.int")));

    EXPECT_TRUE(files->FolderExists(G("brakkis_temp")));
    EXPECT_TRUE(files->FolderExists(G("Brakkis_Temp\\")));
    EXPECT_FALSE(files->FolderExists(G("Brakkis_Temp\\Core.Int")));
    EXPECT_FALSE(files->FolderExists(G("Missing")));
}

TEST_P(FileSystemContract, CreateFolderRefusesExistingNamesAndMissingParents) {
    files->CreateFolder(G("Brakkis_Temp"));
    EXPECT_TRUE(fs::is_directory(Host("Brakkis_Temp")));
    Put("Core.int");

    EXPECT_EQ(ErrorOf([&] { files->CreateFolder(G("BRAKKIS_TEMP")); }), errnum::kFileAlreadyExists);
    EXPECT_EQ(ErrorOf([&] { files->CreateFolder(G("core.INT")); }), errnum::kFileAlreadyExists);
    EXPECT_EQ(ErrorOf([&] { files->CreateFolder(G("Missing\\Brakkis_Temp")); }), errnum::kPathNotFound);
    EXPECT_EQ(Listing(), (Names{"Brakkis_Temp", "Core.int"}));
}

TEST_P(FileSystemContract, DeleteFolderStopsAtAReadOnlyFileBeforeDeletingAnything) {
    Put("Brakkis_Temp\\a.log");
    Put("Brakkis_Temp\\Deep\\z.txt");
    Put("Brakkis_Temp\\Deep\\Locked.ini");
    MakeReadOnly("Brakkis_Temp\\Deep\\Locked.ini");

    EXPECT_EQ(ErrorOf([&] { files->DeleteFolder(G("Brakkis_Temp"), false); }), errnum::kPermissionDenied);
    EXPECT_EQ(Listing("Brakkis_Temp"), (Names{"Deep", "a.log"}));
    EXPECT_EQ(Listing("Brakkis_Temp\\Deep"), (Names{"Locked.ini", "z.txt"}));

    files->DeleteFolder(G("brakkis_temp"), true);
    EXPECT_EQ(Listing(), Names{});
    EXPECT_EQ(ErrorOf([&] { files->DeleteFolder(G("Brakkis_Temp"), false); }), errnum::kPathNotFound);

    Put("Brakkis_Temp\\Sub\\x.log");
    Put("Keep.int", "kept");
    files->DeleteFolder(G("Brakkis_Temp"), false);
    EXPECT_EQ(Listing(), Names{"Keep.int"});
    EXPECT_EQ(ErrorOf([&] { files->DeleteFolder(G("Keep.int"), false); }), errnum::kPathNotFound);
}

TEST_P(FileSystemContract, WriteStreamReplacesTheFileWholeOnlyAtClose) {
    Put("UnrealTournament.int", "[General]\r\nProduct=Unreal Tournament\r\n");

    auto stream = files->OpenTextFile(G("UNREALTOURNAMENT.INT"), IOMode::ForWriting, false, TextFormat::Ascii);
    stream->WriteLine("[General]");
    stream->Write("Product=Brakkis");
    stream->WriteLine("");
    // A crash now must find the old file whole, and whatever else stands in
    // the folder must escape "*.ini", "*.int" and "*.in?", short names too.
    EXPECT_EQ(Content("UnrealTournament.int"), "[General]\r\nProduct=Unreal Tournament\r\n");
    for (const std::string& name : Listing()) {
        if (name == "UnrealTournament.int") continue;
        const std::string extension = name.substr(name.rfind('.') + 1);
        EXPECT_NE(testing::Lower(extension.substr(0, 2)), "in") << name;
    }
    stream->Close();

    EXPECT_EQ(Listing(), Names{"UnrealTournament.int"});
    EXPECT_EQ(Content("UnrealTournament.int"), "[General]\r\nProduct=Brakkis\r\n");
    EXPECT_EQ(ErrorOf([&] { stream->Write("late"); }), errnum::kInvalidCall);
    EXPECT_EQ(ErrorOf([&] { stream->Close(); }), errnum::kInvalidCall);

    // Letting go of a stream that was never closed keeps the old content,
    // so a routine that fails half-way leaves no half-written file.
    files->OpenTextFile(G("UnrealTournament.int"), IOMode::ForWriting, false, TextFormat::Ascii)->Write("x");
    EXPECT_EQ(Listing(), Names{"UnrealTournament.int"});
    EXPECT_EQ(Content("UnrealTournament.int"), "[General]\r\nProduct=Brakkis\r\n");

    // What a crash before Close leaves behind is taken over by the next write.
    auto interrupted = files->OpenTextFile(G("UnrealTournament.int"), IOMode::ForWriting, false, TextFormat::Ascii);
    interrupted->Write("half");
    Names duringWrite = Listing();
    interrupted.reset();
    duringWrite.erase(std::remove(duringWrite.begin(), duringWrite.end(), "UnrealTournament.int"), duringWrite.end());
    ASSERT_EQ(duringWrite.size(), 1u);
    Put(duringWrite[0], "half");  // the temporary file a dead process could not remove
    auto next = files->OpenTextFile(G("UnrealTournament.int"), IOMode::ForWriting, false, TextFormat::Ascii);
    next->Write("whole");
    next->Close();
    EXPECT_EQ(Listing(), Names{"UnrealTournament.int"});
    EXPECT_EQ(Content("UnrealTournament.int"), "whole");
}

TEST_P(FileSystemContract, OpeningWhatCannotBeWrittenChangesNothing) {
    Put("Locked.ini", "mine");
    MakeReadOnly("Locked.ini");
    const auto open = [&](const std::string& path, IOMode mode) {
        return ErrorOf([&] { files->OpenTextFile(G(path), mode, false, TextFormat::Ascii); });
    };

    EXPECT_EQ(open("UnrealTournament.int", IOMode::ForWriting), errnum::kFileNotFound);
    EXPECT_EQ(open("UnrealTournament.int", IOMode::ForReading), errnum::kFileNotFound);
    EXPECT_EQ(open("Brakkis_Temp\\UnrealTournament.int", IOMode::ForWriting), errnum::kPathNotFound);
    EXPECT_EQ(open("Locked.ini", IOMode::ForWriting), errnum::kPermissionDenied);
    EXPECT_EQ(Listing(), Names{"Locked.ini"});
    EXPECT_EQ(Content("Locked.ini"), "mine");

    auto created = files->OpenTextFile(G("New.int"), IOMode::ForWriting, true, TextFormat::Ascii);
    created->WriteLine("made");
    created->Close();
    EXPECT_EQ(Content("New.int"), "made\r\n");
}

TEST_P(FileSystemContract, ReadAllReturnsEveryByteAsItIs) {
    std::string bytes;
    for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
    bytes += "\r\nlast line without end\n\r";
    Put("Bytes.ini", bytes);
    Put("Empty.ini", "");

    EXPECT_EQ(ReadAll(*files, G("bytes.INI")), bytes);
    EXPECT_EQ(ReadAll(*files, G("Empty.ini")), "");
}

#ifdef _WIN32
const Adapter kNative{"Win32", [] { return CreateWin32FileSystem(); }};
#else
const Adapter kNative{"Posix", [] { return CreatePosixFileSystem(); }};
#endif
INSTANTIATE_TEST_SUITE_P(Native, FileSystemContract, ::testing::Values(kNative),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brakkis
