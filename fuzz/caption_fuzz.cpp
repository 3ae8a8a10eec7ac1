// Window captions of any bytes and lengths, read by the enumeration: a
// top-level window keeps its text up to the first NUL and 30000 characters;
// a descendant's stops before the first control or double-byte character.
#include "enumwindows/mod_enum_windows.h"
#include "fuzz/fuzz_support.h"
#include "tests/fakes/sim_machine.h"
#include "tests/fakes/sim_process_machine.h"

namespace {

constexpr std::uint32_t kApp = 0x20, kThread = 0x24;
constexpr std::uint8_t kDoubleByteCodePage = 1, kLongTexts = 2, kLastHung = 4;

std::string Read(std::string text) {
    text = text.substr(0, 30000);
    return text.substr(0, text.find('\0'));
}

std::string Cleaned(const std::string& text, bool doubleByte) {
    const std::string read = Read(text);
    std::size_t end = 0;
    for (std::uint8_t c; end < read.size() && (c = static_cast<std::uint8_t>(read[end])) >= 0x20 &&
                         !(doubleByte && c >= 0x81 && c <= 0xFE);) {
        ++end;
    }
    return read.substr(0, end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t options = data[0];
    auto texts = brakkis::fuzz::Parts(data + 1, size - 1, 8);
    while (texts.size() > 1 && texts.back().empty()) texts.pop_back();
    // Past the 30000 characters a caption is read to: the top-level window
    // and its first child.
    if (options & kLongTexts) {
        for (std::size_t i = 0; i < std::min<std::size_t>(texts.size(), 2); ++i) {
            if (texts[i].empty()) continue;
            const std::size_t length = 30001 + texts[i].size() % 16;
            while (texts[i].size() < length) texts[i] += texts[i];
            texts[i].resize(length);
        }
    }

    brakkis::sim::SimProcessMachine machine;
    brakkis::sim::SimMachine launcherMachine;
    brakkis::sim::SimRuntime runtime{launcherMachine};
    brakkis::sim::SimProcessCalls calls{machine};
    brakkis::sim::SimWindowEnumCalls windowCalls{machine};
    machine.AddProcess(0x10, 0, "Brakkis Isle.exe");
    machine.selfPid = 0x10;
    machine.AddProcess(kApp, 0x10, "UnrealTournament.exe").threads = {{kThread}};
    if (options & kDoubleByteCodePage) {
        for (int b = 0x81; b <= 0xFE; ++b) machine.leadBytes.insert(static_cast<std::uint8_t>(b));
    }
    // One top-level window; the rest alternate between its children and
    // children of the window before them.
    std::vector<brakkis::WindowHandle> windows;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const brakkis::WindowHandle parent = i == 0 ? 0 : (i % 2 ? windows[0] : windows[i - 1]);
        windows.push_back(machine.AddWindow(kApp, kThread, parent, texts[i]));
    }
    if (options & kLastHung) machine.Window(windows.back())->hung = true;

    brakkis::ModEnumWindows engine{calls, windowCalls, runtime};
    engine.EnumerateProcesses();

    const auto thread = engine.Processes().Get(brakkis::MakeKey(kApp))->Threads.Get(brakkis::MakeKey(kThread));
    FUZZ_CHECK(thread->Windows.Count() == 1);
    const auto top = thread->Windows.At(0);
    FUZZ_CHECK(top->ChildWindows.Count() == windows.size() - 1);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const bool hung = (options & kLastHung) && i + 1 == windows.size();
        const std::string expected = hung ? std::string()
                                     : i == 0 ? Read(texts[i])
                                              : Cleaned(texts[i], options & kDoubleByteCodePage);
        const auto record = i == 0 ? top : top->ChildWindows.Get(brakkis::MakeKey(windows[i]));
        FUZZ_CHECK(record->Caption == expected);
    }
    FUZZ_CHECK(launcherMachine.messageBoxes.empty());
    FUZZ_CHECK(machine.OpenHandleCount() == 0);
    return 0;
}
