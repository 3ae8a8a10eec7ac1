// The enumeration on one simulated machine, and the contract of the ports it
// stands on, held by the fakes and, under Wine, by the Win32 adapters.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "enumwindows/mod_enum_windows.h"
#include "platform/ascii_case.h"
#include "platform/win32/module_listing.h"
#include "tests/fakes/fake_process_system.h"
#include "tests/fakes/fake_window_tree.h"
#include "tests/fakes/sim_machine.h"

#ifdef _WIN32
#include "platform/win32/win32_process_system.h"
#include "platform/win32/win32_window_enum_calls.h"
#include "platform/win32/windows_api.h"
#endif

namespace brakkis {
namespace {

template <class T>
std::string Keys(const KeyedCollection<T>& c) {
    std::string keys;
    for (const auto& entry : c) keys += (keys.empty() ? "" : " ") + entry.key;
    return "[" + keys + "]";
}

template <class T>
std::string KeyOf(const std::weak_ptr<T>& record) {
    return record.expired() ? "none" : record.lock()->Key;
}

// Explorer (0x300, its parent gone) started the game (0x200, listed before it),
// which started itself again (0x220), and ntvdm.exe (0x80), whose 16-bit tasks
// take over their threads. No pass lists the desktop's process (0x30).
struct Machine {
    Machine() {
        auto& s = system;
        s.Add(0x200, 0x300, "C:\\UT\\UT.EXE", {0x204, 0x208});
        s.Add(0x220, 0x200, "ut.exe");
        s.Add(0x300, 0x999, "explorer.exe", {0x304});
        s.threads.entries.push_back({0x304, 0x300, 1, -1});  // listed twice: the first stands
        s.Add(0x400, 0x400, "UT.exe");                       // names itself as its parent
        s.modules[0x400].count = 1200;                       // reported, not listed
        s.Add(0x80, 0x300, "NTVDM.EXE", {0x84, 0x88, 0x8C});
        s.tasks[0x80] = {{0x88, 0x8001, "C:\\SOL.EXE"}, {0x8C, 0x300, "C:\\CLOCK.EXE"}};
        // Listed by toolhelp alone: by a path with its modules unlisted; twice; by a thread only.
        s.processes.entries.push_back({0x700, 1, 0x300, 8, "C:\\Games\\ut.exe", 0x40000});
        s.ids.push_back(0x700);
        s.modules[0x700] = {true, 0x4000, false, 0, {}};
        s.processes.entries.push_back({0x540, 0, 0x300, 8, "ut.exe.bak", 0x37FFE});  // version 3: 16-bit
        s.processes.entries.push_back({0x540, 0, 0x400, 8, "ut.exe.bak", 0x38000});  // 3.5, to even: 4
        s.threads.entries.push_back({0x804, 0x800, 8, 0});
        s.processes.error = 18, s.threads.error = 0xC0000005u;
        // This program's own instance is 0x400000; cc.dll is loaded here too.
        windows.ownModules = {{0, "C:\\Brakkis.exe"}, {0x400000, "C:\\Brakkis.exe"}, {0x20000000, "C:\\cc.dll"}};
        windows.windows = {
            {0x10010, {0x30, 0x34, 0, "", "#32769"}},
            {0x1100, {0x200, 0x208, 0, "Main", "Main", 0x20000000, 0x14C00000, 0x80000, {-5, 7, 30, 40}}},
            {0x1104, {0x200, 0x208, 0x1100, "Panel", "Panel"}},
            {0x1108, {0x200, 0x204, 0x1104, "OK", "Button"}},
            {0x1300, {0x200, 0x204, 0x10010, "Tool\x01tip", "Tip"}},
            {0x1500, {0x80, 0x88, 0, "Solitaire"}},
            {0x1504, {0x80, 0x84, 0, "Console", "", 0x400000}},
            {0x1704, {0x200, 0x20C, 0, "new"}},         // on a thread only windows show,
            {0x1708, {0x300, 0x20C, 0, "new again"}}};  // said to be its parent's
        windows.topLevel = {0x1100, 0x1300, 0x1500, 0x1504, 0x1704, 0x1708};
        windows.descendants = {{0x1100, {0x1104, 0x1108}}, {0x1300, {0x1304}}};
    }

