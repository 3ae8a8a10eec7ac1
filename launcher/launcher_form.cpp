#include "launcher/launcher_form.h"

#include "launcher/game_command_lines.h"
#include "launcher/launcher_texts.h"
#include "platform/error.h"
#include "platform/ignore_errors.h"

namespace brakkis {
namespace {

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
    SkipOnError([&] {
        CRegistry& r = Registry();
        r.SetClassKey(static_cast<std::int32_t>(reg::kLocalMachine));
        r.SetSectionKey(texts::kRunKey);
        r.SetValueType(static_cast<std::int32_t>(reg::kSz));
        r.SetValueKey(texts::kRunValueName);
    });

    if (UnlessFalse([&] { return IsSilentSwitch(ports_.runtime.CommandLine()); })) {
        SkipOnError([&] { ports_.runtime.SetVisible(false); });
        SkipOnError([&] { Game().RestoreGameFiles(); });
        if (UnlessFalse([&] { return Registry().ValueExists(); })) SkipOnError([&] { Registry().DeleteValue(); });
        return;  // stays resident and hidden under the watch
    }

    if (UnlessFalse([&] { return !Files().FileExists(GameFolder() + "\\" + texts::kGameExe); })) {
        SkipOnError([&] { ports_.runtime.MsgBox(texts::kMissingGameText, kCriticalStop, texts::kMissingGameTitle); });
        SkipOnError([&] { ports_.runtime.Unload(); });
        return;
    }

    SkipOnError([&] {
        ports_.windows.SetWindowPos(ports_.runtime.Hwnd(), win::kHwndTopmost, 0, 0, 1, 1, win::kSwpNoSize);
    });
    SkipOnError([&] { shell_ = ports_.createShell(); });
    SkipOnError([&] { Layer().SetInvisibleColorKey(ports_.runtime.Hwnd(), kMagenta); });
    SkipOnError([&] { ports_.runtime.SetVisible(true); });
    // Written before any file moves: a crash from here on is repaired at the
    // next logon.
    SkipOnError([&] { Registry().SetValue(GameFolder() + "\\" + texts::kExeFileName + " " + texts::kSilentSwitch); });
    SkipOnError([&] { Game().StageGameFiles(); });

    // A command line that cannot be read counts as empty: the entry form runs.
    std::string arguments;
    const bool noArguments = UnlessFalse([&] {
        arguments = ports_.runtime.CommandLine();
        return arguments.empty();
    });
    std::string command;
    SkipOnError([&] {
        command = noArguments ? EntryLaunchCommand(GameFolder()) : PassThroughLaunchCommand(GameFolder(), arguments);
    });
    SkipOnError([&] {
        if (!shell_) throw RaisedError(errnum::kObjectRequired, texts::kErrorSource, "Object required");
        shell_->Run(command, 0, true);
    });
}

void LauncherForm::OnUnload() {
    SkipOnError([&] { Game().RestoreGameFiles(); });
    SkipOnError([&] { Registry().DeleteValue(); });
    fileSystem_.reset();
}

}  // namespace brakkis
