// The rewrite of UnrealTournament.int on any bytes: only the [General]
// section changes, every byte outside it is written back in place, and the
// modification's rewrite is undone by the game's.
#include "fuzz/fuzz_support.h"
#include "launcher/general_section.h"
#include "tests/support/launcher_rig.h"

namespace {

const std::string kGameLines =
    "[General]\r\nStart=Unreal Tournament (Starting)\r\nExit=Unreal Tournament (Exiting)\r\n"
    "Run=Unreal Tournament (Running)\r\nProduct=Unreal Tournament\r\n";
const std::string kModLines =
    "[General]\r\nStart=Brakkis (Starting)\r\nExit=Brakkis (Exiting)\r\nRun=Brakkis (Running)\r\nProduct=Brakkis\r\n";

// The file cut into lines, each with its own end (CR LF, LF or CR).
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        line += text[i];
        const bool crlf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if (crlf) line += text[++i];
        if (crlf || text[i] == '\r' || text[i] == '\n') lines.push_back(std::move(line)), line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// A line's text between blanks and tabs, folded to lower case.
std::string Key(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
    for (char& c : line) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static brakkis::testing::LauncherRig rig;
    const std::string content(reinterpret_cast<const char*>(data), size);
    std::string text = content;
    while (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);

    // Where the section lies, found line by line: from the first [General]
    // header up to the next line that opens a section. Without one, the new
    // section goes where the first section begins, on a line of its own.
    std::string before, after;
    bool inSection = false, found = false;
    for (const std::string& line : Lines(text)) {
        const std::string key = Key(line);
        if (!found && key == "[general]") {
            found = inSection = true;
        } else if (inSection && !key.empty() && key[0] == '[') {
            inSection = false;
        }
        if (!inSection) (found ? after : before) += line;
    }
    if (!found) {
        std::string all = std::exchange(before, std::string());
        for (const std::string& line : Lines(all)) {
            const std::string key = Key(line);
            ((!after.empty() || (!key.empty() && key[0] == '[')) ? after : before) += line;
        }
        if (!before.empty() && before.back() != '\r' && before.back() != '\n') before += "\r\n";
    }

    const brakkis::GeneralSectionSplit split = brakkis::SplitAroundGeneralSection(content);
    FUZZ_CHECK(split.before == before);
    FUZZ_CHECK(split.after == after);

    // Through the restore, for a share of the inputs: the file holds the
    // game's section among the rest.
    if (!brakkis::fuzz::Sampled(data, size, 16)) return 0;
    rig.folder.Write("UnrealTournament.int", content);
    brakkis::LauncherFormPeer::Restore(rig.form);
    const std::string restored = rig.folder.Read("UnrealTournament.int");
    FUZZ_CHECK(restored == before + kGameLines + after);
    // A second restore finds its own section again and changes nothing.
    brakkis::LauncherFormPeer::Restore(rig.form);
    FUZZ_CHECK(rig.folder.Read("UnrealTournament.int") == restored);

    // A whole run, staging then restore, gives the same file back and leaves
    // no backup folder. Staging tries all thirty-two names: fewer inputs go.
    if (brakkis::fuzz::Sampled(data, size, 64)) {
        brakkis::LauncherFormPeer::Stage(rig.form);
        FUZZ_CHECK(rig.folder.Read("UnrealTournament.int") == before + kModLines + after);
        brakkis::LauncherFormPeer::Restore(rig.form);
        FUZZ_CHECK(rig.folder.Read("UnrealTournament.int") == restored);
        FUZZ_CHECK(rig.folder.Snapshot().size() == 1);
        FUZZ_CHECK(!rig.folder.Has("Brakkis_Temp"));
    }
    return 0;
}
