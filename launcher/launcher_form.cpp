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

CRegistry& LauncherForm::UserRegistry() {
    if (!userRegistry_) {
        userRegistry_ = std::make_unique<CRegistry>(ports_.registry, ports_.runtime.ExeName());
        userRegistry_->SetClassKey(static_cast<std::int32_t>(reg::kCurrentUser));
        userRegistry_->SetSectionKey(texts::kRunKey);
        userRegistry_->SetValueType(static_cast<std::int32_t>(reg::kSz));
        userRegistry_->SetValueKey(texts::kRunValueName);
    }
    return *userRegistry_;
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

    if (UnlessFalse([&] { return IsSilentSwitch(ports_.runtime.CommandLine()); })) return Repair();

    if (UnlessFalse([&] { return !Files().FileExists(GameFolder() + "\\" + texts::kGameExe); })) {
        SkipOnError([&] { ports_.runtime.MsgBox(texts::kMissingGameText, kCriticalStop, texts::kMissingGameTitle); });
        SkipOnError([&] { ports_.runtime.Unload(); });
        return;
    }
    // One launcher per game folder: a second start only points at the first.
    if (!UnlessFalse([&] { return ports_.instances.ClaimRun(GameFolder()); })) {
        SkipOnError([&] { ports_.instances.BringRunToFront(GameFolder()); });
        return LeaveUntouched();
    }
    if (!UnlessFalse([&] { return Files().FolderWritable(GameFolder()); })) {
        SkipOnError([&] {
            ports_.runtime.MsgBox(texts::kReadOnlyFolderText + GameFolder() + texts::kReadOnlyFolderAdvice,
                                  kCriticalStop, texts::kReadOnlyFolderTitle);
        });
        return LeaveUntouched();
    }

    SkipOnError(
        [&] { ports_.windows.SetWindowPos(ports_.runtime.Hwnd(), win::kHwndTopmost, 0, 0, 1, 1, win::kSwpNoSize); });
    SkipOnError([&] { shell_ = ports_.createShell(); });
    SkipOnError([&] { Layer().SetInvisibleColorKey(ports_.runtime.Hwnd(), kMagenta); });
    SkipOnError([&] { ports_.runtime.SetVisible(true); });
    // Written before any file moves: a crash from here on is repaired at the
    // next logon.
    WriteRecoveryValue();
    WithFilesLocked([&] { Game().StageGameFiles(); });

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

// Repairs what a crashed run left, then stays resident and hidden under the
// watch, unless a normal run of the folder is on: then everything is its own.
void LauncherForm::Repair() {
    repairing_ = true;
    SkipOnError([&] { ports_.runtime.SetVisible(false); });
    bool runOn = false;
    WithFilesLocked([&] {
        runOn = ports_.instances.RunClaimed(GameFolder());
        if (!runOn) Game().RestoreGameFiles();
    });
    if (runOn) return LeaveUntouched();
    for (CRegistry* registry : {&Registry(), &UserRegistry()}) {
        if (UnlessFalse([&] { return registry->ValueExists(); })) SkipOnError([&] { registry->DeleteValue(); });
    }
}

void LauncherForm::WriteRecoveryValue() {
    const std::string data = GameFolder() + "\\" + texts::kExeFileName + " " + texts::kSilentSwitch;
    if (!SkipOnError([&] { Registry().SetValue(data); })) SkipOnError([&] { UserRegistry().SetValue(data); });
}

template <class Routine>
void LauncherForm::WithFilesLocked(Routine routine) {
    const bool locked = SkipOnError([&] { ports_.instances.LockFiles(GameFolder()); });
    SkipOnError(routine);
    if (locked) SkipOnError([&] { ports_.instances.UnlockFiles(GameFolder()); });
}

void LauncherForm::LeaveUntouched() {
    leaveUntouched_ = true;
    SkipOnError([&] { ports_.runtime.Unload(); });
}

void LauncherForm::OnUnload() {
    if (!leaveUntouched_) {
        WithFilesLocked([&] { Game().RestoreGameFiles(); });
        SkipOnError([&] { Registry().DeleteValue(); });
        SkipOnError([&] { UserRegistry().DeleteValue(); });
    }
    fileSystem_.reset();
}

}  // namespace brakkis
