// The two command lines the game is started with, and the switch that asks
// for the crash repair instead.
#pragma once

#include <string>

namespace brakkis {

// The launcher's own command line, trimmed of blanks and in any letter case.
bool IsSilentSwitch(const std::string& commandLine);

// The modification's entry map with the default user configuration.
std::string EntryLaunchCommand(const std::string& gameFolder);

// The player's own arguments, placed straight after the closing quote.
std::string PassThroughLaunchCommand(const std::string& gameFolder, const std::string& arguments);

}  // namespace brakkis
