#include <gtest/gtest.h>

#include "enumwindows/cwindow.h"
#include "enumwindows/keyed_collection.h"
#include "enumwindows/record_keys.h"
#include "platform/sim/sim_process_machine.h"

namespace brakkis {
namespace {

std::vector<std::string> Keys(const KeyedCollection<int>& c) {
    std::vector<std::string> keys;
    for (const auto& entry : c) keys.push_back(entry.key);
    return keys;
}

TEST(KeyedCollection, KeepsOrderAndRefusesAKeyTwice) {
    KeyedCollection<int> c;
    for (int i : {5, 3, 9}) c.Add(std::make_shared<int>(i), MakeKey(i));

    try {
        c.Add(std::make_shared<int>(99), "K-3");
        FAIL() << "a second K-3 was accepted";
    } catch (const RaisedError& e) {
        EXPECT_EQ(e.Number(), 457);
    }
    EXPECT_EQ(Keys(c), (std::vector<std::string>{"K-5", "K-3", "K-9"}));
    EXPECT_EQ(*c.Get("K-3"), 3);
    EXPECT_THROW(c.Get("K-4"), RaisedError);
    EXPECT_EQ(c.Find("K-4"), nullptr);
}

TEST(KeyedCollection, RemovingKeepsLaterItemsReachable) {
    KeyedCollection<int> c;
    for (int i = 0; i < 6; ++i) c.Add(std::make_shared<int>(i), MakeKey(i));
    c.Remove("K-1");
    c.Remove("K-4");
    EXPECT_THROW(c.Remove("K-4"), RaisedError);

    EXPECT_EQ(Keys(c), (std::vector<std::string>{"K-0", "K-2", "K-3", "K-5"}));
    EXPECT_EQ(c.Count(), 4u);
    // The hashed index must follow the items that moved up.
    for (int i : {0, 2, 3, 5}) EXPECT_EQ(*c.Get(MakeKey(i)), i);
    EXPECT_EQ(c.IndexOf("K-5"), 3u);
    c.Add(std::make_shared<int>(1), "K-1");
    EXPECT_EQ(c.KeyAt(4), "K-1");
}

TEST(RecordKeys, HexadecimalTwosComplementAndNames) {
    EXPECT_EQ(MakeKey(0), "K-0");
    EXPECT_EQ(MakeKey(420), "K-1A4");
    EXPECT_EQ(MakeKey(255), "K-FF");
    EXPECT_EQ(MakeKey(-1), "K-FFFFFFFF");
    EXPECT_EQ(MakeKey(-32768), "K-FFFF8000");
    EXPECT_EQ(MakeKey(0x7FFB12340000LL), "K-7FFB12340000");  // an x64 module handle keeps its digits

    EXPECT_EQ(BaseNameOf("C:\\UT\\System\\UnrealTournament.exe"), "UnrealTournament.exe");
    EXPECT_EQ(BaseNameOf("C:\\UT\\System\\"), "");
    EXPECT_EQ(BaseNameOf("ntvdm.exe"), "ntvdm.exe");
    EXPECT_EQ(BaseNameOf(""), "");

    EXPECT_EQ(TrimAtNull(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(TrimAtNull("abc"), "abc");

    const char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(NameInBuffer(full, 4), "");  // no NUL: cannot be trusted
    EXPECT_EQ(NameInBuffer("\0x", 2), "");
    EXPECT_EQ(NameInBuffer("ab\0c", 4), "ab");
}

TEST(CWindow, AssigningTheHandleTakesASnapshot) {
    sim::SimProcessMachine machine;
    sim::SimWindowEnumCalls calls(machine);
    const WindowHandle hwnd = machine.AddWindow(0x10, 0x14);
    sim::SimEnumWindow& w = *machine.Window(hwnd);
    w.style = static_cast<std::int32_t>(0x94C00000u);
    w.exStyle = 0x00080000;
    w.rect = {-5, 7, 300, 400};

    CWindow record;
    record.SetHwnd(hwnd, calls);
    w.style = 0;
    w.rect = {};
    EXPECT_EQ(record.hwnd(), hwnd);
    EXPECT_EQ(record.Style, static_cast<std::int32_t>(0x94C00000u));
    EXPECT_EQ(record.ExStyle, 0x00080000);
    EXPECT_EQ(record.Left, -5);
    EXPECT_EQ(record.Top, 7);
    EXPECT_EQ(record.Right, 300);
    EXPECT_EQ(record.Bottom, 400);

    record.SetHwnd(0x0BADF00D, calls);
    EXPECT_EQ(record.hwnd(), 0x0BADF00D);
    EXPECT_EQ(record.Style | record.ExStyle | record.Left | record.Top | record.Right | record.Bottom, 0);
}

}  // namespace
}  // namespace brakkis
