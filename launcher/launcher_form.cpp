#include "launcher/launcher_form.h"

#include "launcher/game_command_lines.h"
#include "platform/error.h"
#include "platform/ignore_errors.h"

namespace brakkis {
namespace {

constexpr std::int32_t kHkeyLocalMachine = static_cast<std::int32_t>(0x80000002u);
constexpr std::int32_t kRegSz = 1;
constexpr std::uint32_t kMagenta = 0x00FF00FF;
constexpr std::int32_t kCriticalStop = 16;

}  // namespace

LauncherForm::LauncherForm(Ports& ports) : ports_(ports) {}
LauncherForm::~LauncherForm() = default;

CRegistry& LauncherForm::Registry() {
    if (!registry_) registry_ = std::make_unique<CRegistry>(ports_.registry, ports_.runtime.ExeName());
    return *registry_;
}

CLayer& LauncherForm::Layer() {
    if (!layer_) layer_ = std::make_unique<CLayer>(ports_.windows);
    return *layer_;
}

FileSystem& LauncherForm::Files() {
    if (!fileSystem_) fileSystem_ = ports_.createFileSystem();
    return *fileSystem_;
}

std::string LauncherForm::GameFolder() { return ports_.runtime.AppPath(); }

void LauncherForm::OnLoad() {
    // The recovery value's place is set once, before anything can go wrong,
    // and stays set for the unload's deletion.
    Step([&] {
        CRegistry& r = Registry();
        r.SetClassKey(kHkeyLocalMachine);
        r.SetSectionKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
        r.SetValueType(kRegSz);
        r.SetValueKey("Brakkis");
    });

    if (Test([&] { return IsSilentSwitch(ports_.runtime.CommandLine()); })) {
        Step([&] { ports_.runtime.SetVisible(false); });
        RestoreGameFiles();
        if (Test([&] { return Registry().ValueExists(); })) Step([&] { Registry().DeleteValue(); });
        return;  // stays resident and hidden under the watch
    }

    if (Test([&] { return !Files().FileExists(GameFolder() + "\\unrealtournament.exe"); })) {
        Step([&] {
            ports_.runtime.MsgBox(
                "Can't find the UnrealTournament Executable. Make sure this game is installed in folder's UT.",
                kCriticalStop, "Error to stat Brakkis Isle");
        });
        Step([&] { ports_.runtime.Unload(); });
        return;
    }

    Step([&] {
        ports_.windows.SetWindowPos(ports_.runtime.Hwnd(), win::kHwndTopmost, 0, 0, 1, 1, win::kSwpNoSize);
    });
    Step([&] { shell_ = ports_.createShell(); });
    Step([&] { Layer().SetInvisibleColorKey(ports_.runtime.Hwnd(), kMagenta); });
    Step([&] { ports_.runtime.SetVisible(true); });
    // Written before any file moves: a crash from here on is repaired at the
    // next logon.
    Step([&] { Registry().SetValue(GameFolder() + "\\Brakkis Isle.exe /silent"); });
    StageGameFiles();

    // A command line that cannot be read counts as empty: the entry form runs.
    std::string arguments;
    const bool noArguments = Test([&] {
        arguments = ports_.runtime.CommandLine();
        return arguments.empty();
    });
    std::string command;
    Step([&] {
        command = noArguments ? EntryLaunchCommand(GameFolder()) : PassThroughLaunchCommand(GameFolder(), arguments);
    });
    Step([&] {
        if (!shell_) throw RaisedError(errnum::kObjectRequired, "Brakkis Isle", "Object required");
        shell_->Run(command, 0, true);
    });
}

void LauncherForm::OnUnload() {
    RestoreGameFiles();
    Step([&] { Registry().DeleteValue(); });
    fileSystem_.reset();
}


}  // namespace brakkis
