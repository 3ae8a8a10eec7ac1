// The game folder's own routines: hiding the player's configuration and
// localisation while the modification runs, putting every file back, and
// carrying the player's render device into the modification's
// configuration. All file work goes through the file-system service.
#pragma once

#include <array>
#include <string>

#include "launcher/general_section.h"
#include "platform/file_system.h"

namespace brakkis {

// The names the game may see while the modification runs. Order and
// spelling matter: the game's own UnrealTournament.int comes back first so
// that it can be rewritten, and a file keeps its own spelling whatever case
// is asked for.
inline constexpr std::array<const char*, 32> VisibleFileList = {"UnrealTournament.int",
                                                                "Brakkis.ini",
                                                                "OpenGlDrv.ini",
                                                                "DefUser.ini",
                                                                "Running.ini",
                                                                "mplaynow.ini",
                                                                "UnrealEd.ini",
                                                                "UnrealTournament.ini",
                                                                "BRAKKIS.int",
                                                                "UBrowser.int",
                                                                "soldierskins_Brakkis.int",
                                                                "soldierskins_BrakkisSkull.int",
                                                                "SoldierSkins.Int",
                                                                "Botpack.Int",
                                                                "UTMenu.Int",
                                                                "UnrealShare.Int",
                                                                "WinDrv.Int",
                                                                "D3DDrv.Int",
                                                                "Core.Int",
                                                                "Editor.Int",
                                                                "Galaxy.Int",
                                                                "GlideDrv.Int",
                                                                "OpenGlDrv.Int",
                                                                "SoftDrv.Int",
                                                                "Window.Int",
                                                                "UWeb.Int",
                                                                "UMenu.Int",
                                                                "SGLDrv.Int",
                                                                "MeTaLDrv.Int",
                                                                "Engine.int",
                                                                "Setup.Int",
                                                                "Startup.Int"};

class GameFiles {
public:
    GameFiles(FileSystem& files, std::string gameFolder);

    // Both skip a step that fails and go on with the next: one missing or
    // locked file costs only that file, never the rest of the player's setup.
    void StageGameFiles();
    void RestoreGameFiles();
    // Raises at the first step that fails; the modification's configuration
    // changes only at the very end, after both setting lines were found.
    void CarryRenderDevice();

private:
    void RewriteGeneralSection(const GeneralSection& lines);
    void RemovePendingWrites(const std::string& folder);
    std::string Path(const std::string& below) const { return folder_ + "\\" + below; }

    FileSystem& files_;
    std::string folder_;
    std::string backup_;
};

}  // namespace brakkis
