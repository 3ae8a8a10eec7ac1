// Window captions of any bytes and lengths, read by the enumeration: a
// top-level window keeps its text up to the first NUL and 30000 characters;
// a descendant's stops before the first control or double-byte character.
#include "enumwindows/mod_enum_windows.h"
#include "fuzz/fuzz_support.h"
#include "tests/fakes/fake_process_system.h"
#include "tests/fakes/fake_window_tree.h"
#include "tests/fakes/sim_machine.h"

using namespace brakkis;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool doubleByte = data[0] & 1, longTexts = data[0] & 2, lastHung = data[0] & 4;
    auto texts = fuzz::Parts(data + 1, size - 1, 8);
    while (texts.size() > 1 && texts.back().empty()) texts.pop_back();
    // Past the 30000 characters a caption is read to: the top-level window and its first child.
    for (std::size_t i = 0; longTexts && i < std::min<std::size_t>(texts.size(), 2); ++i) {
        const std::size_t length = texts[i].empty() ? 0 : 30001 + texts[i].size() % 16;
        while (texts[i].size() < length) texts[i] += texts[i];
        texts[i].resize(length);
    }

    sim::FakeProcessSystem system;
    sim::FakeWindowTree windows;
    system.Add(0x20, 0, "UnrealTournament.exe", {0x24});
    for (int b = 0x81; doubleByte && b <= 0xFE; ++b) windows.leadBytes.insert(static_cast<std::uint8_t>(b));
    // One top-level window; the rest alternate between its children and children of the window before them.
    for (WindowHandle i = 0; i < static_cast<WindowHandle>(texts.size()); ++i) {
        windows.windows[0x100 + 4 * i] = {0x20, 0x24, i == 0 ? 0 : 0x100 + (i % 2 ? 0 : 4 * i - 4), texts[i]};
        (i == 0 ? windows.topLevel : windows.descendants[0x100]).push_back(0x100 + 4 * i);
    }
    windows.windows[0x100 + 4 * static_cast<WindowHandle>(texts.size() - 1)].hung = lastHung;
    sim::SimMachine screen;
    modEnumWindows engine{system, windows, screen};
    engine.EnumerateProcesses();

    const auto thread = engine.Processes().Get(MakeKey(0x20))->Threads.Get(MakeKey(0x24));
    FUZZ_CHECK(thread->Windows.Count() == 1 && thread->Windows.At(0)->ChildWindows.Count() == texts.size() - 1);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::string expected = texts[i].substr(0, 30000);
        expected.resize(std::min(expected.find('\0'), expected.size()));
        const auto end = std::find_if(expected.begin(), expected.end(), [&](char c) {
            const auto byte = static_cast<std::uint8_t>(c);
            return i > 0 && (byte < 0x20 || (doubleByte && byte >= 0x81 && byte <= 0xFE));
        });
        expected.erase(lastHung && i + 1 == texts.size() ? expected.begin() : end, expected.end());
        const auto window = i == 0 ? thread->Windows.At(0) : thread->Windows.At(0)->ChildWindows.At(i - 1);
        FUZZ_CHECK(window->Caption == expected);
    }
    // A window that does not answer holds the walk no longer than 200 ms.
    FUZZ_CHECK(lastHung == (windows.longestWaitMs > 0) && windows.longestWaitMs <= 200);
    FUZZ_CHECK(screen.messageBoxes.empty());
    return 0;
}
