// The launcher's one window: start-up, the watch of the game's windows and
// the shutdown that puts the player's files back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "enumwindows/mod_enum_windows.h"
#include "launcher/general_section.h"
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
    friend class LauncherFormPeer;  // tests reach the file routines directly

    CRegistry& Registry();
    CLayer& Layer();
    FileSystem& Files();
    std::string GameFolder();
    std::string BackupFolder();

    void StageGameFiles();
    void RestoreGameFiles();
    void RewriteGeneralSection(const GeneralSection& lines);
    void CarryRenderDevice();

    bool Found(const char* title);
    void WatchTick();
    void RestartGame();
    void KillGame();

    Ports& ports_;
    std::unique_ptr<CRegistry> registry_;
    std::unique_ptr<CLayer> layer_;
    std::unique_ptr<FileSystem> fileSystem_;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<modEnumWindows> enumWindows_;
    WatchState watch_;
};

}  // namespace brakkis
