// The render-device carry-over on any source and target bytes: the target
// file changes only as the carried line says, and never when the carry-over
// raises.
#include "fuzz/fuzz_support.h"
#include "launcher/render_device.h"
#include "tests/support/launcher_rig.h"

namespace {

using brakkis::fuzz::Parts;

std::string Folded(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The setting line as the player would point at it, or nothing.
bool SettingLine(const std::string& text, std::string& line) {
    const std::size_t key = Folded(text).find("gamerenderdevice");
    if (key == std::string::npos) return false;
    const std::size_t end = text.find("\r\n", key);
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
    static brakkis::testing::LauncherRig rig;
    const auto parts = Parts(data, size, 2);
    const std::string& source = parts[0];
    const std::string& target = parts[1];

    std::string newLine, oldLine;
    const bool carries = SettingLine(source, newLine) && SettingLine(target, oldLine);
    const std::string expected = carries ? ReplacedEverywhere(target, oldLine, newLine) : target;

    bool raised = false;
    try {
        FUZZ_CHECK(brakkis::CarryRenderDeviceText(source, target) == expected);
    } catch (const brakkis::RaisedError&) {
        raised = true;
    }
    FUZZ_CHECK(raised == !carries);

    // The same through the window's routine and the real files, for a share
    // of the inputs: file work is a hundred times slower than the text's.
    if (!brakkis::fuzz::Sampled(data, size, 16)) return 0;
    rig.folder.Write("UnrealTournament.ini", source);
    rig.folder.Write("Brakkis.ini", target);
    raised = false;
    try {
        brakkis::LauncherFormPeer::CarryRenderDevice(rig.form);
    } catch (const brakkis::RaisedError&) {
        raised = true;
    }
    FUZZ_CHECK(raised == !carries);
    const auto files = rig.folder.Snapshot();
    FUZZ_CHECK(files.size() == 2);  // no temporary left behind
    FUZZ_CHECK(files.at("UnrealTournament.ini") == source);
    FUZZ_CHECK(files.at("Brakkis.ini") == expected);
    return 0;
}
