// The render-device carry-over on any source and target bytes, through the
// launcher's routine on a fake disk: the target changes only as the carried
// line says, never when the carry-over raises, and nothing is left beside it.
#include "fuzz/fuzz_support.h"
#include "launcher/game_files.h"
#include "platform/error.h"
#include "tests/fakes/fake_file_system.h"

namespace {

std::string Folded(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

// The setting line as the player would point at it, or nothing.
bool SettingLine(const std::string& text, std::string& line) {
    const std::size_t key = Folded(text).find("gamerenderdevice");
    const std::size_t end = key == std::string::npos ? key : text.find("\r\n", key);
    if (end == std::string::npos) return false;
    line = text.substr(key, end - key);
    return true;
}

// Replacement on a folded copy, left to right, never inside a replacement.
std::string ReplacedEverywhere(const std::string& text, const std::string& oldLine, const std::string& newLine) {
    const std::string folded = Folded(text), foldedOld = Folded(oldLine);
    std::string out;
    std::size_t at = 0;
    for (std::size_t hit; (hit = folded.find(foldedOld, at)) != std::string::npos; at = hit + oldLine.size()) {
        out += text.substr(at, hit - at) + newLine;
    }
    return out + text.substr(at);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = brakkis::fuzz::Parts(data, size, 2);
    const std::string &source = parts[0], &target = parts[1];
    std::string newLine, oldLine;
    const bool carries = SettingLine(source, newLine) && SettingLine(target, oldLine);

    const std::string game = "C:\\UT\\System";
    brakkis::fakes::FakeDisk disk;
    disk.Put(game + "\\UnrealTournament.ini", source);
    disk.Put(game + "\\Brakkis.ini", target);
    brakkis::fakes::FakeFileSystem files(disk);
    bool raised = false;
    try {
        brakkis::GameFiles(files, game).CarryRenderDevice();
    } catch (const brakkis::RaisedError&) {
        raised = true;
    }
    FUZZ_CHECK(raised == !carries);
    FUZZ_CHECK((disk.Below(game) ==
                std::map<std::string, std::string>{
                    {"Brakkis.ini", carries ? ReplacedEverywhere(target, oldLine, newLine) : target},
                    {"UnrealTournament.ini", source}}));
    return 0;
}
