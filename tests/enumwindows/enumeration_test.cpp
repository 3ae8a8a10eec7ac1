// The enumeration on one simulated machine; its ports' contract, held by the fakes and under Wine the Win32 adapters.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "enumwindows/mod_enum_windows.h"
#include "platform/ascii_case.h"
#include "platform/win32/module_listing.h"
#include "tests/fakes/fake_process_system.h"
#include "tests/fakes/fake_window_tree.h"

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

// Each window and its record's facts. No pass lists the desktop's process; ours is 0x400000's, cc is loaded here.
const std::vector<std::tuple<WindowHandle, sim::FakeWindow, std::string>> kWindows = {
    {0x10010, {0x30, 0x34, 0, "", "#32769", 0, 1, 2, {-5, 7, 30, 40}}, "|#32769|| K-30/K-34^none K-30/K-34[K-1300]"},
    {0x1100, {0x200, 0x208, 0, "Main", "", 0x20000000}, "Main||C:\\cc|cc K-200/K-208^none K-200/K-208[K-1104 K-1108]"},
    {0x1104, {0x200, 0x208, 0x1100, "Panel", "Panel"}, "Panel|Panel|C:\\cc| K-200/K-208^K-1100 K-200/K-208[K-1108]"},
    {0x1108, {0x200, 0x204, 0x1104, "OK"}, "OK||C:\\cc| K-200/K-208^K-1104 K-200/K-204[]"},
    {0x1300, {0x200, 0x204, 0x10010, "Tool\x01tip", "Tip"}, "Tool|Tip|| K-30/K-34^K-10010 K-200/K-204[]"},
    {0x1500, {0x80, 0x88, 0, "Solitaire", "", 0x400000}, "Solitaire||| K-FFFF8001/K-88^none K-80/K-88[]"}};

// Explorer (its parent gone) started the game (listed first), which restarted itself, and ntvdm.exe with two tasks.
struct Machine {
    Machine() {
        auto& s = system;
        s.Add(0x200, 0x300, "C:\\UT\\UT.EXE", {0x204, 0x208});
        s.modules[0x200].count = 2, s.modules[0x200].modules.push_back({0x10000, "C:\\UT\\Core.dll", "Core.dll"});
        s.Add(0x220, 0x200, "ut.exe");
        s.Add(0x300, 0x999, "explorer.exe", {0x304});
        s.threads.entries.push_back({0x304, 0x300, 1, -1});  // listed twice: the first stands
        s.Add(0x400, 0x400, "UT.exe");                       // names itself as its parent
        s.Add(0x80, 0x300, "NTVDM.EXE", {0x84, 0x88, 0x8C});
        s.tasks[0x80] = {{0x88, 0x8001, "C:\\SOL.EXE"}, {0x8C, 0x300, "C:\\CLOCK.EXE"}};
        s.Add(0x700, 0x300, "C:\\Games\\ut.exe");
        s.modules[0x700] = {true, 0x4000, false, 0, {}};                             // its modules cannot be listed
        s.processes.entries.push_back({0x540, 0, 0x300, 8, "ut.exe.bak", 0x40000});  // toolhelp's alone, twice
        s.processes.entries.push_back({0x540, 0, 0x400, 8, "ut.exe.bak", 0x38000});  // version 3.5, to even: 4
        s.threads.entries.push_back({0x804, 0x800, 8, 0});                           // of a process listed nowhere
        s.processes.error = 18, s.threads.error = 0xC0000005u;
        for (const auto& [hwnd, window, facts] : kWindows) windows.windows[hwnd] = window;
        windows.ownModules = {{0, "C:\\Brakkis.exe"}, {0x400000, "C:\\Brakkis.exe"}, {0x20000000, "C:\\cc"}};
        windows.topLevel = {0x1100, 0x1300, 0x1500};
        windows.descendants = {{0x1100, {0x1104, 0x1108}}, {0x1300, {0x1304}}};
    }

    // Enumerates: the message boxes shown, marked if not plain, under ""; each process and window's facts, its key.
    std::map<std::string, std::string> Run() {
        screen.messageBoxes.clear();
        engine.EnumerateProcesses();
        std::map<std::string, std::string> facts;
        for (const auto& box : screen.messageBoxes)
            facts[""] += box.starts_with("|0|") ? box.substr(3) + ";" : box + "!";
        const std::function<void(const CWindow&)> window = [&](const CWindow& w) {  // descendants again: same facts
            facts[w.Key] = w.Caption + "|" + w.Class + "|" + w.FileName + "|" + w.BaseName + " " +
                           KeyOf(w.ParentProcess) + "/" + KeyOf(w.ParentThread) + "^" + KeyOf(w.ParentWindow) + " " +
                           MakeKey(w.ProcessID) + "/" + MakeKey(w.ThreadID) + Keys(w.ChildWindows);
            for (const auto& child : w.ChildWindows) window(*child.item);
        };
        for (const auto& [key, p] : engine.Processes()) {
            facts[key] = KeyOf(p->Parent) + " " + p->FileName + "|" + p->BaseName + " " + std::to_string(p->Priority) +
                         " " + p->Bits + " " + std::to_string(p->ThreadCount) + Keys(p->Threads) + " " +
                         std::to_string(p->ModuleCount) + Keys(p->ChildProcesses);
            for (const auto& thread : p->Threads)
                for (const auto& top : thread.item->Windows) window(*top.item);
        }
        return facts;
    }

