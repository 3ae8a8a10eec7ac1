// A stock-like Unreal Tournament System folder with the modification
// installed, for tests and the demo: the names a real installation has (not
// every driver), other packages', languages', mods' and maps' .ini and .int
// files, files of other types and a subfolder. The same options always give
// the same bytes.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace brakkis::sample {

struct InstallationOptions {
    // Copied in as UnrealTournament.exe; without one a placeholder is written.
    std::filesystem::path gameExecutable;
    bool withGame = true;
    // Further .ini/.int files, for folders of any size.
    int extraConfigFiles = 0;
};

// Relative path ('\' between folder and name) to bytes, the game's
// executable included as a placeholder.
std::map<std::string, std::string> InstallationFiles(int extraConfigFiles = 0);

void WriteInstallation(const std::filesystem::path& folder, const InstallationOptions& options = {});

// The render device each configuration names as written.
inline constexpr const char* kGameRenderDevice = "GameRenderDevice=OpenGLDrv.OpenGLRenderDevice";
inline constexpr const char* kModRenderDevice = "GameRenderDevice=SoftDrv.SoftwareRenderDevice";

}  // namespace brakkis::sample
