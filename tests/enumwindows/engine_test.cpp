// The records and the enumeration engine on a simulated machine: the
// process passes, the window walk and ending processes by name.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "enumwindows/mod_enum_windows.h"
#include "tests/fakes/sim_machine.h"
#include "tests/fakes/sim_process_machine.h"

namespace brakkis {
namespace {

using Names = std::vector<std::string>;
using Ids = std::vector<std::uint32_t>;

struct EnumRig {
    sim::SimProcessMachine machine;
    sim::SimMachine launcherMachine;  // message boxes land here
    sim::SimRuntime runtime{launcherMachine};
    sim::SimProcessCalls calls{machine};
    sim::SimWindowEnumCalls windows{machine};
    ModEnumWindows engine{calls, windows, runtime};

    std::shared_ptr<CProcess> Process(std::int64_t id) const { return engine.Processes().Find(MakeKey(id)); }
    Names Messages() const {
        Names texts;
        for (const auto& box : launcherMachine.messageBoxes) {
            EXPECT_EQ(box.style, 0);
            EXPECT_EQ(box.title, "");
            texts.push_back(box.text);
        }
        return texts;
    }
};

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
    return "parent " + KeyOf(p.Parent) + " " + p.FileName + "|" + p.BaseName + " prio " +
           std::to_string(p.Priority) + " bits " + p.Bits + " threads " + std::to_string(p.ThreadCount) +
           " modules " + std::to_string(p.ModuleCount);
}

// Where the walk filed a window and what it read from it.
std::string Facts(const CWindow& w) {
    return w.Caption + "|" + w.Class + "|" + w.FileName + "|" + w.BaseName + " in " + KeyOf(w.ParentProcess) +
           "/" + KeyOf(w.ParentThread) + " below " + KeyOf(w.ParentWindow) + " ids " + MakeKey(w.ProcessID) +
           "/" + MakeKey(w.ThreadID);
}

TEST(KeyedCollection, KeepsOrderRefusesAKeyTwiceAndReindexesOnRemoval) {
    KeyedCollection<int> c;
    for (int i : {5, 3, 9, 0, 2, 7}) c.Add(std::make_shared<int>(i), MakeKey(i));
    try {
        c.Add(std::make_shared<int>(99), "K-3");
        FAIL() << "a second K-3 was accepted";
    } catch (const RaisedError& e) {
        EXPECT_EQ(e.Number(), 457);
    }
    EXPECT_EQ(Keys(c), (Names{"K-5", "K-3", "K-9", "K-0", "K-2", "K-7"}));
    EXPECT_THROW(c.Get("K-4"), RaisedError);
    EXPECT_EQ(c.Find("K-4"), nullptr);

    c.Remove("K-3");
    c.Remove("K-0");
    EXPECT_THROW(c.Remove("K-0"), RaisedError);
    EXPECT_EQ(Keys(c), (Names{"K-5", "K-9", "K-2", "K-7"}));
    // The hashed index must follow the items that moved up.
    for (int i : {5, 9, 2, 7}) EXPECT_EQ(*c.Get(MakeKey(i)), i);
    EXPECT_EQ(c.IndexOf("K-7"), 3u);
    c.Add(std::make_shared<int>(3), "K-3");
    EXPECT_EQ(c.KeyAt(4), "K-3");
}

TEST(RecordKeys, HexadecimalTwosComplementAndNames) {
    EXPECT_EQ(MakeKey(0), "K-0");
    EXPECT_EQ(MakeKey(420), "K-1A4");
    EXPECT_EQ(MakeKey(-1), "K-FFFFFFFF");
    EXPECT_EQ(MakeKey(-32768), "K-FFFF8000");
    EXPECT_EQ(MakeKey(0x7FFB12340000LL), "K-7FFB12340000");  // an x64 module handle keeps its digits

    EXPECT_EQ(BaseNameOf("C:\\UT\\System\\UnrealTournament.exe"), "UnrealTournament.exe");
    EXPECT_EQ(BaseNameOf("C:\\UT\\System\\"), "");
    EXPECT_EQ(BaseNameOf("ntvdm.exe"), "ntvdm.exe");
    EXPECT_EQ(BaseNameOf(""), "");
    EXPECT_EQ(TrimAtNull(std::string("ab\0cd", 5)), "ab");
    const char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(NameInBuffer(full, 4), "");  // no NUL: cannot be trusted
    EXPECT_EQ(NameInBuffer("\0x", 2), "");
    EXPECT_EQ(NameInBuffer("ab\0c", 4), "ab");
}

TEST(ProcessPasses, ToolhelpGivesTheTreeAndPsapiTheDetails) {
    EnumRig rig;
    // Listed before the process that took over its parent's identifier.
    auto& ut = rig.machine.AddProcess(0x200, 0x300, "UnrealTournament.exe");
    ut.imagePath = "C:\\UT\\System\\UnrealTournament.exe";
    ut.threads = {{0x204, 10, 2}, {0x208, 8, -1}};
    ut.priorityClass = 0x80;
    const auto ntdll = sizeof(ModuleHandle) == 8 ? static_cast<ModuleHandle>(0x7FF812340000LL) : 0x7C900000;
    ut.modules = {{0x10000000, "C:\\UT\\System\\Core.dll"}, {ntdll, "C:\\Windows\\ntdll.dll"}};
    rig.machine.AddProcess(0x300, 0x999, "explorer.exe").threads = {{0x304, 9}, {0x304, 1}};
    rig.machine.AddProcess(0x400, 0x400, "selfish.exe");
    rig.machine.AddProcess(0x500, 0x300, "").listedByPsapi = false;
    auto& old = rig.machine.AddProcess(0x600, 0x300, "old16.exe");
    old.version = 0x00038000;  // 3.5 rounds to 4
    old.canOpen = false;
    auto& older = rig.machine.AddProcess(0x604, 0x300, "win3.exe");
    older.version = 0x00030000;
    older.listedByPsapi = false;
    auto& sealed = rig.machine.AddProcess(0x700, 0x300, "sealed.exe");
    sealed.priorityClass = 0x4000;
    sealed.canListModules = false;
    auto& late = rig.machine.AddProcess(0x800, 0x300, "late.exe");  // started after the process snapshot
    late.inProcessSnapshot = late.listedByPsapi = false;
    late.threads = {{0x804}};

    rig.engine.EnumerateProcesses();

    EXPECT_EQ(Facts(*rig.Process(0x200)),
              "parent K-300 C:\\UT\\System\\UnrealTournament.exe|UnrealTournament.exe prio 128 bits 32 threads 2 "
              "modules 3");
    const auto& modules = rig.Process(0x200)->Modules;
    EXPECT_EQ(Keys(modules), (Names{"K-10000000", MakeKey(ntdll)}));
    EXPECT_EQ(modules.At(1)->hModule, ntdll);
    EXPECT_EQ(modules.At(1)->BaseName + " " + modules.At(0)->FileName, "ntdll.dll C:\\UT\\System\\Core.dll");
    const auto& thread = *rig.Process(0x200)->Threads.Get("K-208");
    EXPECT_EQ(std::to_string(thread.BasePriority) + " " + std::to_string(thread.DeltaPriority), "8 -1");
    EXPECT_EQ(thread.Parent.lock(), rig.Process(0x200));

    // The vanished parent of explorer stays as a placeholder root.
    EXPECT_EQ(Facts(*rig.Process(0x999)), "parent none | prio 0 bits  threads 0 modules 0");
    EXPECT_EQ(Keys(rig.Process(0x999)->ChildProcesses), Names{"K-300"});
    EXPECT_EQ(Keys(rig.Process(0x300)->ChildProcesses), (Names{"K-200", "K-500", "K-600", "K-604", "K-700"}));
    EXPECT_EQ(rig.Process(0x300)->Threads.Get("K-304")->BasePriority, 9);  // listed twice: the first stands
    EXPECT_EQ(Facts(*rig.Process(0x400)), "parent none selfish.exe|selfish.exe prio 32 bits 32 threads 0 modules 1");
    EXPECT_TRUE(rig.Process(0x400)->ChildProcesses.Empty());
    EXPECT_EQ(Facts(*rig.Process(0x500)), "parent K-300 | prio 8 bits 32 threads 0 modules 0");
    // Not opened: keeps what toolhelp said.
    EXPECT_EQ(Facts(*rig.Process(0x600)), "parent K-300 old16.exe|old16.exe prio 8 bits 32 threads 0 modules 0");
    EXPECT_EQ(Facts(*rig.Process(0x604)), "parent K-300 win3.exe|win3.exe prio 8 bits 16 threads 0 modules 0");
    // Opened, its modules hidden: priority and bits change, names and counts stay.
    EXPECT_EQ(Facts(*rig.Process(0x700)), "parent K-300 sealed.exe|sealed.exe prio 16384 bits 32 threads 0 modules 0");
    // Nothing said who started the late one, but its threads are as real as any.
    EXPECT_EQ(Facts(*rig.Process(0x800)), "parent none | prio 0 bits  threads 0 modules 0");
    EXPECT_EQ(Keys(rig.Process(0x800)->Threads), Names{"K-804"});

    EXPECT_EQ(rig.Messages(), Names{});
    EXPECT_EQ(rig.machine.OpenHandleCount(), 0u);
    EXPECT_EQ(rig.calls.librariesLoaded, 0);
}

TEST(ProcessPasses, ModulesAndIdentifiersStopAtAThousand) {
    EnumRig rig;
    auto& big = rig.machine.AddProcess(0x10, 0, "big.exe");
    for (int i = 1; i < 1200; ++i) big.modules.push_back({0x10000000 + i * 0x10000, "m" + std::to_string(i) + ".dll"});
    for (std::uint32_t pid = 0x100; pid < 0x100 + 4 * 1100; pid += 4) rig.machine.AddProcess(pid, 0x10, "many.exe");
    rig.machine.toolhelpExported = false;
    rig.machine.DesktopWindow().processId = 0x10;

    rig.engine.EnumerateProcesses();

    auto p = rig.Process(0x10);
    EXPECT_EQ(p->ModuleCount, 1200);
    ASSERT_EQ(p->Modules.Count(), 999u);  // modules 2 to 1000
    EXPECT_EQ(p->Modules.At(998)->BaseName, "m999.dll");
    // Without toolhelp only psapi lists processes, and it reads 1000 at most.
    EXPECT_EQ(rig.engine.Processes().Count(), 1000u);
    EXPECT_TRUE(p->ChildProcesses.Empty());
}

TEST(ProcessPasses, SixteenBitTasksHangBelowNtvdmWithTheirThreads) {
    EnumRig rig;
    rig.machine.AddProcess(0x1A4, 0, "Task owner.exe");  // K-1A4, as one of the tasks below
    auto& vdm = rig.machine.AddProcess(0x80, 0x1A4, "NTVDM.EXE");
    vdm.threads = {{0x84}, {0x88}, {0x8C}};
    vdm.tasks = {{0x88, 0x1F, 0x8001, "SOL", "C:\\WINDOWS\\SOL.EXE"},
                 {0x8C, 0x2F, 0x01A4, "CLOCK", "C:\\WINDOWS\\CLOCK.EXE"}};

    rig.engine.EnumerateProcesses();

    auto ntvdm = rig.Process(0x80);
    EXPECT_EQ(rig.engine.VdmProcess(), ntvdm);
    auto sol = rig.Process(-32767);
    ASSERT_TRUE(sol);
    EXPECT_EQ(sol->Key, "K-FFFF8001");
    EXPECT_EQ(sol->ProcessID, -32767);
    EXPECT_EQ(Facts(*sol), "parent K-80 C:\\WINDOWS\\SOL.EXE|SOL.EXE prio 0 bits 16 threads 0 modules 0");
    EXPECT_EQ(sol->Threads.Get("K-88")->Parent.lock(), sol);
    // The clock task's key is taken in Processes, but not below ntvdm.exe;
    // the threads that run tasks have left ntvdm.exe.
    EXPECT_EQ(Keys(ntvdm->ChildProcesses), (Names{"K-FFFF8001", "K-1A4"}));
    EXPECT_EQ(rig.Process(0x1A4)->BaseName, "Task owner.exe");
    EXPECT_EQ(ntvdm->ChildProcesses.Get("K-1A4")->BaseName, "CLOCK.EXE");
    EXPECT_EQ(Keys(ntvdm->Threads), Names{"K-84"});
}

TEST(ProcessPasses, WhatIsMissingIsReportedAndTheRestGoesOn) {
    const auto run = [](auto&& breakMachine) {
        auto rig = std::make_unique<EnumRig>();
        rig->machine.AddProcess(0x40, 0, "a.exe").threads = {{0x44}};
        rig->machine.AddWindow(0x40, 0x44, 0, "lonely");
        auto& vdm = rig->machine.AddProcess(0x80, 0, "ntvdm.exe");
        vdm.threads = {{0x84}, {0x88}};
        vdm.tasks = {{0x88, 1, 0x0501, "WRITE", "C:\\WINDOWS\\WRITE.EXE"}};
        rig->machine.AddProcess(0x90, 0, "gui.exe").threads = {{0x94}, {0x98}};
        for (std::uint32_t tid : {0x94, 0x98, 0x98}) rig->machine.AddWindow(0x90, tid);
        breakMachine(rig->machine);
        rig->engine.EnumerateProcesses();
        EXPECT_EQ(rig->machine.OpenHandleCount(), 0u);
        return rig;
    };
    auto rig = run([](sim::SimProcessMachine& m) { m.kernel32Loads = false; });
    EXPECT_EQ(rig->Messages(), Names{"Failed to load library kernel32"});
    EXPECT_FALSE(rig->engine.HasToolhelp() || rig->engine.HasPsapi() || rig->engine.HasVdmDbg());
    // The window walk still runs and makes the owner known.
    EXPECT_EQ(Facts(*rig->Process(0x40)), "parent none | prio 0 bits  threads 1 modules 0");

    rig = run([](sim::SimProcessMachine& m) { m.toolhelpExported = m.psapiPresent = false; });
    EXPECT_EQ(rig->Messages(), Names{"No libraries to enumerate processes could be found"});
    EXPECT_EQ(Facts(*rig->Process(0x40)), "parent none | prio 0 bits  threads 1 modules 0");

    // Without toolhelp only the walk and the task pass file threads.
    rig = run([](sim::SimProcessMachine& m) { m.toolhelpExported = false; });
    EXPECT_EQ(rig->Messages(), Names{});
    EXPECT_EQ(rig->Process(0x90)->ThreadCount, 2);
    EXPECT_EQ(rig->Process(0x80)->ThreadCount, 0);
    EXPECT_EQ(Facts(*rig->Process(0x501)),
              "parent K-80 C:\\WINDOWS\\WRITE.EXE|WRITE.EXE prio 0 bits 16 threads 1 modules 0");

    rig = run([](sim::SimProcessMachine& m) { m.failingSnapshots = {1, 2}; });
    EXPECT_EQ(rig->Messages(), Names(2, "Failed to create Module and Thread snapshot"));
    EXPECT_EQ(Facts(*rig->Process(0x40)), "parent none a.exe|a.exe prio 32 bits 32 threads 0 modules 1");

    rig = run([](sim::SimProcessMachine& m) {
        m.firstProcessEntryError = 18;
        m.firstThreadEntryError = 0xC0000005u;
    });
    EXPECT_EQ(rig->Messages(), (Names{"No processes: error 12", "No Threads: error C0000005"}));
}

TEST(ProcessPasses, ANewEnumerationReleasesTheOldTree) {
    EnumRig rig;
    rig.machine.AddProcess(0x20, 0x10, "a.exe").threads = {{0x24}};
    rig.machine.AddProcess(0x10, 0, "b.exe");
    rig.machine.AddWindow(0x20, 0x24, rig.machine.AddWindow(0x20, 0x24, 0, "top"), "child");

    rig.engine.EnumerateProcesses();
    std::weak_ptr<CProcess> a = rig.Process(0x20), b = rig.Process(0x10);
    std::weak_ptr<CThread> thread = a.lock()->Threads.At(0);
    std::weak_ptr<CWindow> window = thread.lock()->Windows.At(0);
    std::weak_ptr<CWindow> child = window.lock()->ChildWindows.At(0);
    rig.engine.EnumerateProcesses();

    EXPECT_TRUE(a.expired() && b.expired() && thread.expired() && window.expired() && child.expired());
}

TEST(KillByName, EndsMatchingProcessesBelowTheRootsParentsFirst) {
    EnumRig rig;
    rig.machine.AddProcess(0x10, 0x4, "explorer.exe");
    rig.machine.AddProcess(0x20, 0x10, "UnrealTournament.EXE").threads = {{0x24}};
    rig.machine.AddProcess(0x30, 0x20, "unrealtournament.exe");  // started by the first
    auto& full = rig.machine.AddProcess(0x40, 0x10, "UT.exe");
    full.imagePath = "C:\\Games\\UnrealTournament\\System\\unrealtournament.exe";  // psapi's base name counts
    rig.machine.AddProcess(0x50, 0x10, "C:\\unrealtournament.exe\\other.exe");
    rig.machine.AddProcess(0x60, 0x10, "unrealtournament.exe.bak");
    rig.machine.AddProcess(0x70, 0x70, "unrealtournament.exe");  // names itself as parent: a root
    rig.machine.AddProcess(0x80, 0x10, "unrealtournament.exe").canOpen = false;
    rig.machine.AddProcess(0x90, 0x10, "unrealtournament.exe");
    rig.machine.AddProcess(0xA0, 0x10, "");
    rig.machine.AddWindow(0x20, 0x24, 0, "Brakkis");

    rig.engine.KillProcessesByName("unrealtournament.exe");
    EXPECT_EQ(rig.machine.terminated, (Ids{0x20, 0x30, 0x40, 0x90}));
    EXPECT_EQ(rig.engine.KillName(), "unrealtournament.exe");
    EXPECT_EQ(rig.machine.OpenHandleCount(), 0u);

    // Only 0xA0 has an empty name below a root: the nameless placeholder for
    // the vanished 0x4 is a root itself. An unknown name ends nothing.
    rig.engine.KillProcessesByName("");
    rig.engine.KillProcessesByName("notepad.exe");
    EXPECT_EQ(rig.machine.terminated, (Ids{0x20, 0x30, 0x40, 0x90, 0xA0}));
    EXPECT_EQ(Keys(rig.Process(0x4)->ChildProcesses), Names{"K-10"});  // the enumeration's tree stays
}

struct WalkRig : EnumRig {
    WalkRig() {
        auto& self = machine.AddProcess(0x10, 0, "Brakkis Isle.exe");
        self.modules = {{0x20000000, "C:\\WINDOWS\\system32\\COMCTL32.dll"}};
        machine.selfPid = 0x10;
        machine.AddProcess(0x20, 0x10, "app.exe").threads = {{0x24}, {0x28}};
        machine.DesktopWindow().processId = 0x30;  // the window system's own process
        machine.DesktopWindow().threadId = 0x34;
        machine.AddProcess(0x30, 0, "csrss.exe").threads = {{0x34}};
    }
    std::shared_ptr<CWindow> TopLevel(std::int64_t pid, std::uint32_t tid, WindowHandle hwnd) const {
        return Process(pid)->Threads.Get(MakeKey(tid))->Windows.Get(MakeKey(hwnd));
    }
};

TEST(WindowWalk, FilesTopLevelWindowsAndTheirDescendants) {
    WalkRig rig;
    const WindowHandle top = rig.machine.AddWindow(0x20, 0x28, 0, "Main\r\nwindow");
    sim::SimEnumWindow& main = *rig.machine.Window(top);
    main.instance = 0x20000000;  // a module the program has loaded too
    main.className = "MainClass";
    main.style = static_cast<std::int32_t>(0x94C00000u);
    main.exStyle = 0x00080000;
    main.rect = {-5, 7, 300, 400};
    const WindowHandle panel = rig.machine.AddWindow(0x20, 0x28, top, "Panel\tone");
    const WindowHandle button = rig.machine.AddWindow(0x20, 0x24, panel, "OK");
    const WindowHandle blank = rig.machine.AddWindow(0x20, 0x28, top, "");
    const WindowHandle mine = rig.machine.AddWindow(0x20, 0x24, 0, "Shares our instance");
    rig.machine.Window(mine)->instance = rig.machine.selfInstance;

    rig.engine.EnumerateProcesses();

    EXPECT_EQ(Keys(rig.Process(0x20)->Threads.Get("K-28")->Windows), Names{MakeKey(top)});
    auto w = rig.TopLevel(0x20, 0x28, top);
    EXPECT_EQ(Facts(*w), "Main\r\nwindow|MainClass|C:\\WINDOWS\\system32\\COMCTL32.dll|COMCTL32.dll in K-20/K-28 below "
                         "none ids K-20/K-28");
    EXPECT_EQ((std::vector<std::int32_t>{w->Style, w->ExStyle, w->Left, w->Top, w->Right, w->Bottom}),
              (std::vector<std::int32_t>{static_cast<std::int32_t>(0x94C00000u), 0x00080000, -5, 7, 300, 400}));
    // Every descendant is under the top-level window; a nested one under its parent as well.
    EXPECT_EQ(Keys(w->ChildWindows), (Names{MakeKey(panel), MakeKey(button), MakeKey(blank)}));
    auto p = w->ChildWindows.Get(MakeKey(panel));
    EXPECT_EQ(Facts(*p), "Panel|SimWindow|C:\\WINDOWS\\system32\\COMCTL32.dll| in K-20/K-28 below " + w->Key +
                             " ids K-20/K-28");
    EXPECT_EQ(Keys(p->ChildWindows), Names{MakeKey(button)});
    auto b = w->ChildWindows.Get(MakeKey(button));
    EXPECT_EQ(Facts(*b), "OK|SimWindow|C:\\WINDOWS\\system32\\COMCTL32.dll| in K-20/K-28 below " + p->Key +
                             " ids K-20/K-24");
    EXPECT_EQ(b->hModule, 0x20000000);
    EXPECT_EQ(w->ChildWindows.Get(MakeKey(blank))->Caption, "");

    EXPECT_EQ(Facts(*rig.TopLevel(0x20, 0x24, mine)),
              "Shares our instance|SimWindow|| in K-20/K-24 below none ids K-20/K-24");
}

TEST(WindowWalk, DesktopAndItsChildren) {
    WalkRig rig;
    const WindowHandle onDesktop = rig.machine.AddWindow(0x20, 0x24, sim::SimProcessMachine::kDesktop, "Tool\x01tip");
    rig.machine.AddWindow(0x20, 0x24, onDesktop, "never visited");
    const WindowHandle top = rig.machine.AddWindow(0x20, 0x28, 0, "after");

    rig.engine.EnumerateProcesses();

    auto desktop = rig.engine.DesktopWindow();
    ASSERT_TRUE(desktop);
    EXPECT_EQ(desktop->hwnd(), sim::SimProcessMachine::kDesktop);
    EXPECT_EQ(desktop, rig.TopLevel(0x30, 0x34, desktop->hwnd()));
    EXPECT_EQ(Facts(*desktop), "|#32769|| in K-30/K-34 below none ids K-30/K-34");

    ASSERT_EQ(Keys(desktop->ChildWindows), Names{MakeKey(onDesktop)});
    auto tip = desktop->ChildWindows.At(0);
    EXPECT_EQ(Facts(*tip), "Tool|SimWindow|| in K-30/K-34 below " + desktop->Key + " ids K-20/K-24");
    auto appThread = rig.Process(0x20)->Threads.Get("K-24");
    EXPECT_EQ(appThread->DesktopOwnedWindows.Get(tip->Key), tip);
    EXPECT_TRUE(appThread->Windows.Empty());
    EXPECT_TRUE(tip->ChildWindows.Empty());
    // The next top-level window starts afresh.
    EXPECT_TRUE(rig.TopLevel(0x20, 0x28, top)->ParentWindow.expired());
    EXPECT_FALSE(rig.engine.CurrentTopWindow());
}

TEST(WindowWalk, WindowsOfSixteenBitTasksAndOfUnknownProcesses) {
    WalkRig rig;
    auto& vdm = rig.machine.AddProcess(0x80, 0x10, "ntvdm.exe");
    vdm.threads = {{0x84}, {0x88}};
    vdm.tasks = {{0x88, 1, 0x8001, "SOL", "C:\\WINDOWS\\SOL.EXE"}};
    const WindowHandle solitaire = rig.machine.AddWindow(0x80, 0x88, 0, "Solitaire");
    const WindowHandle console = rig.machine.AddWindow(0x80, 0x84, 0, "Console");
    const WindowHandle stranger = rig.machine.AddWindow(0x7770, 0x7774, 0, "from nowhere");

    rig.engine.EnumerateProcesses();

    EXPECT_EQ(Facts(*rig.TopLevel(-32767, 0x88, solitaire)),
              "Solitaire|SimWindow|| in K-FFFF8001/K-88 below none ids K-80/K-88");
    EXPECT_TRUE(rig.TopLevel(0x80, 0x84, console));
    EXPECT_EQ(Keys(rig.Process(0x80)->Threads), Names{"K-84"});
    EXPECT_EQ(Facts(*rig.Process(0x7770)), "parent none | prio 0 bits  threads 0 modules 0");
    EXPECT_TRUE(rig.TopLevel(0x7770, 0x7774, stranger));
}

TEST(WindowWalk, HungLongDoubleByteAndVanishingWindowsAreStillFiled) {
    WalkRig rig;
    const WindowHandle hung = rig.machine.AddWindow(0x20, 0x24, 0, "Not Responding");
    rig.machine.Window(hung)->hung = true;
    const WindowHandle hungChild = rig.machine.AddWindow(0x20, 0x24, hung, "also stuck");
    rig.machine.Window(hungChild)->hung = true;
    const WindowHandle longOne = rig.machine.AddWindow(0x20, 0x24, 0, std::string(30005, 'x'));
    rig.machine.AddWindow(0x20, 0x24, longOne, std::string(30005, 'y'));
    const WindowHandle japanese = rig.machine.AddWindow(0x20, 0x28, 0, "Title \x83\x65\x83\x58\x83\x67");
    rig.machine.AddWindow(0x20, 0x28, japanese, "Label \x83\x65\x83\x58\x83\x67");
    rig.machine.leadBytes = {0x81, 0x82, 0x83};
    const WindowHandle fleeting = rig.machine.AddWindow(0x20, 0x28, 0, "bye");
    rig.machine.onWindowListed = [&](WindowHandle hwnd) {
        if (hwnd == fleeting) rig.machine.DestroyWindow(hwnd);
    };

    rig.engine.EnumerateProcesses();

    auto h = rig.TopLevel(0x20, 0x24, hung);
    EXPECT_EQ(h->Caption + h->ChildWindows.Get(MakeKey(hungChild))->Caption, "");
    EXPECT_GE(rig.machine.hungWindowsAsked, 2);
    EXPECT_GT(rig.machine.longestTextWaitMs, 0u);
    EXPECT_LE(rig.machine.longestTextWaitMs, 200u);
    auto l = rig.TopLevel(0x20, 0x24, longOne);
    EXPECT_EQ(l->Caption, std::string(30000, 'x'));
    EXPECT_EQ(l->ChildWindows.At(0)->Caption, std::string(30000, 'y'));
    auto j = rig.TopLevel(0x20, 0x28, japanese);
    EXPECT_EQ(j->Caption, "Title \x83\x65\x83\x58\x83\x67");
    EXPECT_EQ(j->ChildWindows.At(0)->Caption, "Label ");
    // The system no longer knows the owner of the one that went: identifier 0.
    auto gone = rig.TopLevel(0, 0, fleeting);
    EXPECT_EQ(Facts(*gone), "||| in K-0/K-0 below none ids K-0/K-0");
    EXPECT_EQ(gone->Style | gone->ExStyle | gone->Left | gone->Top | gone->Right | gone->Bottom, 0);
}

}  // namespace
}  // namespace brakkis
