// The rewrite of UnrealTournament.int on any bytes, through restore and
// staging on a fake disk: only the [General] section changes, every byte
// outside it stays in place, in the file's own encoding.
#include <numeric>

#include "fuzz/fuzz_support.h"
#include "launcher/game_files.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/support/differences.h"

namespace {

// A line's text between blanks and tabs, folded to lower case.
std::string Key(std::string line) {
    for (char& c : line) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c == '\r' || c == '\n' ? ' ' : c);
    line.erase(0, std::min(line.size(), line.find_first_not_of(" \t")));
    return line.erase(line.find_last_not_of(" \t") + 1);
}

// The text with the section replaced by the lines, each ended by CR LF, found
// line by line (each line with its own end: CR LF, LF or CR): from the first
// [General] header up to the next line that opens a section; without one,
// where the first section begins, on a line of its own.
std::string Expected(const std::string& text, const brakkis::GeneralSection& section) {
    std::string replacement;
    for (const char* line : section) replacement.append(line).append("\r\n");
    std::vector<std::string> lines;
    for (std::size_t i = 0, end; i < text.size(); i = end) {
        end = std::min(text.find_first_of("\r\n", i), text.size());
        end += end == text.size() ? 0 : text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        lines.push_back(text.substr(i, end - i));
    }
    const auto header = [](const std::string& line) { return Key(line).starts_with('['); };
    auto start = std::ranges::find(lines, std::string("[general]"), Key);
    const bool found = start != lines.end();
    if (!found) start = std::ranges::find_if(lines, header);
    const auto end = std::find_if(start + found, lines.end(), header);
    std::string before = std::accumulate(lines.begin(), start, std::string());
    if (!before.empty() && !before.ends_with('\r') && !before.ends_with('\n')) before += "\r\n";
    return std::accumulate(end, lines.end(), before + replacement);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brakkis;
    std::string text(reinterpret_cast<const char*>(data), size);
    while (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    if (text.find('\0') != std::string::npos || text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return 0;
    const std::string restored = Expected(text, GameGeneralSection);
    // The same text in each encoding the game reads comes back in it, and a
    // whole run leaves it as a restore does.
    const std::pair<std::string, std::string> encodings[] = {
        {text, restored}, {"\xEF\xBB\xBF" + text, "\xEF\xBB\xBF" + restored}, {Utf16(text), Utf16(restored)}};
    for (const auto& [content, bytes] : encodings) {
        fakes::FakeDisk disk;
        fakes::FakeFileSystem files(disk);
        GameFiles folder(files, "C:\\UT");
        disk.Put("C:\\UT\\UnrealTournament.int", content);
        folder.RestoreGameFiles();
        fuzz::Check(disk.Below("C:\\UT") == Files{{"UnrealTournament.int", bytes}});
        folder.StageGameFiles();
        folder.RestoreGameFiles();
        fuzz::Check(disk.Below("C:\\UT") == Files{{"UnrealTournament.int", bytes}});
    }
    fuzz::Check(WithGeneralSection(text, ModGeneralSection) == Expected(text, ModGeneralSection));
    return 0;
}
