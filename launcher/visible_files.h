// The names the game may see while the modification runs: everything else of
// kind .ini and .int waits in the backup folder.
#pragma once

#include <array>

namespace brakkis {

inline constexpr const char* BackupFolderName = "Brakkis_Temp";

// Order and spelling matter: the game's own UnrealTournament.int comes back
// first so that it can be rewritten, and the file system keeps each file's
// own spelling whatever case is asked for.
inline constexpr std::array<const char*, 32> VisibleFileList = {
    "UnrealTournament.int", "Brakkis.ini", "OpenGlDrv.ini", "DefUser.ini",
    "Running.ini", "mplaynow.ini", "UnrealEd.ini", "UnrealTournament.ini",
    "BRAKKIS.int", "UBrowser.int", "soldierskins_Brakkis.int", "soldierskins_BrakkisSkull.int",
    "SoldierSkins.Int", "Botpack.Int", "UTMenu.Int", "UnrealShare.Int",
    "WinDrv.Int", "D3DDrv.Int", "Core.Int", "Editor.Int",
    "Galaxy.Int", "GlideDrv.Int", "OpenGlDrv.Int", "SoftDrv.Int",
    "Window.Int", "UWeb.Int", "UMenu.Int", "SGLDrv.Int",
    "MeTaLDrv.Int", "Engine.int", "Setup.Int", "Startup.Int"};

}  // namespace brakkis
