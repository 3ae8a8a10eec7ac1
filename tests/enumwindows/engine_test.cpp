// The records and the enumeration engine on plain-data fakes: the process
// passes, the window walk and ending processes by name.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "enumwindows/mod_enum_windows.h"
#include "tests/fakes/fake_process_system.h"
#include "tests/fakes/fake_window_tree.h"
#include "tests/fakes/sim_machine.h"

namespace brakkis {
namespace {

using Names = std::vector<std::string>;
using Status = SnapshotStatus;

template <class T>
Names Keys(const KeyedCollection<T>& c) {
    Names keys;
    for (const auto& entry : c) keys.push_back(entry.key);
    return keys;
}

template <class T>
std::string KeyOf(const std::weak_ptr<T>& record) {
    const auto target = record.lock();
    return target ? target->Key : "none";
}

// Everything the passes write into a process, on one line.
std::string Facts(const CProcess& p) {
    return "parent " + KeyOf(p.Parent) + " " + p.FileName + "|" + p.BaseName + " prio " + std::to_string(p.Priority) +
           " bits " + p.Bits + " threads " + std::to_string(p.ThreadCount) + " modules " +
           std::to_string(p.ModuleCount);
}

// Where the walk filed a window and what it read from it.
std::string Facts(const CWindow& w) {
    return w.Caption + "|" + w.Class + "|" + w.FileName + "|" + w.BaseName + " in " + KeyOf(w.ParentProcess) + "/" +
           KeyOf(w.ParentThread) + " below " + KeyOf(w.ParentWindow) + " ids " + MakeKey(w.ProcessID) + "/" +
           MakeKey(w.ThreadID);
}

struct Rig {
    sim::FakeProcessSystem system;
    sim::FakeWindowTree windows;
    sim::SimMachine screen;
    modEnumWindows engine{system, windows, screen};

