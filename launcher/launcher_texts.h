// The launcher's fixed names and texts, written once: what it is called, what
// it calls the game, where it keeps its crash entry and what it tells the
// player.
#pragma once

namespace brakkis::texts {

inline constexpr char kExeFileName[] = "Brakkis Isle.exe";
inline constexpr char kErrorSource[] = "Brakkis Isle";
inline constexpr char kSilentSwitch[] = "/silent";
inline constexpr char kGameExe[] = "unrealtournament.exe";
inline constexpr char kBackupFolder[] = "Brakkis_Temp";

inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValueName[] = "Brakkis";

// The game's windows, as the watch finds them by title.
inline constexpr char kGameTitle[] = "Brakkis";
inline constexpr char kVideoSetupTitle[] = "Unreal Tournament Video Configuration";
inline constexpr char kRecoveryTitle[] = "Unreal Tournament Recovery Mode";

inline constexpr char kMissingGameText[] =
    "Can't find the UnrealTournament Executable. Make sure this game is installed in folder's UT.";
inline constexpr char kMissingGameTitle[] = "Error to stat Brakkis Isle";

inline constexpr char kReadOnlyFolderTitle[] = "Brakkis Isle";
inline constexpr char kReadOnlyFolderText[] = "Brakkis Isle may not change the files in the game folder\n\n";
inline constexpr char kReadOnlyFolderAdvice[] =
    "\n\nWhile Brakkis runs, the game's settings are set aside in that folder and put back afterwards, "
    "and this Windows user may not write there. Nothing has been changed.\n\n"
    "Start Brakkis Isle as administrator (right-click it, \"Run as administrator\"), or move Unreal Tournament "
    "to a folder you may write to, such as C:\\Games.";

}  // namespace brakkis::texts
