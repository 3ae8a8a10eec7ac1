// The launcher's one window: start-up, the watch of the game's windows and
// the shutdown that puts the player's files back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "enumwindows/mod_enum_windows.h"
#include "launcher/game_files.h"
#include "layer/clayer.h"
#include "platform/ports.h"
#include "registry/cregistry.h"

namespace brakkis {

struct WatchState {
    std::int32_t TickCount = 0;
    bool GameSeen = false;
    bool RecoveryShown = false;
    bool VideoSetupSeen = false;
};

class LauncherForm : public FormEvents {
public:
    explicit LauncherForm(Ports& ports);
    ~LauncherForm() override;

    void OnLoad() override;
    void OnUnload() override;
    void OnTick() override;

    const WatchState& Watch() const { return watch_; }

private:
    CRegistry& Registry();
    // The same value under the user's own Run key, for a user the machine's
    // refuses: the crash repair is worth more than where it is registered.
    CRegistry& UserRegistry();
    CLayer& Layer();
    FileSystem& Files();
    std::string GameFolder();
    GameFiles Game() { return GameFiles(Files(), GameFolder()); }

    void Repair();
    void WriteRecoveryValue();
    // Ends the program without the unload's restore: the folder and the
    // recovery value are another launcher's, or were never touched.
    void LeaveUntouched();
    template <class Routine>
    void WithFilesLocked(Routine routine);

    bool Found(const char* title);
    void WatchTick();
    void RestartGame();
    void KillGame();
    bool GameRunning();

    Ports& ports_;
    std::unique_ptr<CRegistry> registry_;
    std::unique_ptr<CRegistry> userRegistry_;
    std::unique_ptr<CLayer> layer_;
    std::unique_ptr<FileSystem> fileSystem_;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<modEnumWindows> enumWindows_;
    WatchState watch_;
    bool repairing_ = false;
    bool leaveUntouched_ = false;
};

}  // namespace brakkis