    // Enumerates: under "boxes" the message boxes shown, marked when one is
    // not plain; under its key, every process and window with its facts.
    std::map<std::string, std::string> Run() {
        screen.messageBoxes.clear();
        engine.EnumerateProcesses();
        std::map<std::string, std::string> facts;
        for (const auto& box : screen.messageBoxes)
            facts["boxes"] += box.text + (box.style || box.title != "" ? "!" : ";");
        const auto window = [&](const CWindow& w) {
            facts[w.Key] = w.Caption + "|" + w.Class + "|" + w.FileName + "|" + w.BaseName + " " +
                           KeyOf(w.ParentProcess) + "/" + KeyOf(w.ParentThread) + "^" + KeyOf(w.ParentWindow) + " " +
                           MakeKey(w.ProcessID) + "/" + MakeKey(w.ThreadID) + Keys(w.ChildWindows);
        };
        for (const auto& [key, p] : engine.Processes()) {
            facts[key] = KeyOf(p->Parent) + " " + p->FileName + "|" + p->BaseName + " " + std::to_string(p->Priority) +
                         " " + p->Bits + " " + std::to_string(p->ThreadCount) + Keys(p->Threads) + " " +
                         std::to_string(p->ModuleCount) + Keys(p->ChildProcesses);
            for (const auto& thread : p->Threads) {
                for (const auto& top : thread.item->Windows) {
                    window(*top.item);
                    for (const auto& child : top.item->ChildWindows) window(*child.item);
                }
            }
        }
        return facts;
    }