    sim::FakeProcessSystem system;
    sim::FakeWindowTree windows;
    sim::SimMachine screen;
    modEnumWindows engine{system, windows, screen};
};

TEST(Enumeration, FilesEveryRecordEndsProcessesByNameAndReportsWhatIsMissing) {
    Machine m;
    auto facts = m.Run();
    for (const auto& [hwnd, window, expected] : kWindows) EXPECT_EQ(facts[MakeKey(hwnd)], expected);
    for (const auto& [key, expected] : std::map<std::string, std::string>{
             {"", ""},
             // psapi's path, priority class and module count over toolhelp's tree and thread count
             {"K-200", "K-300 C:\\UT\\UT.EXE|UT.EXE 32 32 2[K-204 K-208] 2[K-220]"},
             {"K-300", "K-999 explorer.exe|explorer.exe 32 32 1[K-304] 1[K-200 K-80 K-700]"},
             {"K-999", "none | 0  0[] 0[K-300]"},  // a placeholder for the parent that is gone
             {"K-400", "none UT.exe|UT.exe 32 32 0[] 1[K-540]"},
             {"K-540", "K-400 ut.exe.bak|ut.exe.bak 8 32 0[] 0[]"},
             {"K-700", "K-300 ut.exe|ut.exe 16384 32 0[] 0[]"},
             {"K-800", "none | 0  0[K-804] 0[]"},
             {"K-80", "K-300 NTVDM.EXE|NTVDM.EXE 32 32 3[K-84] 1[K-FFFF8001 K-300]"}})
        EXPECT_EQ(facts[key], expected) << key;
    const CProcess& game = *m.engine.Processes().Get("K-200");
    EXPECT_EQ(Keys(game.Modules) + game.Modules.At(0)->FileName, "[K-10000]C:\\UT\\Core.dll");  // not the main one
    const CWindow& d = *m.engine.DesktopWindow();
    EXPECT_EQ(std::vector({d.Style, d.ExStyle, d.Left, d.Top, d.Right, d.Bottom}), std::vector({1, 2, -5, 7, 30, 40}));
    EXPECT_TRUE(game.Threads.Get("K-204")->DesktopOwnedWindows.Contains("K-1300") && !m.engine.CurrentTopWindow());
    m.engine.KillProcessesByName("ut.exe");  // base names in any case, below a root, parents first
    EXPECT_EQ(m.system.terminated, (std::vector<std::uint32_t>{0x200, 0x220, 0x700}));

    // The same engine for every case, so that nothing is carried over; without toolhelp, threads are counted as filed.
    using enum SnapshotStatus;
    const std::string vdm = "K-80none NTVDM.EXE|NTVDM.EXE 32 32 0[] 1[K-FFFF8001 K-300]K-80 C:\\SOL.EXE|SOL.EXE 0 16 ";
    const std::string walkOnly = "nonenone | 0  1[K-88] 0[]", notTaken = "Failed to create Module and Thread snapshot;";
    const std::string failed = "No processes: error 12;No Threads: error C0000005;";
    const std::vector<std::tuple<SystemLibraries, SnapshotStatus, std::string>> cases = {
        {{true, false, true, true}, Listed, vdm + "1[K-88] 0[]"},
        {{true, true, true, false}, Listed, "noneK-300 NTVDM.EXE|NTVDM.EXE 32 32 3[K-84 K-88 K-8C] 1[]"},
        {{false, true, true, true}, Listed, "Failed to load library kernel32;" + walkOnly},
        {{true, false, false, true}, Listed, "No libraries to enumerate processes could be found;" + walkOnly},
        {{true, true, true, true}, NotTaken, notTaken + notTaken + vdm + "0[K-88] 0[]"},
        {{true, true, true, true}, FirstEntryFailed, failed + vdm + "0[K-88] 0[]"}};
    for (const auto& [libraries, snapshots, expected] : cases) {
        m.system.libraries = libraries;
        m.system.processes.status = m.system.threads.status = snapshots;
        auto got = m.Run();
        EXPECT_EQ(got[""] + KeyOf(std::weak_ptr(m.engine.VdmProcess())) + got["K-80"] + got["K-FFFF8001"], expected);
    }
}

struct Subject {  // what the system itself says of a process with a window and a child
    std::uint32_t pid = 0, parentPid = 0, threadId = 0;
    WindowHandle window = 0, child = 0;
    std::string imagePath{}, className{}, childText{}, ownPath{};
};

