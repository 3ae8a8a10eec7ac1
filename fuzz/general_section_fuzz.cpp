// The rewrite of UnrealTournament.int on any bytes, through restore and
// staging on a fake disk: only the [General] section changes, every byte
// outside it stays in place, in the file's own encoding.
#include "fuzz/fuzz_support.h"
#include "launcher/game_files.h"
#include "tests/fakes/fake_file_system.h"

namespace {

// A line's text between blanks and tabs, folded to lower case.
std::string Key(std::string line) {
    for (char& c : line) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c == '\r' || c == '\n' ? ' ' : c);
    line.erase(0, std::min(line.size(), line.find_first_not_of(" \t")));
    return line.erase(line.find_last_not_of(" \t") + 1);
}

// The text with the section replaced, found line by line (each line with
// its own end: CR LF, LF or CR): from the first [General] header up to the
// next line that opens a section; without one, where the first section
// begins, on a line of its own.
std::string Expected(const std::string& text, const std::string& section) {
    std::vector<std::string> lines;
    for (std::size_t i = 0, end; i < text.size(); i = end) {
        end = std::min(text.find_first_of("\r\n", i), text.size());
        end += end == text.size() ? 0 : text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        lines.push_back(text.substr(i, end - i));
    }
    const auto header = [&](std::size_t i) { return Key(lines[i]).starts_with('['); };
    std::size_t start = 0;
    while (start < lines.size() && Key(lines[start]) != "[general]") ++start;
    std::size_t end = start + 1;
    if (start == lines.size()) {
        for (start = 0; start < lines.size() && !header(start);) ++start;
        end = start;
    }
    while (end < lines.size() && !header(end)) ++end;
    std::string before, after;
    for (std::size_t i = 0; i < lines.size(); ++i)
        (i < start ? before : after) += i < start || i >= end ? lines[i] : "";
    if (!before.empty() && before.back() != '\r' && before.back() != '\n') before += "\r\n";
    return before + section + after;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    while (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    if (text.find('\0') != std::string::npos || text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return 0;
    std::string game, mod, utf16 = "\xFF\xFE", expectedUtf16 = "\xFF\xFE";
    for (const char* line : brakkis::GameGeneralSection) game.append(line).append("\r\n");
    for (const char* line : brakkis::ModGeneralSection) mod.append(line).append("\r\n");
    for (const char c : text) utf16.append({c, '\0'});
    for (const char c : Expected(text, game)) expectedUtf16.append({c, '\0'});
    // The same text in each encoding the game reads comes back in it, and a
    // whole run leaves it as a restore does.
    const std::pair<std::string, std::string> encodings[] = {
        {text, Expected(text, game)},
        {"\xEF\xBB\xBF" + text, "\xEF\xBB\xBF" + Expected(text, game)},
        {utf16, expectedUtf16}};
    for (const auto& [content, restored] : encodings) {
        brakkis::fakes::FakeDisk disk;
        brakkis::fakes::FakeFileSystem files(disk);
        brakkis::GameFiles folder(files, "C:\\UT");
        disk.Put("C:\\UT\\UnrealTournament.int", content);
        folder.RestoreGameFiles();
        brakkis::fuzz::Check(disk.Below("C:\\UT").at("UnrealTournament.int") == restored);
        folder.StageGameFiles();
        folder.RestoreGameFiles();
        brakkis::fuzz::Check(
            (disk.Below("C:\\UT") == std::map<std::string, std::string>{{"UnrealTournament.int", restored}}));
    }
    brakkis::fuzz::Check(brakkis::WithGeneralSection(text, brakkis::ModGeneralSection) == Expected(text, mod));
    return 0;
}