    std::shared_ptr<CProcess> Process(std::int64_t id) const { return engine.Processes().Find(MakeKey(id)); }
    std::shared_ptr<CWindow> TopLevel(std::int64_t pid, std::uint32_t tid, WindowHandle hwnd) const {
        return Process(pid)->Threads.Get(MakeKey(tid))->Windows.Get(MakeKey(hwnd));
    }
    // The texts of the message boxes shown, marked when one was not a plain one.
    Names Enumerate() {
        screen.messageBoxes.clear();
        engine.EnumerateProcesses();
        Names texts;
        for (const auto& box : screen.messageBoxes)
            texts.push_back(box.text + (box.style || box.title != "" ? "!" : ""));
        return texts;
    }
};

TEST(KeyedCollection, KeepsOrderRefusesAKeyTwiceAndReindexesOnRemoval) {
    KeyedCollection<int> c;
    for (int i : {5, 3, 9, 0, 2, 7}) c.Add(std::make_shared<int>(i), MakeKey(i));
    EXPECT_THROW(c.Add(std::make_shared<int>(99), "K-3"), RaisedError);
    EXPECT_THROW(c.Get("K-4"), RaisedError);
    c.Remove("K-3");
    c.Remove("K-0");
    EXPECT_THROW(c.Remove("K-0"), RaisedError);
    EXPECT_EQ(Keys(c), (Names{"K-5", "K-9", "K-2", "K-7"}));
    for (int i : {5, 9, 2, 7}) EXPECT_EQ(*c.Get(MakeKey(i)), i);  // the index followed the items that moved up
}

TEST(RecordKeys, HexadecimalTwosComplementAndNames) {
    EXPECT_EQ(MakeKey(0) + MakeKey(420) + MakeKey(-1) + MakeKey(-32768) + MakeKey(0x7FFB12340000LL),
              "K-0K-1A4K-FFFFFFFFK-FFFF8000K-7FFB12340000");  // an x64 module handle keeps its digits
    EXPECT_EQ(BaseNameOf("C:\\UT\\System\\UT.exe") + "|" + BaseNameOf("C:\\UT\\") + "|" + BaseNameOf("a.exe"),
              "UT.exe||a.exe");
    EXPECT_EQ(TrimAtNull(std::string("ab\0cd", 5)) + TrimAtNull("ef"), "abef");
}

TEST(ProcessPasses, ToolhelpGivesTheTreeAndPsapiTheDetails) {
    Rig rig;
    auto& s = rig.system;
    s.Add(0x200, 0x300, "UT.exe", {0x204, 0x208});  // listed before the parent it names
    s.threads.entries[1].deltaPriority = -1;
    const ModuleHandle ntdll = sizeof(ModuleHandle) == 8 ? static_cast<ModuleHandle>(0x7FF812340000LL) : 0x7C900000;
    s.modules[0x200] = {true, 0x80, true, 3};
    s.modules[0x200].modules = {{0x400000, "C:\\UT\\UT.exe", "UT.exe"},
                                {0x10000000, "C:\\UT\\Core.dll", "Core.dll"},
                                {ntdll, "C:\\Windows\\ntdll.dll", "ntdll.dll"}};
    s.Add(0x300, 0x999, "explorer.exe", {0x304});
    s.threads.entries.push_back({0x304, 0x300, 1, 0});  // listed twice: the first stands
    s.Add(0x400, 0x400, "selfish.exe");
    s.Add(0x600, 0x300, "shut.exe");
    s.modules.erase(0x600);  // cannot be opened
    s.Add(0x700, 0x300, "sealed.exe");
    s.modules[0x700] = {true, 0x4000, false};
    // Toolhelp alone: no name, listed twice, started after the process snapshot.
    s.processes.entries.push_back({0x500, 0, 0x300, 8, "", 0x40000});
    s.processes.entries.push_back({0x540, 0, 0x300, 8, "twice.exe", 0x40000});
    s.processes.entries.push_back({0x540, 0, 0x400, 8, "twice.exe", 0x40000});
    s.threads.entries.push_back({0x804, 0x800, 8, 0});
    // Subsystem versions, rounded half to even: up to 3 is a 16-bit program.
    const std::vector<std::uint32_t> versions = {0, 0x30000, 0x37FFF, 0x38000, 0x40000, 0xFFFF8000u};
    for (std::uint32_t v : versions) s.processes.entries.push_back({0x10000 + v, 0, 0x10000, 8, "v.exe", v});
    // psapi: the first 1000 identifiers, and modules 2 to 1000 of 1200.
    for (std::uint32_t i = 0; i < 1100; ++i) s.ids.push_back(0x100000 + 4 * i);
    s.modules[0x400].count = 1200;
    for (int i = 1; i < 1200; ++i)
        s.modules[0x400].modules.push_back({0x10000000 + i * 0x10000, "", std::to_string(i)});

    EXPECT_EQ(rig.Enumerate(), Names{});

    const std::vector<std::pair<std::int64_t, std::string>> expected = {
        {0x200, "parent K-300 C:\\UT\\UT.exe|UT.exe prio 128 bits 32 threads 2 modules 3"},
        {0x999, "parent none | prio 0 bits  threads 0 modules 0"},  // a vanished parent: a placeholder root
        {0x300, "parent K-999 C:\\Apps\\explorer.exe|explorer.exe prio 32 bits 32 threads 1 modules 1"},
        {0x400, "parent none C:\\Apps\\selfish.exe|selfish.exe prio 32 bits 32 threads 0 modules 1200"},
        {0x500, "parent K-300 | prio 8 bits 32 threads 0 modules 0"},
        {0x540, "parent K-400 twice.exe|twice.exe prio 8 bits 32 threads 0 modules 0"},
        {0x600, "parent K-300 shut.exe|shut.exe prio 8 bits 32 threads 0 modules 0"},  // keeps what toolhelp said
        {0x700, "parent K-300 sealed.exe|sealed.exe prio 16384 bits 32 threads 0 modules 0"},
        {0x800, "parent none | prio 0 bits  threads 0 modules 0"}};
    for (const auto& [pid, facts] : expected) EXPECT_EQ(Facts(*rig.Process(pid)), facts) << MakeKey(pid);
    std::string bits;
    for (std::uint32_t v : versions) bits += rig.Process(0x10000 + v)->Bits + " ";
    EXPECT_EQ(bits, "16 16 16 32 32 16 ");
    EXPECT_EQ(Keys(rig.Process(0x999)->ChildProcesses), Names{"K-300"});
    EXPECT_EQ(Keys(rig.Process(0x300)->ChildProcesses), (Names{"K-200", "K-600", "K-700", "K-500"}));
    EXPECT_EQ(Keys(rig.Process(0x400)->ChildProcesses), Names{"K-540"});
    const auto& modules = rig.Process(0x400)->Modules;
    EXPECT_EQ(std::to_string(modules.Count()) + " " + modules.At(998)->BaseName, "999 999");
    EXPECT_TRUE(rig.Process(0x100000 + 4 * 994) && !rig.Process(0x100000 + 4 * 995));
    const auto& ut = *rig.Process(0x200);
    EXPECT_EQ(Keys(ut.Modules), (Names{"K-10000000", MakeKey(ntdll)}));
    EXPECT_EQ(ut.Modules.At(1)->hModule, ntdll);
    EXPECT_EQ(ut.Modules.At(1)->BaseName + " " + ut.Modules.At(0)->FileName, "ntdll.dll C:\\UT\\Core.dll");
    const auto& thread = *ut.Threads.Get("K-208");
    EXPECT_EQ(std::to_string(thread.BasePriority) + " " + std::to_string(thread.DeltaPriority), "8 -1");
    EXPECT_EQ(thread.Parent.lock(), rig.Process(0x200));
    EXPECT_EQ(rig.Process(0x300)->Threads.Get("K-304")->BasePriority, 8);
    EXPECT_EQ(Keys(rig.Process(0x800)->Threads), Names{"K-804"});
}

TEST(ProcessPasses, WhatIsMissingIsReportedAndTheRestGoesOn) {
    Rig rig;
    rig.system.Add(0x40, 0, "a.exe", {0x44});
    rig.system.Add(0x80, 0, "ntvdm.exe", {0x84, 0x88});
    rig.system.tasks[0x80] = {{0x88, 0x0501, "C:\\WRITE.EXE"}};
    rig.system.Add(0x90, 0, "gui.exe", {0x94, 0x98});
    rig.windows.topLevel = {0x100, 0x104, 0x108, 0x10C, 0x110};
    rig.windows.windows = {{0x100, {0x40, 0x44}},
                           {0x104, {0x90, 0x94}},
                           {0x108, {0x90, 0x98}},
                           {0x10C, {0x90, 0x98}},
                           {0x110, {0x80, 0x84}}};
    const sim::FakeProcessSystem layout = rig.system;
    // One engine for every case, so that nothing is carried over: the flags,
    // the ntvdm.exe record, a.exe, the thread counts of ntvdm.exe and gui.exe, the task.
    const auto check = [&](auto breakIt, const Names& messages, const std::string& expected) {
        rig.system = layout;
        breakIt(rig.system);
        EXPECT_EQ(rig.Enumerate(), messages);
        const auto& e = rig.engine;
        const auto task = rig.Process(0x501);
        EXPECT_EQ(std::string(e.HasToolhelp() ? "T" : "-") + (e.HasPsapi() ? "P" : "-") + (e.HasVdmDbg() ? "V" : "-") +
                      " " + (e.VdmProcess() ? e.VdmProcess()->Key : "none") + "; " + Facts(*rig.Process(0x40)) + "; " +
                      std::to_string(rig.Process(0x80)->ThreadCount) + "/" +
                      std::to_string(rig.Process(0x90)->ThreadCount) + "; " + (task ? Facts(*task) : "no task"),
                  expected);
    };
    const std::string walkOnly = "parent none | prio 0 bits  threads 1 modules 0; 1/2; no task";
    const std::string task = "parent K-80 C:\\WRITE.EXE|WRITE.EXE prio 0 bits 16 threads ";
    const std::string a = "C:\\Apps\\a.exe|a.exe prio 32 bits 32 threads ";
    check([](auto& s) { s.libraries.toolhelp = false; }, {},
          "-PV K-80; parent none " + a + "1 modules 1; 1/2; " + task + "1 modules 0");
    check([](auto& s) { s.libraries.vdmdbg = false; }, {}, "TP- none; parent K-0 " + a + "1 modules 1; 2/2; no task");
    check([](auto& s) { s.libraries.kernel32 = false; }, {"Failed to load library kernel32"}, "--- none; " + walkOnly);
    check([](auto& s) { s.libraries.toolhelp = s.libraries.psapi = false; },
          {"No libraries to enumerate processes could be found"}, "--V none; " + walkOnly);
    const std::string noThreads = "TPV K-80; parent none " + a + "0 modules 1; 0/0; " + task + "0 modules 0";
    check([](auto& s) { s.processes.status = s.threads.status = Status::NotTaken; },
          Names(2, "Failed to create Module and Thread snapshot"), noThreads);
    check(
        [](auto& s) {
            s.processes = {Status::FirstEntryFailed, 18}, s.threads = {Status::FirstEntryFailed, 0xC0000005u};
        },
        {"No processes: error 12", "No Threads: error C0000005"}, noThreads);
}

TEST(KillByName, EndsMatchingProcessesBelowTheRootsParentsFirst) {
    Rig rig;
    auto& s = rig.system;
    s.Add(0x10, 0x4, "explorer.exe");
    s.Add(0x20, 0x10, "UnrealTournament.EXE", {0x24});
    s.Add(0x30, 0x20, "unrealtournament.exe");  // started by the first
    s.Add(0x40, 0x10, "UT.exe");
    s.modules[0x40].modules[0].baseName = "unrealtournament.exe";  // psapi's name counts
    s.processes.entries.push_back({0x50, 1, 0x10, 8, "C:\\Games\\unrealtournament.exe", 0x40000});
    s.processes.entries.push_back({0x60, 1, 0x10, 8, "C:\\unrealtournament.exe\\other.exe", 0x40000});
    s.Add(0x70, 0x10, "unrealtournament.exe.bak");
    s.Add(0x80, 0x80, "unrealtournament.exe");  // names itself as parent: a root
    s.Add(0x90, 0x10, "unrealtournament.exe");
    s.Add(0xA0, 0x10, "");

    rig.engine.KillProcessesByName("unrealtournament.exe");
    EXPECT_EQ(s.terminated, (std::vector<std::uint32_t>{0x20, 0x30, 0x40, 0x50, 0x90}));
    EXPECT_EQ(rig.engine.KillName(), "unrealtournament.exe");
    // Only 0xA0 has an empty name below a root: the nameless placeholder for
    // the vanished 0x4 is a root itself. An unknown name ends nothing.
    rig.engine.KillProcessesByName("");
    rig.engine.KillProcessesByName("notepad.exe");
    EXPECT_EQ(s.terminated, (std::vector<std::uint32_t>{0x20, 0x30, 0x40, 0x50, 0x90, 0xA0}));
    EXPECT_EQ(Keys(rig.Process(0x4)->ChildProcesses), Names{"K-10"});  // the enumeration's tree stays
}

// This program (0x10), an application with two threads (0x20), the window
// system's own process (0x30) owning the desktop window, and ntvdm.exe (0x80)
// running two 16-bit tasks, one keyed like the program.
TEST(WindowWalk, FilesEveryWindowUnderItsThreadAndProcess) {
    Rig rig;
    rig.system.Add(0x10, 0, "Brakkis Isle.exe");
    rig.system.Add(0x20, 0x10, "app.exe", {0x24, 0x28});
    rig.system.Add(0x30, 0, "csrss.exe", {0x34});
    rig.system.Add(0x80, 0x10, "NTVDM.EXE", {0x84, 0x88, 0x8C});
    rig.system.tasks[0x80] = {{0x88, 0x8001, "C:\\WINDOWS\\SOL.EXE"}, {0x8C, 0x10, "C:\\WINDOWS\\CLOCK.EXE"}};
    auto& w = rig.windows;
    const std::string comctl = "C:\\WINDOWS\\COMCTL32.dll";
    w.ownModules = {{0, "C:\\Brakkis Isle.exe"}, {w.ownInstance, "C:\\Brakkis Isle.exe"}, {0x20000000, comctl}};
    const auto style = static_cast<std::int32_t>(0x94C00000u);
    w.windows = {{w.desktop, {0x30, 0x34, 0, "", "#32769"}},
                 {0x100, {0x20, 0x28, 0, "Main\r\nwindow", "Main", 0x20000000, style, 0x80000, {-5, 7, 300, 400}}},
                 {0x104, {0x20, 0x28, 0x100, "Panel\tone", "Panel"}},
                 {0x108, {0x20, 0x24, 0x104, "OK", "Button"}},
                 {0x10C, {0x20, 0x28, 0x100, ""}},
                 {0x110, {0x20, 0x28, 0x999, "orphan"}},  // its parent was never listed
                 {0x300, {0x20, 0x24, w.desktop, "Tool\x01tip", "Tip"}},
                 {0x304, {0x20, 0x24, 0x300, "never visited"}},
                 {0x200, {0x20, 0x24, 0, "ours", "", w.ownInstance}},
                 {0x204, {0x20, 0x24, 0, "none", "", 0}},
                 {0x208, {0x20, 0x24, 0, "elsewhere", "", 0x30000000}},  // a module not loaded here
                 {0x500, {0x80, 0x88, 0, "Solitaire"}},
                 {0x504, {0x80, 0x84, 0, "Console"}},
                 {0x508, {0x7770, 0x7774, 0, "from nowhere"}},
                 // Said to be the program's, on the threads of its children.
                 {0x700, {0x10, 0x24, 0, "app thread"}},
                 {0x704, {0x20, 0x2C, 0, "new thread"}},
                 {0x708, {0x10, 0x2C, 0, "new again"}},
                 {0x70C, {0x10, 0x8C, 0, "clock thread"}},  // ntvdm.exe has given that one away
                 {0x710, {0x20, 0x28, 0, "says it has no text"}}};
    w.windows[0x710].length = 0;
    w.topLevel = {0x100, 0x300, 0x200, 0x204, 0x208, 0x500, 0x504, 0x508, 0x700, 0x704, 0x708, 0x70C, 0x710, 0x600};
    // 0x600 is gone when visited.
    w.descendants = {{0x100, {0x104, 0x108, 0x10C, 0x110}}, {0x300, {0x304}}};

    rig.Enumerate();
    // Upward links do not own: a new enumeration releases the old tree whole.
    const std::weak_ptr<CProcess> app = rig.Process(0x20);
    const std::weak_ptr<CThread> thread = app.lock()->Threads.At(0);
    const std::weak_ptr<CWindow> top = rig.TopLevel(0x20, 0x28, 0x100), child = top.lock()->ChildWindows.At(1);
    rig.Enumerate();
    EXPECT_TRUE(app.expired() && thread.expired() && top.expired() && child.expired());

    // Module names are looked up in this program: none for its own instance,
    // for none, or for one it lacks. The 16-bit task's window is the task's.
    const std::vector<std::tuple<std::int64_t, std::uint32_t, WindowHandle, std::string>> tops = {
        {0x30, 0x34, w.desktop, "|#32769|| in K-30/K-34 below none ids K-30/K-34"},
        {0x20, 0x28, 0x100, "Main\r\nwindow|Main|" + comctl + "|COMCTL32.dll in K-20/K-28 below none ids K-20/K-28"},
        {0x20, 0x24, 0x200, "ours||| in K-20/K-24 below none ids K-20/K-24"},
        {0x20, 0x24, 0x204, "none||| in K-20/K-24 below none ids K-20/K-24"},
        {0x20, 0x24, 0x208, "elsewhere||| in K-20/K-24 below none ids K-20/K-24"},
        {-32767, 0x88, 0x500, "Solitaire||| in K-FFFF8001/K-88 below none ids K-80/K-88"},
        {0x80, 0x84, 0x504, "Console||| in K-80/K-84 below none ids K-80/K-84"},
        {0x7770, 0x7774, 0x508, "from nowhere||| in K-7770/K-7774 below none ids K-7770/K-7774"},
        {0x20, 0x24, 0x700, "app thread||| in K-20/K-24 below none ids K-10/K-24"},
        {0x20, 0x2C, 0x708, "new again||| in K-20/K-2C below none ids K-10/K-2C"},
        {0x10, 0x8C, 0x70C, "clock thread||| in K-10/K-8C below none ids K-10/K-8C"},
        {0x20, 0x28, 0x710, "||| in K-20/K-28 below none ids K-20/K-28"},
        {0, 0, 0x600, "||| in K-0/K-0 below none ids K-0/K-0"}};
    for (const auto& [pid, tid, hwnd, facts] : tops) EXPECT_EQ(Facts(*rig.TopLevel(pid, tid, hwnd)), facts);
    const auto main = rig.TopLevel(0x20, 0x28, 0x100), gone = rig.TopLevel(0, 0, 0x600);
    EXPECT_EQ(
        (std::vector<std::int32_t>{main->Style, main->ExStyle, main->Left, main->Top, main->Right, main->Bottom,
                                   gone->Style | gone->ExStyle | gone->Left | gone->Top | gone->Right | gone->Bottom}),
        (std::vector<std::int32_t>{style, 0x80000, -5, 7, 300, 400, 0}));
    EXPECT_EQ(Keys(rig.Process(0x20)->Threads.Get("K-24")->Windows), (Names{"K-200", "K-204", "K-208", "K-700"}));
    EXPECT_EQ(Facts(*rig.Process(0x7770)), "parent none | prio 0 bits  threads 0 modules 0");

    // The tasks below ntvdm.exe took over the threads that run them; the
    // clock's key is the program's, so Processes keeps the program there.
    const auto ntvdm = rig.Process(0x80), sol = rig.Process(-32767);
    EXPECT_EQ(rig.engine.VdmProcess(), ntvdm);
    EXPECT_EQ(Facts(*sol), "parent K-80 C:\\WINDOWS\\SOL.EXE|SOL.EXE prio 0 bits 16 threads 0 modules 0");
    EXPECT_EQ(sol->Threads.Get("K-88")->Parent.lock(), sol);
    EXPECT_EQ(Keys(ntvdm->ChildProcesses), (Names{"K-FFFF8001", "K-10"}));
    EXPECT_EQ(ntvdm->ChildProcesses.Get("K-10")->BaseName + "|" + rig.Process(0x10)->BaseName,
              "CLOCK.EXE|Brakkis Isle.exe");
    EXPECT_EQ(Keys(ntvdm->Threads), Names{"K-84"});

    // Every descendant under its top-level window, a nested one under its parent too.
    EXPECT_EQ(Keys(main->ChildWindows), (Names{"K-104", "K-108", "K-10C", "K-110"}));
    EXPECT_EQ(Keys(main->ChildWindows.Get("K-104")->ChildWindows), Names{"K-108"});
    for (const auto& [key, facts] : std::vector<std::pair<std::string, std::string>>{
             {"K-104", "Panel|Panel|" + comctl + "| in K-20/K-28 below K-100 ids K-20/K-28"},
             {"K-108", "OK|Button|" + comctl + "| in K-20/K-28 below K-104 ids K-20/K-24"},
             {"K-10C", "||" + comctl + "| in K-20/K-28 below K-100 ids K-20/K-28"},
             {"K-110", "orphan||" + comctl + "| in K-20/K-28 below none ids K-20/K-28"}}) {
        EXPECT_EQ(Facts(*main->ChildWindows.Get(key)), facts);
    }
    EXPECT_EQ(main->ChildWindows.Get("K-108")->hModule, 0x20000000);

    // A child of the desktop: below the desktop record, listed by its own thread, its descendants not visited.
    const auto desktop = rig.engine.DesktopWindow();
    ASSERT_EQ(desktop, rig.TopLevel(0x30, 0x34, w.desktop));
    ASSERT_EQ(Keys(desktop->ChildWindows), Names{"K-300"});
    const auto tip = desktop->ChildWindows.At(0);
    EXPECT_EQ(Facts(*tip), "Tool|Tip|| in K-30/K-34 below K-10010 ids K-20/K-24");
    EXPECT_EQ(rig.Process(0x20)->Threads.Get("K-24")->DesktopOwnedWindows.Get("K-300"), tip);
    EXPECT_TRUE(tip->ChildWindows.Empty() && !rig.engine.CurrentTopWindow());
}

}  // namespace
}  // namespace brakkis