// The ports say of the subject what the system says, judging nothing else; Terminate ends it, as `ended` tells.
void HoldTheContract(ProcessSystem& system, WindowEnumCalls& windows, const Subject& s, std::function<bool()> ended) {
    const SystemLibraries libraries = system.ProbeLibraries();
    const auto processes = system.ProcessSnapshot().entries;
    const auto entry = std::ranges::find(processes, s.pid, &ProcessEntry::processId);
    ASSERT_TRUE(libraries.kernel32 && libraries.toolhelp && libraries.psapi && entry != processes.end());
    EXPECT_TRUE(entry->parentProcessId == s.parentPid && entry->threadCount > 0 && entry->version >= 0x40000);
    EXPECT_TRUE(ascii::EqualNoCase(entry->exeFile, BaseNameOf(s.imagePath))) << entry->exeFile;
    const ProcessModules found = system.Modules(s.pid);
    EXPECT_TRUE(found.opened && found.listed && found.priorityClass == 0x20 && found.count == found.modules.size() &&
                std::ranges::count(system.ProcessIds(), s.pid) == 1);
    EXPECT_TRUE(ascii::EqualNoCase(found.modules.at(0).fileName, s.imagePath)) << found.modules.at(0).fileName;
    for (const ModuleEntry& module : found.modules) EXPECT_EQ(BaseNameOf(module.fileName), module.baseName);

    std::uint32_t pid = 0;
    const std::int64_t tid = windows.GetWindowThreadProcessId(s.window, pid);
    EXPECT_EQ(std::vector<std::int64_t>({tid, pid, windows.GetParent(s.child), windows.GetParent(s.window),
                                         std::ranges::count(windows.TopLevelWindows(), s.window),
                                         std::ranges::count(windows.TopLevelWindows(), windows.GetDesktopWindow()),
                                         std::ranges::count(windows.DescendantWindows(s.window), s.child)}),
              std::vector<std::int64_t>({s.threadId, s.pid, s.window, 0, 1, 0, 1}));
    EXPECT_EQ(windows.TextLength(s.child, 1000), static_cast<std::intptr_t>(s.childText.size()));
    EXPECT_EQ(windows.ClassName(s.window) + "|" + windows.ModuleFileName(windows.OwnInstance()),  // 100 characters hold
              s.className.substr(0, 99) + "|" + s.ownPath.substr(0, 99));

    EXPECT_TRUE(system.AnyRunning(s.imagePath) && system.AnyRunning(ascii::LowerCase(s.imagePath)) &&
                !system.AnyRunning("C:\\Elsewhere\\" + BaseNameOf(s.imagePath)));
    system.Terminate(s.pid);
    EXPECT_TRUE(ended() && !system.AnyRunning(s.imagePath));
}

TEST(PortContract, HeldByTheFakes) {
    Machine m;
    const Subject s{0x200, 0x300, 0x208, 0x1100, 0x1104, "C:\\UT\\UT.EXE", "", "Panel", "C:\\Brakkis.exe"};
    HoldTheContract(m.system, m.windows, s, [&] { return m.system.terminated == std::vector<std::uint32_t>{s.pid}; });
}

#ifdef _WIN32
// The subject is enum_helper.exe from beside this program, its window titled for this run.
TEST(PortContract, HeldByTheWin32Adapters) {
    char text[MAX_PATH];
    const std::string self(text, ::GetModuleFileNameA(nullptr, text, MAX_PATH));
    std::string title = "BrakkisEnumHelper-" + std::to_string(::GetCurrentProcessId()), command = "helper " + title;
    Subject s{0, ::GetCurrentProcessId(), 0, 0, 0, self.substr(0, self.rfind('\\') + 1) + "enum_helper.exe"};
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION helper{};
    ASSERT_TRUE(::CreateProcessA(s.imagePath.c_str(), command.data(), 0, 0, 0, 0, 0, 0, &startup, &helper));
    ::WaitForInputIdle(helper.hProcess, 30000);  // its windows are up once it waits for messages
    const HWND window = ::FindWindowA(nullptr, title.c_str()), child = ::GetWindow(window, GW_CHILD);
    s.pid = helper.dwProcessId, s.threadId = helper.dwThreadId, s.childText = "label\r\nsecond line", s.ownPath = self;
    s.window = reinterpret_cast<WindowHandle>(window), s.child = reinterpret_cast<WindowHandle>(child);
    s.className.assign(text, ::GetClassNameA(window, text, MAX_PATH));
    const auto ended = [&] { return ::WaitForSingleObject(helper.hProcess, 10000) == WAIT_OBJECT_0; };
    HoldTheContract(*CreateWin32ProcessSystem(), *CreateWin32WindowEnumCalls(), s, ended);
    ::TerminateProcess(helper.hProcess, 1);  // when the contract did not end it
    ::CloseHandle(helper.hProcess);
    ::CloseHandle(helper.hThread);
}
#endif

TEST(ModuleListing, TakesTheExtendedCallForAllModulesWhereTheSystemHasIt) {
    const std::function<int(int, std::uint32_t)> listEx = [](int, std::uint32_t filter) { return filter == 3; }, noEx;
    const std::function<int(int)> list = [](int listed) { return listed; }, noList;
    EXPECT_TRUE(win32::ListModules(listEx, list, 0) && win32::ListModules(noEx, list, 1) &&
                !win32::ListModules(noEx, list, 0) && !win32::ListModules(noEx, noList, 1));
}

}  // namespace
}  // namespace brakkis
