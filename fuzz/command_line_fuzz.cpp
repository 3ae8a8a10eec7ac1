// The launcher's raw command line as Windows hands it over, a game folder and
// the program's own path: the arguments cut from the line, the choice between
// the silent repair and a game start, and the game's command line built from
// them.
#include <algorithm>

#include "fuzz/fuzz_support.h"
#include "launcher/game_command_lines.h"
#include "platform/win32/program_arguments.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The Run entry's shape: the program's path unquoted, blanks and all, then a
// blank or nothing.
bool StartsWithPath(const std::string& raw, const std::string& path) {
    if (path.empty() || raw.size() < path.size()) return false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (Folded(raw[i]) != Folded(path[i])) return false;
    }
    return raw.size() == path.size() || IsBlank(raw[path.size()]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = brakkis::fuzz::Parts(data, size, 3);
    const std::string& raw = parts[0];
    const std::string& folder = parts[1];
    const std::string& programPath = parts[2];

    // The arguments are the end of the raw line, byte for byte; before them
    // stand the program's name, with no blank outside its quotes, and blanks.
    const std::string arguments(brakkis::ArgumentsAfterProgramName(raw));
    FUZZ_CHECK(arguments.size() <= raw.size());
    FUZZ_CHECK(raw.compare(raw.size() - arguments.size(), std::string::npos, arguments) == 0);
    std::string name = raw.substr(0, raw.size() - arguments.size());
    FUZZ_CHECK(arguments.empty() || (!name.empty() && IsBlank(name.back()) && !IsBlank(arguments[0])));
    while (!name.empty() && IsBlank(name.back())) name.pop_back();
    bool quoted = false;
    for (const char c : name) {
        if (c == '"') quoted = !quoted;
        FUZZ_CHECK(quoted || !IsBlank(c));
    }

    // Knowing its own path changes the cut only for a line that starts with
    // it; then everything after the path and its blanks is the arguments.
    const std::string_view withPath = brakkis::ArgumentsAfterProgramName(raw, programPath);
    if (StartsWithPath(raw, programPath)) {
        std::size_t at = programPath.size();
        while (at < raw.size() && IsBlank(raw[at])) ++at;
        FUZZ_CHECK(withPath == std::string_view(raw).substr(at));
    } else {
        FUZZ_CHECK(withPath == arguments);
    }

    // Silent only for the switch itself, blanks around it, any letter case.
    std::string word = arguments;
    while (!word.empty() && word.back() == ' ') word.pop_back();
    word.erase(0, std::min(word.size(), word.find_first_not_of(' ')));
    for (char& c : word) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    const bool silent = brakkis::IsSilentSwitch(arguments);
    FUZZ_CHECK(silent == (word == "/silent"));
    if (silent) return 0;

    const std::string game = "\"" + folder + "\\unrealtournament.exe\"";
    const std::string command = arguments.empty() ? brakkis::EntryLaunchCommand(folder)
                                                  : brakkis::PassThroughLaunchCommand(folder, arguments);
    FUZZ_CHECK(command.rfind(game, 0) == 0);
    const std::string rest = command.substr(game.size());
    if (arguments.empty()) {
        FUZZ_CHECK(rest == " BrakkisEntry.unr INT=Brakkis.int INI=Brakkis.ini  USERINI=DefUser.ini LOG=Brakkis.log");
    } else {
        FUZZ_CHECK(rest == arguments + " INT=Brakkis.int INI=Brakkis.ini  USERINI=BrakkisUser.ini LOG=Brakkis.log");
    }
    return 0;
}
