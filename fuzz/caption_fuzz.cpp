// Captions of any bytes and lengths: a top-level window's text up to its first NUL and 30000 characters, a descendant's
// also up to its first control or double-byte character; a window that does not answer gets none within 200 ms.
#include "enumwindows/mod_enum_windows.h"
#include "fuzz/fuzz_support.h"
#include "tests/fakes/fake_process_system.h"
#include "tests/fakes/fake_window_tree.h"

using namespace brakkis;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // Up to eight texts cut at the record separator (0x1E), so a seed stays a readable text file.
    std::vector<std::string> texts(1);
    for (std::size_t i = 1; i < size; ++i)
        data[i] == 0x1E && texts.size() < 8 ? texts.emplace_back() : texts.back() += static_cast<char>(data[i]);
    while (texts.size() > 1 && texts.back().empty()) texts.pop_back();
    sim::FakeProcessSystem system;
    sim::FakeWindowTree windows;
    for (int b = 0x81; (data[0] & 1) && b <= 0xFE; ++b) windows.leadBytes.insert(static_cast<std::uint8_t>(b));
    // A top-level window; the others by turns its children and children of the window before them.
    for (WindowHandle i = 0; i < static_cast<WindowHandle>(texts.size()); ++i) {
        if ((data[0] & 2) && i < 2) texts[i].resize(30001 + texts[i].size() % 16, 'x');  // past what is read
        windows.windows[0x100 + i] = {0x20, 0x24, i == 0 ? 0 : 0x100 + (i % 2 ? 0 : i - 1), texts[i]};
        (i == 0 ? windows.topLevel : windows.descendants[0x100]).push_back(0x100 + i);
    }
    if (data[0] & 4) windows.windows[0xFF + static_cast<WindowHandle>(texts.size())].text.reset();
    sim::SimMachine screen;
    modEnumWindows engine{system, windows, screen};
    engine.EnumerateProcesses();

    const auto top = engine.Processes().Get(MakeKey(0x20))->Threads.Get(MakeKey(0x24))->Windows.At(0);
    fuzz::Check(top->ChildWindows.Count() + 1 == texts.size() && windows.longestWaitMs <= 200);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string text = windows.windows[0x100 + i].text.value_or("").substr(0, 30000);
        const auto end = std::ranges::find_if(
            text, [&](std::uint8_t c) { return c == 0 || (i && (c < 32 || windows.IsDbcsLeadByte(c))); });
        fuzz::Check((i == 0 ? top : top->ChildWindows.At(i - 1))->Caption == std::string(text.begin(), end));
    }
    return 0;
}
