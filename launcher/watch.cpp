// The watch of the game's windows, every 100 ms, and the restart after the
// game's video configuration.
#include "launcher/game_command_lines.h"
#include "launcher/launcher_form.h"
#include "launcher/launcher_texts.h"
#include "platform/error.h"
#include "platform/ignore_errors.h"

namespace brakkis {

using texts::kGameTitle;
using texts::kRecoveryTitle;
using texts::kVideoSetupTitle;

bool LauncherForm::Found(const char* title) { return ports_.windows.FindWindowByTitle(title) != 0; }

void LauncherForm::OnTick() {
    // A repair waiting resident steps aside for a normal run of its folder.
    bool runOn = false;
    if (repairing_) SkipOnError([&] { runOn = ports_.instances.RunClaimed(GameFolder()); });
    if (runOn) return LeaveUntouched();
    try {
        WatchTick();
    } catch (...) {
        // Whatever went wrong, the player's files go home: shut down as if
        // the game had ended, never leave a half-run launcher behind.
        SkipOnError([&] { ports_.runtime.Unload(); });
    }
}

// Every title test is a fresh search: the game's windows come and go between
// any two of them. A flag that already decides a step is tested before the
// search, so a tick that has nothing to do asks the window system twice, not
// seven times: each search walks every top-level window of the desktop.
void LauncherForm::WatchTick() {
    WindowRuntime& window = ports_.runtime;
    if (!watch_.GameSeen && Found(kGameTitle)) {
        watch_.GameSeen = true;
        ports_.sleeper.Sleep(12000);
        window.SetVisible(false);
    }
    if (watch_.GameSeen && !Found(kGameTitle)) {
        if (Found(kVideoSetupTitle)) {
            watch_.VideoSetupSeen = true;
            window.SetVisible(false);
        } else if (!Found(kRecoveryTitle) && !watch_.VideoSetupSeen && !watch_.RecoveryShown) {
            ports_.sleeper.Sleep(2000);
            // A game that restarts itself is gone from the screen for a few
            // seconds: it has ended only when no process of it is left.
            if (!GameRunning()) {
                window.Unload();
                return;
            }
        } else {
            ports_.sleeper.Sleep(2000);
            watch_.GameSeen = false;
        }
    }
    if (watch_.VideoSetupSeen && Found(kGameTitle)) RestartGame();
    if (watch_.VideoSetupSeen && !Found(kGameTitle) && !Found(kVideoSetupTitle)) window.SetVisible(true);
    if (Found(kRecoveryTitle)) {
        window.SetVisible(false);
        watch_.RecoveryShown = true;
    }
    if (watch_.RecoveryShown && !Found(kRecoveryTitle)) {
        window.SetVisible(true);
        watch_.RecoveryShown = false;
    }
    if (watch_.TickCount == 300) window.SetVisible(false);
    ++watch_.TickCount;
}

bool LauncherForm::GameRunning() {
    bool running = false;
    SkipOnError([&] { running = ports_.processes.AnyRunning(GameFolder() + "\\" + texts::kGameExe); });
    return running;
}

void LauncherForm::KillGame() {
    if (!enumWindows_)
        enumWindows_ = std::make_unique<modEnumWindows>(ports_.processes, ports_.windowEnum, ports_.runtime);
    enumWindows_->KillProcessesByName(texts::kGameExe);
}

void LauncherForm::RestartGame() {
    if (!Found(kGameTitle)) return;
    KillGame();
    ports_.runtime.SetVisible(false);
    Game().CarryRenderDevice();
    if (!shell_) throw RaisedError(errnum::kObjectRequired, texts::kErrorSource, "Object required");
    shell_->Run(EntryLaunchCommand(GameFolder()), 0, false);
    ports_.sleeper.Sleep(3000);
    watch_.VideoSetupSeen = false;
}

}  // namespace brakkis