    sim::FakeProcessSystem system;
    sim::FakeWindowTree windows;
    sim::SimMachine screen;
    sim::SimRuntime runtime{screen};
    modEnumWindows engine{system, windows, runtime};
};

TEST(Enumeration, FilesEveryRecordAndEndsProcessesByName) {
    Machine m;
    auto facts = m.Run();
    for (const auto& [key, expected] : std::map<std::string, std::string>{
             {"boxes", ""},
             // psapi's path, priority class and module count over toolhelp's tree and thread count
             {"K-200", "K-300 C:\\UT\\UT.EXE|UT.EXE 32 32 2[K-204 K-208 K-20C] 1[K-220]"},
             {"K-300", "K-999 explorer.exe|explorer.exe 32 32 1[K-304] 1[K-200 K-80 K-700]"},
             {"K-999", "none | 0  0[] 0[K-300]"},  // a placeholder for the parent that is gone
             {"K-400", "none UT.exe|UT.exe 32 32 0[] 1200[K-540]"},
             {"K-540", "K-400 ut.exe.bak|ut.exe.bak 8 32 0[] 0[]"},
             {"K-700", "K-300 C:\\Games\\ut.exe|ut.exe 16384 32 1[] 0[]"},
             {"K-800", "none | 0  0[K-804] 0[]"},
             {"K-30", "none | 0  0[K-34] 0[]"},
             {"K-80", "K-300 NTVDM.EXE|NTVDM.EXE 32 32 3[K-84] 1[K-FFFF8001 K-300]"},
             {"K-FFFF8001", "K-80 C:\\SOL.EXE|SOL.EXE 0 16 0[K-88] 0[]"},
             {"K-10010", "|#32769|| K-30/K-34^none K-30/K-34[K-1300]"},
             {"K-1100", "Main|Main|C:\\cc.dll|cc.dll K-200/K-208^none K-200/K-208[K-1104 K-1108]"},
             {"K-1104", "Panel|Panel|C:\\cc.dll| K-200/K-208^K-1100 K-200/K-208[K-1108]"},
             {"K-1108", "OK|Button|C:\\cc.dll| K-200/K-208^K-1104 K-200/K-204[]"},
             {"K-1300", "Tool|Tip|| K-30/K-34^K-10010 K-200/K-204[]"},
             {"K-1500", "Solitaire||| K-FFFF8001/K-88^none K-80/K-88[]"},
             {"K-1504", "Console||| K-80/K-84^none K-80/K-84[]"},
             {"K-1704", "new||| K-200/K-20C^none K-200/K-20C[]"},
             {"K-1708", "new again||| K-200/K-20C^none K-300/K-20C[]"}}) {
        EXPECT_EQ(facts[key], expected) << key;
    }
    const auto& processes = m.engine.Processes();
    const CProcess& game = *processes.Get("K-200");
    EXPECT_EQ(
        Keys(game.Threads.Get("K-204")->DesktopOwnedWindows) + processes.Get("K-80")->ChildProcesses.At(1)->BaseName,
        "[K-1300]CLOCK.EXE");
    const CWindow& main = *game.Threads.Get("K-208")->Windows.Get("K-1100");
    EXPECT_EQ(std::vector<std::int32_t>({main.Style, main.ExStyle, main.Left, main.Top, main.Right, main.Bottom}),
              std::vector<std::int32_t>({0x14C00000, 0x80000, -5, 7, 30, 40}));
    EXPECT_FALSE(m.engine.CurrentTopWindow());
    // Base names compare in any case; roots never; parents go before their children.
    m.engine.KillProcessesByName("ut.exe");
    EXPECT_EQ(m.system.terminated, (std::vector<std::uint32_t>{0x200, 0x220, 0x700}));
}

// One engine for every case, so that nothing may be carried over from the run before.
TEST(Enumeration, WhatIsMissingIsReportedAndTheRestGoesOn) {
    using enum SnapshotStatus;
    const std::string ntvdm = "NTVDM.EXE|NTVDM.EXE 32 32 ", walkOnly = " none | 0  2[K-88 K-84] 0[]";
    const std::string noThreads = "K-80 none " + ntvdm + "0[K-84] 1[K-FFFF8001 K-300]";
    const std::string notTaken = "Failed to create Module and Thread snapshot;";
    const std::vector<std::tuple<SystemLibraries, SnapshotStatus, std::string>> cases = {
        // Without toolhelp the threads are counted from what the walk and the task pass filed.
        {{true, false, true, true}, Listed, "K-80 none " + ntvdm + "1[K-84] 1[K-FFFF8001 K-300]"},
        {{true, true, true, false}, Listed, "none K-300 " + ntvdm + "3[K-84 K-88 K-8C] 1[]"},
        {{false, true, true, true}, Listed, "Failed to load library kernel32;none" + walkOnly},
        {{true, false, false, true}, Listed, "No libraries to enumerate processes could be found;none" + walkOnly},
        {{true, true, true, true}, NotTaken, notTaken + notTaken + noThreads},
        {{true, true, true, true}, FirstEntryFailed, "No processes: error 12;No Threads: error C0000005;" + noThreads}};
    Machine m;
    for (const auto& [libraries, snapshots, expected] : cases) {
        m.system.libraries = libraries;
        m.system.processes.status = m.system.threads.status = snapshots;
        auto facts = m.Run();
        EXPECT_EQ(facts["boxes"] + KeyOf(std::weak_ptr(m.engine.VdmProcess())) + " " + facts["K-80"], expected);
    }
}

// What the system itself says of a subject process with a window and a child.
struct Subject {
    std::uint32_t pid = 0, parentPid = 0, threadId = 0;
    WindowHandle window = 0, child = 0;
    std::string imagePath, className, childText;
};

// The ports say of the subject what the system says, and nothing else is
// judged; Terminate ends it, as `ended` tells, and AnyRunning follows.
void HoldTheContract(ProcessSystem& system, WindowEnumCalls& windows, const Subject& s, std::function<bool()> ended) {
    const SystemLibraries libraries = system.ProbeLibraries();
    EXPECT_TRUE(libraries.kernel32 && libraries.toolhelp && libraries.psapi);
    const auto processes = system.ProcessSnapshot().entries;
    const auto entry = std::ranges::find(processes, s.pid, &ProcessEntry::processId);
    ASSERT_NE(entry, processes.end());
    EXPECT_TRUE(entry->parentProcessId == s.parentPid && entry->threadCount > 0 && entry->version >= 0x40000);
    EXPECT_TRUE(ascii::EqualNoCase(entry->exeFile, BaseNameOf(s.imagePath))) << entry->exeFile;
    EXPECT_TRUE(std::ranges::any_of(system.ThreadSnapshot().entries, [&](const ThreadEntry& thread) {
        return thread.threadId == s.threadId && thread.ownerProcessId == s.pid;
    }));
    EXPECT_EQ(std::ranges::count(system.ProcessIds(), s.pid), 1);
    const ProcessModules found = system.Modules(s.pid);
    EXPECT_TRUE(found.opened && found.listed && found.priorityClass == 0x20 && found.count == found.modules.size());
    EXPECT_TRUE(ascii::EqualNoCase(found.modules.at(0).fileName, s.imagePath)) << found.modules.at(0).fileName;
    for (const ModuleEntry& module : found.modules) EXPECT_EQ(BaseNameOf(module.fileName), module.baseName);

    const std::vector<WindowHandle> tops = windows.TopLevelWindows();
    EXPECT_TRUE(std::ranges::count(tops, s.window) == 1 && std::ranges::count(tops, windows.GetDesktopWindow()) == 0);
    EXPECT_EQ(std::ranges::count(windows.DescendantWindows(s.window), s.child), 1);
    std::uint32_t pid = 0;
    const std::int64_t tid = windows.GetWindowThreadProcessId(s.window, pid);
    EXPECT_EQ(std::vector<std::int64_t>({tid, pid, windows.GetParent(s.child), windows.GetParent(s.window)}),
              std::vector<std::int64_t>({s.threadId, s.pid, s.window, 0}));
    EXPECT_EQ(windows.ClassName(s.window), s.className.substr(0, 99));  // as 100 characters hold it
    EXPECT_EQ(windows.TextLength(s.child, 1000), static_cast<std::intptr_t>(s.childText.size()));
    EXPECT_EQ(windows.Text(s.child, 4, 1000), s.childText.substr(0, 3));

    EXPECT_TRUE(system.AnyRunning(s.imagePath) && system.AnyRunning(ascii::LowerCase(s.imagePath)));
    EXPECT_FALSE(system.AnyRunning("C:\\Elsewhere\\" + BaseNameOf(s.imagePath)));
    system.Terminate(s.pid);
    EXPECT_TRUE(ended() && !system.AnyRunning(s.imagePath));
}

TEST(PortContract, HeldByTheFakes) {
    Machine m;
    const Subject game{0x200, 0x300, 0x208, 0x1100, 0x1104, "C:\\UT\\UT.EXE", "Main", "Panel"};
    HoldTheContract(m.system, m.windows, game,
                    [&] { return m.system.terminated == std::vector<std::uint32_t>{0x200}; });
    EXPECT_EQ(m.windows.ModuleFileName(m.windows.OwnInstance()), "C:\\Brakkis.exe");
}

#ifdef _WIN32
// The subject is enum_helper.exe from beside this program, its window titled for this run.
TEST(PortContract, HeldByTheWin32Adapters) {
    char text[MAX_PATH];
    const std::string self(text, ::GetModuleFileNameA(nullptr, text, MAX_PATH));
    const std::string title = "BrakkisEnumHelper-" + std::to_string(::GetCurrentProcessId());
    Subject s{0, ::GetCurrentProcessId(), 0, 0, 0, self.substr(0, self.rfind('\\') + 1) + "enum_helper.exe", "", ""};
    std::string command = "\"" + s.imagePath + "\" " + title;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION helper{};
    ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, 0, 0, nullptr, nullptr, &startup, &helper));
    ::WaitForInputIdle(helper.hProcess, 30000);  // its windows are up once it waits for messages
    const HWND window = ::FindWindowA(nullptr, title.c_str()), child = ::GetWindow(window, GW_CHILD);
    s.pid = helper.dwProcessId, s.threadId = helper.dwThreadId;
    s.window = reinterpret_cast<WindowHandle>(window), s.child = reinterpret_cast<WindowHandle>(child);
    s.className.assign(text, ::GetClassNameA(window, text, MAX_PATH));
    s.childText.assign(text, ::GetWindowTextA(child, text, MAX_PATH));
    const auto windows = CreateWin32WindowEnumCalls();
    EXPECT_EQ(windows->ModuleFileName(windows->OwnInstance()), self.substr(0, 99));  // as 100 characters hold it
    HoldTheContract(*CreateWin32ProcessSystem(), *windows, s, [&] {
        DWORD code = STILL_ACTIVE;
        return ::WaitForSingleObject(helper.hProcess, 10000) == WAIT_OBJECT_0 &&
               ::GetExitCodeProcess(helper.hProcess, &code) && code == 0;
    });
    ::TerminateProcess(helper.hProcess, 1);  // when the contract did not end it
    ::WaitForSingleObject(helper.hProcess, 10000);
    ::CloseHandle(helper.hProcess);
    ::CloseHandle(helper.hThread);
}
#endif

// The extended listing, asked for modules of both widths, wherever the system has it; the plain one elsewhere.
TEST(ModuleListing, TakesTheExtendedCallForAllModulesWhereTheSystemHasIt) {
    const std::function<int(int, std::uint32_t)> listEx = [](int, std::uint32_t filter) { return filter == 3; };
    const std::function<int(int)> list = [](int listed) { return listed; };
    EXPECT_TRUE(win32::ListModules(listEx, list, 0) && win32::ListModules(decltype(listEx)(), list, 1));
    EXPECT_FALSE(win32::ListModules(decltype(listEx)(), list, 0) ||
                 win32::ListModules(decltype(listEx)(), decltype(list)(), 1));
}

}  // namespace
}  // namespace brakkis
