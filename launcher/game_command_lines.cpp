#include "launcher/game_command_lines.h"

#include <algorithm>

namespace brakkis {
namespace {

std::string QuotedGame(const std::string& gameFolder) {
    return "\"" + gameFolder + "\\unrealtournament.exe\"";
}

// Only blanks count: a tab is part of the argument text.
std::string TrimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

bool IsSilentSwitch(const std::string& commandLine) {
    std::string text = TrimBlanks(commandLine);
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    });
    return text == "/silent";
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
