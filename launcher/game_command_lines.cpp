#include "launcher/game_command_lines.h"

#include "launcher/launcher_texts.h"
#include "platform/ascii_case.h"

namespace brakkis {
namespace {

std::string QuotedGame(const std::string& gameFolder) { return "\"" + gameFolder + "\\" + texts::kGameExe + "\""; }

// Only blanks count: a tab is part of the argument text.
std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

bool IsSilentSwitch(const std::string& commandLine) {
    return ascii::EqualNoCase(TrimBlanks(commandLine), texts::kSilentSwitch);
}

std::string EntryLaunchCommand(const std::string& gameFolder) {
    // Two blanks before USERINI: the game has always been started this way.
    return QuotedGame(gameFolder) +
           " BrakkisEntry.unr INT=Brakkis.int INI=Brakkis.ini  USERINI=DefUser.ini LOG=Brakkis.log";
}

std::string PassThroughLaunchCommand(const std::string& gameFolder, const std::string& arguments) {
    return QuotedGame(gameFolder) + arguments +
           " INT=Brakkis.int INI=Brakkis.ini  USERINI=BrakkisUser.ini LOG=Brakkis.log";
}

}  // namespace brakkis
