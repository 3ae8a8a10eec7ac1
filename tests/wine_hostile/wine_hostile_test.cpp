// The player's files against another process that holds some of them
// without sharing, during staging and during restore; and the real launcher
// repairing a crashed run in a folder with blanks and ANSI letters while a
// value of someone else's type sits under its name.
#include <gtest/gtest.h>

// The simulated machine names a method as windows.h names a macro: its
// header comes first.
#include "tests/support/launcher_rig.h"
#include "tools/sample-installation/sample_installation.h"

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "tests/support/wine_launcher_rig.h"

namespace brakkis::testing {
namespace {

using win32::ScopedKernelHandle;
using wine::WaitUntil;
using wine::WindowsPath;

const std::string kGameInt =
    "[General]\r\nStart=Unreal Tournament (Starting)\r\nExit=Unreal Tournament (Exiting)\r\n"
    "Run=Unreal Tournament (Running)\r\nProduct=Unreal Tournament\r\n";
const std::string kModInt =
    "[General]\r\nStart=Brakkis (Starting)\r\nExit=Brakkis (Exiting)\r\nRun=Brakkis (Running)\r\nProduct=Brakkis\r\n";

// Whether some other process has the file open without sharing.
bool HeldElsewhere(const std::string& path) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return ::CloseHandle(file), false;
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

HANDLE Start(std::string commandLine, const std::string& folder = {}) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    EXPECT_TRUE(::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 folder.empty() ? nullptr : folder.c_str(), &startup, &started));
    ::CloseHandle(started.hThread);
    return started.hProcess;
}

// A second process holding a file, for as long as this object lives.
class Holder {
public:
    explicit Holder(const std::string& path)
        : process_(Start("\"" + WindowsPath(BRAKKIS_HOLD_FILE_EXE) + "\" \"" + path + "\"")) {
        EXPECT_TRUE(WaitUntil([&] { return HeldElsewhere(path); })) << path;
    }
    ~Holder() {
        ::TerminateProcess(process_.Get(), 0);
        ::WaitForSingleObject(process_.Get(), 10000);
    }

private:
    ScopedKernelHandle process_;
};

TEST(WineHostile, AFileHeldByAnotherProgramDuringStagingStaysWhereItIs) {
    LauncherRig rig;
    sample::WriteInstallation(rig.folder.Native());
    const auto original = rig.folder.Snapshot();
    {
        Holder user(rig.folder.Path() + "\\User.ini");
        Holder product(rig.folder.Path() + "\\UnrealTournament.int");
        LauncherFormPeer::Stage(rig.form);
        EXPECT_TRUE(rig.folder.Has("User.ini"));
        EXPECT_FALSE(rig.folder.Has("Brakkis_Temp/User.ini"));
        EXPECT_TRUE(rig.folder.Has("Brakkis_Temp/Default.ini"));  // the rest is staged
        EXPECT_TRUE(rig.folder.Has("Brakkis.ini"));
    }
    EXPECT_EQ(rig.folder.Read("UnrealTournament.int"), kGameInt);  // could not be rewritten

    LauncherFormPeer::Restore(rig.form);
    EXPECT_EQ(rig.folder.Snapshot(), original);
    EXPECT_FALSE(rig.folder.Has("Brakkis_Temp"));
}

TEST(WineHostile, AFileHeldDuringRestoreWaitsInTheBackupForTheNextOne) {
    LauncherRig rig;
    sample::WriteInstallation(rig.folder.Native());
    const auto original = rig.folder.Snapshot();
    LauncherFormPeer::Stage(rig.form);
    {
        Holder hidden(rig.folder.Path() + "\\Brakkis_Temp\\User.ini");
        Holder product(rig.folder.Path() + "\\UnrealTournament.int");
        LauncherFormPeer::Restore(rig.form);
        EXPECT_FALSE(rig.folder.Has("User.ini"));
        EXPECT_TRUE(rig.folder.Has("Brakkis_Temp/User.ini"));  // and with it the folder
        EXPECT_TRUE(rig.folder.Has("Default.ini"));
    }
    EXPECT_EQ(rig.folder.Read("UnrealTournament.int"), kModInt);

    LauncherFormPeer::Restore(rig.form);
    EXPECT_EQ(rig.folder.Snapshot(), original);
    EXPECT_FALSE(rig.folder.Has("Brakkis_Temp"));
}

void WriteFileA(const std::string& path, const std::string& bytes) {
    ScopedKernelHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(file && ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

std::string ReadFileA(const std::string& path) {
    ScopedKernelHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes(4096, '\0');
    DWORD got = 0;
    if (!file || !::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) return {};
    return bytes.substr(0, got);
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(WineHostile, TheRealLauncherRepairsAnAnsiFolderAndLeavesAForeignValueAlone) {
    TempFolder base;
    // "Spiele für Brakkis é" in the ANSI code page.
    const std::string game = base.Path() + "\\Spiele f\xFCr Brakkis \xE9";
    ASSERT_TRUE(::CreateDirectoryA(game.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((game + "\\Brakkis_Temp").c_str(), nullptr));
    ASSERT_TRUE(::CopyFileA(WindowsPath(BRAKKIS_LAUNCHER_EXE).c_str(), (game + "\\Brakkis Isle.exe").c_str(), TRUE));
    // What a crash during play leaves behind.
    WriteFileA(game + "\\UnrealTournament.int", kModInt);
    WriteFileA(game + "\\Brakkis_Temp\\User.ini", "[DefaultPlayer]\r\nName=Player\r\n");
    const DWORD foreign = 7;
    ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Brakkis", REG_DWORD, &foreign, sizeof foreign), ERROR_SUCCESS);

    ScopedKernelHandle launcher(Start("\"" + game + "\\Brakkis Isle.exe\" /silent", game));
    EXPECT_TRUE(WaitUntil([&] {
        return Exists(game + "\\User.ini") && !Exists(game + "\\Brakkis_Temp") &&
               ReadFileA(game + "\\UnrealTournament.int") == kGameInt;
    }));
    EXPECT_EQ(ReadFileA(game + "\\User.ini"), "[DefaultPlayer]\r\nName=Player\r\n");
    // Not a text value, so not the launcher's own: it stays as it was.
    DWORD type = 0, data = 0, size = sizeof data;
    EXPECT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, kRunKey, "Brakkis", RRF_RT_ANY, &type, &data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, foreign);
    // The repair stays resident and hidden under its watch.
    EXPECT_EQ(::WaitForSingleObject(launcher.Get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));

    ::TerminateProcess(launcher.Get(), 1);
    ::WaitForSingleObject(launcher.Get(), 10000);
    ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, "Brakkis");
}

}  // namespace
}  // namespace brakkis::testing
