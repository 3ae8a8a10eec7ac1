// Window captions of any bytes and lengths, as the enumeration reads them: a
// top-level window's text up to its first NUL and 30000 characters, a
// descendant's also up to its first control or double-byte character; a
// window that does not answer gets none and holds the walk 200 ms at most.
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
    sim::FakeProcessSystem system;
    sim::FakeWindowTree windows;
    for (int b = 0x81; doubleByte && b <= 0xFE; ++b) windows.leadBytes.insert(static_cast<std::uint8_t>(b));
    // One top-level window; the rest alternate between its children and children of the window before them.
    for (WindowHandle i = 0; i < static_cast<WindowHandle>(texts.size()); ++i) {
        if (longTexts && i < 2) texts[i].resize(30001 + texts[i].size() % 16, 'x');  // past what is read
        windows.windows[0x100 + i] = {0x20, 0x24, i == 0 ? 0 : 0x100 + (i % 2 ? 0 : i - 1), texts[i]};
        (i == 0 ? windows.topLevel : windows.descendants[0x100]).push_back(0x100 + i);
    }
    if (lastHung) windows.windows[0xFF + static_cast<WindowHandle>(texts.size())].text = std::nullopt;
    sim::SimMachine screen;
    sim::SimRuntime runtime{screen};
    modEnumWindows engine{system, windows, runtime};
    engine.EnumerateProcesses();

    const auto top = engine.Processes().Get(MakeKey(0x20))->Threads.Get(MakeKey(0x24))->Windows.At(0);
    FUZZ_CHECK(top->ChildWindows.Count() + 1 == texts.size() && windows.longestWaitMs <= 200 &&
               screen.messageBoxes.empty());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::string expected = texts[i].substr(0, std::min<std::size_t>(texts[i].find('\0'), 30000));
        for (std::size_t at = 0; i > 0 && at < expected.size(); ++at) {
            const auto byte = static_cast<std::uint8_t>(expected[at]);
            if (byte < 0x20 || (doubleByte && byte >= 0x81 && byte <= 0xFE)) expected.resize(at);
        }
        if (lastHung && i + 1 == texts.size()) expected.clear();
        FUZZ_CHECK((i == 0 ? top : top->ChildWindows.At(i - 1))->Caption == expected);
    }
    return 0;
}
