// The rewrite of UnrealTournament.int on any bytes, through restore and
// staging on a fake disk: only the [General] section changes, every byte
// outside it stays in place, in the file's own encoding.
#include "fuzz/fuzz_support.h"
#include "launcher/game_files.h"
#include "tests/fakes/fake_file_system.h"

namespace {

const std::string kGame = "C:\\UT\\System";
const std::string kGameLines =
    "[General]\r\nStart=Unreal Tournament (Starting)\r\nExit=Unreal Tournament (Exiting)\r\n"
    "Run=Unreal Tournament (Running)\r\nProduct=Unreal Tournament\r\n";
const std::string kModLines =
    "[General]\r\nStart=Brakkis (Starting)\r\nExit=Brakkis (Exiting)\r\nRun=Brakkis (Running)\r\nProduct=Brakkis\r\n";

// A line's text between blanks and tabs, folded to lower case.
std::string Key(const std::string& line) {
    std::string key;
    for (const char c : line) {
        if (c != '\r' && c != '\n') key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    key.erase(0, std::min(key.size(), key.find_first_not_of(" \t")));
    key.erase(key.find_last_not_of(" \t") + 1);
    return key;
}

// The text with the section replaced, found line by line (each line with
// its own end: CR LF, LF or CR): from the first [General] header up to the
// next line that opens a section; without one, where the first section
// begins, on a line of its own.
std::string Expected(const std::string& text, const std::string& section) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = text.find_first_of("\r\n", i);
        end = end == std::string::npos ? text.size() : end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        lines.push_back(text.substr(i, end - i));
        i = end;
    }
    const auto header = [](const std::string& line) { return Key(line).starts_with('['); };
    const auto join = [&](std::size_t from, std::size_t to) {
        std::string joined;
        for (std::size_t i = from; i < to; ++i) joined += lines[i];
        return joined;
    };
    std::size_t start = 0, end = 0;
    while (start < lines.size() && Key(lines[start]) != "[general]") ++start;
    if (start < lines.size()) {
        end = start + 1;
        while (end < lines.size() && !header(lines[end])) ++end;
    } else {
        start = 0;
        while (start < lines.size() && !header(lines[start])) ++start;
        end = start;
    }
    std::string before = join(0, start);
    const std::string after = join(end, lines.size());
    if (!before.empty() && before.back() != '\r' && before.back() != '\n') before += "\r\n";
    return before + section + after;
}

std::string Utf16(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) bytes.append({c, '\0'});
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    while (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    if (text.find('\0') != std::string::npos || text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return 0;
    // The same text in each encoding the game reads comes back in it.
    const std::pair<std::string, std::string> encodings[] = {
        {text, Expected(text, kGameLines)},
        {"\xEF\xBB\xBF" + text, "\xEF\xBB\xBF" + Expected(text, kGameLines)},
        {Utf16(text), Utf16(Expected(text, kGameLines))},
    };
    for (const auto& [content, restored] : encodings) {
        brakkis::fakes::FakeDisk disk;
        brakkis::fakes::FakeFileSystem files(disk);
        brakkis::GameFiles game(files, kGame);
        disk.Put(kGame + "\\UnrealTournament.int", content);
        game.RestoreGameFiles();
        FUZZ_CHECK(disk.Below(kGame).at("UnrealTournament.int") == restored);
        game.StageGameFiles();
        game.RestoreGameFiles();
        FUZZ_CHECK((disk.Below(kGame) == std::map<std::string, std::string>{{"UnrealTournament.int", restored}}));
    }
    FUZZ_CHECK(brakkis::WithGeneralSection(text, brakkis::ModGeneralSection) == Expected(text, kModLines));
    return 0;
}
