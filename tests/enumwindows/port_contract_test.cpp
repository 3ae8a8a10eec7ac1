// One contract for the two ports the enumeration stands on, held by the fakes
// the engine is tested on and, under Wine, by the Win32 adapters. Each test
// has a subject process of its own, with a window and a child window, and
// judges only what the ports say about it against what the system says.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

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

#include <psapi.h>
#endif

namespace brakkis {
namespace {

// The subject as the system itself reports it.
struct Subject {
    std::uint32_t pid = 0, parentPid = 0, threadId = 0, version = 0, priorityClass = 0;
    std::string imagePath{};
    WindowHandle window = 0, child = 0;
    std::string caption{}, className{}, childCaption{};
    std::string ownPath{};               // this program's main module
    std::vector<ModuleEntry> modules{};  // the main executable first
};

struct World {
    virtual ~World() = default;
    virtual ProcessSystem& Processes() = 0;
    virtual WindowEnumCalls& Windows() = 0;
    virtual bool Terminated() = 0;  // as Terminate ends a process
    Subject subject;
};

struct FakeWorld final : World {
    FakeWorld() {
        subject = {0x1234, 0x1000, 0x1238, 0x40000, 0x20, "C:\\Apps\\enum_helper.exe", 0x100, 0x104, "Helper"};
        subject.className = std::string(120, 'x');
        subject.childCaption = "label\r\nsecond line";
        const Subject& s = subject;
        processes.Add(s.parentPid, 0, "enumwindows_tests.exe");
        processes.Add(s.pid, s.parentPid, "enum_helper.exe", {s.threadId});
        subject.modules = processes.modules[s.pid].modules;
        windows.topLevel = {s.window};
        windows.descendants[s.window] = {s.child};
        windows.windows = {{s.window, {s.pid, s.threadId, 0, s.caption, s.className.substr(0, 99)}},
                           {s.child, {s.pid, s.threadId, s.window, s.childCaption}}};
        windows.ownModules[windows.ownInstance] = subject.ownPath = "C:\\Tests\\enumwindows_tests.exe";
    }
    ProcessSystem& Processes() override { return processes; }
    WindowEnumCalls& Windows() override { return windows; }
    bool Terminated() override { return processes.terminated == std::vector<std::uint32_t>{subject.pid}; }
    sim::FakeProcessSystem processes;
    sim::FakeWindowTree windows;
};

#ifdef _WIN32
// The subject is enum_helper.exe from beside this program; its window is
// titled with the name of the event it sets once its windows exist.
struct Win32World final : World {
    Win32World() {
        Subject& s = subject;
        s.caption = "BrakkisEnumHelper-" + std::to_string(::GetCurrentProcessId());
        const HANDLE up = ::CreateEventA(nullptr, TRUE, FALSE, s.caption.c_str());
        char text[MAX_PATH];
        s.ownPath.assign(text, ::GetModuleFileNameA(nullptr, text, MAX_PATH));
        std::string command = "\"" + s.ownPath.substr(0, s.ownPath.rfind('\\') + 1) + "enum_helper.exe\" " + s.caption;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        const bool started = ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                              &startup, &helper) &&
                             ::WaitForSingleObject(up, 30000) == WAIT_OBJECT_0;
        ::CloseHandle(up);
        if (!started) ADD_FAILURE() << "the helper did not start: " << command;
        s.pid = helper.dwProcessId;
        s.parentPid = ::GetCurrentProcessId();
        s.threadId = helper.dwThreadId;
        s.version = ::GetProcessVersion(s.pid);
        s.priorityClass = ::GetPriorityClass(helper.hProcess);
        DWORD size = MAX_PATH;
        if (::QueryFullProcessImageNameA(helper.hProcess, 0, text, &size)) s.imagePath.assign(text, size);
        HMODULE modules[1000];
        DWORD bytes = 0;
        ::EnumProcessModulesEx(helper.hProcess, modules, sizeof modules, &bytes, LIST_MODULES_ALL);
        for (DWORD j = 0; j < bytes / sizeof modules[0]; ++j) {
            char path[300], base[300];
            const DWORD pathLength = ::GetModuleFileNameExA(helper.hProcess, modules[j], path, sizeof path);
            s.modules.push_back({reinterpret_cast<ModuleHandle>(modules[j]), std::string(path, pathLength),
                                 std::string(base, ::GetModuleBaseNameA(helper.hProcess, modules[j], base, 300))});
        }
        const HWND window = ::FindWindowA(nullptr, s.caption.c_str());
        s.window = reinterpret_cast<WindowHandle>(window);
        s.child = reinterpret_cast<WindowHandle>(::GetWindow(window, GW_CHILD));
        s.className.assign(text, ::GetClassNameA(window, text, MAX_PATH));
        s.childCaption.assign(text, ::GetWindowTextA(::GetWindow(window, GW_CHILD), text, MAX_PATH));
    }
    ~Win32World() override {
        ::TerminateProcess(helper.hProcess, 1);
        ::WaitForSingleObject(helper.hProcess, 10000);
        ::CloseHandle(helper.hProcess);
    }
    ProcessSystem& Processes() override { return *processes; }
    WindowEnumCalls& Windows() override { return *windows; }
    bool Terminated() override {
        DWORD code = STILL_ACTIVE;
        return ::WaitForSingleObject(helper.hProcess, 10000) == WAIT_OBJECT_0 &&
               ::GetExitCodeProcess(helper.hProcess, &code) && code == 0;
    }
    std::unique_ptr<ProcessSystem> processes = CreateWin32ProcessSystem();
    std::unique_ptr<WindowEnumCalls> windows = CreateWin32WindowEnumCalls();
    PROCESS_INFORMATION helper{};
};
#endif

template <class W>
std::unique_ptr<World> Make() {
    return std::make_unique<W>();
}

class PortContract : public ::testing::TestWithParam<std::unique_ptr<World> (*)()> {
protected:
    std::unique_ptr<World> world_ = GetParam()();
    const Subject& s = world_->subject;
};

INSTANTIATE_TEST_SUITE_P(Fakes, PortContract, ::testing::Values(&Make<FakeWorld>));
#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Win32, PortContract, ::testing::Values(&Make<Win32World>));
#endif

TEST_P(PortContract, ProcessesListTheSubjectAsTheSystemSeesIt) {
    ProcessSystem& system = world_->Processes();
    const SystemLibraries libraries = system.ProbeLibraries();
    EXPECT_TRUE(libraries.kernel32 && libraries.toolhelp && libraries.psapi);
    const auto processes = system.ProcessSnapshot().entries;
    const auto entry = std::find_if(processes.begin(), processes.end(), [&](auto& e) { return e.processId == s.pid; });
    ASSERT_NE(entry, processes.end());
    EXPECT_EQ(std::to_string(entry->parentProcessId) + " " + std::to_string(entry->version),
              std::to_string(s.parentPid) + " " + std::to_string(s.version));
    EXPECT_TRUE(ascii::EqualNoCase(entry->exeFile, BaseNameOf(s.imagePath))) << entry->exeFile;
    EXPECT_GE(entry->threadCount, 1u);
    const auto threads = system.ThreadSnapshot().entries;
    EXPECT_TRUE(std::any_of(threads.begin(), threads.end(),
                            [&](auto& t) { return t.threadId == s.threadId && t.ownerProcessId == s.pid; }));
    const std::vector<std::uint32_t> ids = system.ProcessIds();
    EXPECT_NE(std::find(ids.begin(), ids.end(), s.pid), ids.end());
    const ProcessModules found = system.Modules(s.pid);
    EXPECT_TRUE(found.opened && found.listed);
    EXPECT_EQ(found.priorityClass, s.priorityClass);
    EXPECT_EQ(found.count, s.modules.size());
    EXPECT_EQ(found.modules, s.modules);  // named as psapi names them, however the adapter reads them
    EXPECT_TRUE(!found.modules.empty() && ascii::EqualNoCase(found.modules[0].fileName, s.imagePath));
    EXPECT_FALSE(system.Modules(0).opened);
}

TEST_P(PortContract, WindowsAreListedWithTheirFacts) {
    WindowEnumCalls& windows = world_->Windows();
    const std::vector<WindowHandle> tops = windows.TopLevelWindows();
    EXPECT_NE(std::find(tops.begin(), tops.end(), s.window), tops.end());
    EXPECT_EQ(std::find(tops.begin(), tops.end(), windows.GetDesktopWindow()), tops.end());
    EXPECT_EQ(windows.DescendantWindows(s.window), std::vector<WindowHandle>{s.child});
    std::uint32_t pid = 0;
    EXPECT_EQ(windows.GetWindowThreadProcessId(s.window, pid), s.threadId);
    EXPECT_EQ(pid, s.pid);
    EXPECT_EQ(windows.GetParent(s.child), s.window);
    EXPECT_EQ(windows.GetParent(s.window), 0);
    EXPECT_EQ(windows.ClassName(s.window), s.className.substr(0, 99));  // as 100 characters hold it
    EXPECT_EQ(windows.TextLength(s.child, 1000), static_cast<std::intptr_t>(s.childCaption.size()));
    EXPECT_EQ(windows.Text(s.child, 100, 1000), s.childCaption);
    EXPECT_EQ(windows.Text(s.window, 6, 1000), s.caption.substr(0, 5));
    EXPECT_EQ(windows.ModuleFileName(windows.OwnInstance()), s.ownPath.substr(0, 99));
}

// The engine on the ports, end to end: the subject hangs below this program,
// its windows under its thread, and its name in any letter case ends it;
// whether it runs follows.
TEST_P(PortContract, TheEngineEndsTheSubjectByNameAndAnyRunningFollows) {
    ProcessSystem& system = world_->Processes();
    EXPECT_TRUE(system.AnyRunning(s.imagePath) && system.AnyRunning(ascii::LowerCase(s.imagePath)));
    EXPECT_FALSE(system.AnyRunning("C:\\Elsewhere\\" + BaseNameOf(s.imagePath)));
    sim::SimMachine screen;
    modEnumWindows engine{system, world_->Windows(), screen};
    engine.KillProcessesByName("Enum_Helper.EXE");
    EXPECT_TRUE(world_->Terminated());
    EXPECT_FALSE(system.AnyRunning(s.imagePath));
    EXPECT_TRUE(screen.messageBoxes.empty());
    const auto subject = engine.Processes().Find(MakeKey(s.pid));
    ASSERT_TRUE(subject);
    EXPECT_EQ(subject->Parent.lock(), engine.Processes().Find(MakeKey(s.parentPid)));
    EXPECT_EQ(subject->FileName, s.modules.at(0).fileName);
    const auto window = subject->Threads.Get(MakeKey(s.threadId))->Windows.Get(MakeKey(s.window));
    EXPECT_EQ(window->Caption + "|" + window->ChildWindows.Get(MakeKey(s.child))->Caption, s.caption + "|label");
}

// The extended module listing, asked for modules of both widths, wherever
// the system has it; the plain one elsewhere.
TEST(ModuleListing, TakesTheExtendedCallForAllModulesWhereTheSystemHasIt) {
    std::vector<std::string> calls;
    const std::function<int(int, std::uint32_t)> listEx = [&](int process, std::uint32_t filter) {
        calls.push_back(std::to_string(process) + " ex " + std::to_string(filter));
        return 1;
    };
    const std::function<int(int)> list = [&](int process) { return calls.push_back(std::to_string(process)), 0; };
    EXPECT_TRUE(win32::ListModules(listEx, list, 7));
    EXPECT_FALSE(win32::ListModules(decltype(listEx)(), list, 8));
    EXPECT_FALSE(win32::ListModules(decltype(listEx)(), decltype(list)(), 9));
    EXPECT_EQ(calls, (std::vector<std::string>{"7 ex 3", "8"}));
}

}  // namespace
}  // namespace brakkis
