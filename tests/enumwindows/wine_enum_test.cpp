// The engine on the real system: under Wine in the cross build.
#include <gtest/gtest.h>

#include "enumwindows/mod_enum_windows.h"
#include "platform/ascii_case.h"
#include "tests/fakes/sim_machine.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_process_calls.h"
#include "platform/win32/win32_window_enum_calls.h"
#include "platform/win32/windows_api.h"

namespace brakkis {
namespace {

struct RealRig {
    std::unique_ptr<ProcessCalls> calls = CreateWin32ProcessCalls();
    std::unique_ptr<WindowEnumCalls> windows = CreateWin32WindowEnumCalls();
    sim::SimMachine screen;  // where message boxes would have gone
    sim::SimRuntime runtime{screen};
    ModEnumWindows engine{*calls, *windows, runtime};

    std::shared_ptr<CProcess> Self() const {
        return engine.Processes().Find(MakeKey(static_cast<std::int32_t>(::GetCurrentProcessId())));
    }
};

TEST(RealEnumeration, FindsThisProcessInFullAndEndsEveryCopyOfTheHelperByNameInAnyCase) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "BrakkisEnumTest";
    ::RegisterClassA(&windowClass);
    const HWND hwnd = ::CreateWindowExA(0, windowClass.lpszClassName, "enumeration under test", WS_OVERLAPPEDWINDOW,
                                        30, 40, 320, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    const HWND child = ::CreateWindowExA(0, "STATIC", "label\r\nsecond line", WS_CHILD | WS_VISIBLE, 5, 5, 100,
                                         20, hwnd, nullptr, windowClass.hInstance, nullptr);
    win32::ScopedKernelHandle up(::CreateSemaphoreA(nullptr, 0, 2, "BrakkisEnumHelperUp"));
    char exe[MAX_PATH];
    std::string helperPath(exe, ::GetModuleFileNameA(nullptr, exe, MAX_PATH));
    std::string command = "\"" + helperPath.erase(helperPath.rfind('\\') + 1) + "enum_helper.exe\"";
    PROCESS_INFORMATION helpers[2] = {};
    for (PROCESS_INFORMATION& helper : helpers) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &helper));
        ::CloseHandle(helper.hThread);
    }
    for (int started = 0; started < 2; ++started) ASSERT_EQ(::WaitForSingleObject(up.Get(), 20000), WAIT_OBJECT_0);

    RealRig rig;
    rig.engine.KillProcessesByName("ENUM_Helper.EXE");

    for (PROCESS_INFORMATION& helper : helpers) {
        EXPECT_EQ(::WaitForSingleObject(helper.hProcess, 10000), WAIT_OBJECT_0);
        DWORD code = 99;
        ::GetExitCodeProcess(helper.hProcess, &code);
        EXPECT_EQ(code, 0u) << "ended by itself, not by the test";
        if (code == STILL_ACTIVE) ::TerminateProcess(helper.hProcess, 1);
        ::CloseHandle(helper.hProcess);
        // Found hanging below this process, which started it.
        EXPECT_TRUE(rig.Self()->ChildProcesses.Contains(MakeKey(static_cast<std::int32_t>(helper.dwProcessId))));
    }
    EXPECT_TRUE(rig.engine.HasToolhelp() && rig.engine.HasPsapi());
    EXPECT_TRUE(rig.screen.messageBoxes.empty());
    ASSERT_TRUE(rig.engine.DesktopWindow());
    auto self = rig.Self();
    ASSERT_TRUE(self);
    EXPECT_EQ(ascii::LowerCase(self->BaseName), "enumwindows_wine.exe");
    EXPECT_EQ(ascii::LowerCase(BaseNameOf(self->FileName)), "enumwindows_wine.exe");
    EXPECT_EQ(self->Bits, "32");
    EXPECT_GE(self->ThreadCount, 1);
    EXPECT_GE(self->ModuleCount, 2);
    EXPECT_EQ(self->ModuleCount, static_cast<std::int32_t>(self->Modules.Count()) + 1);
    bool hasKernel32 = false;
    for (const auto& entry : self->Modules) hasKernel32 |= ascii::LowerCase(entry.item->BaseName) == "kernel32.dll";
    EXPECT_TRUE(hasKernel32);

    auto thread = self->Threads.Find(MakeKey(static_cast<std::int32_t>(::GetCurrentThreadId())));
    ASSERT_TRUE(thread);
    auto window = thread->Windows.Find(MakeKey(reinterpret_cast<WindowHandle>(hwnd)));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->Caption, "enumeration under test");
    EXPECT_EQ(window->Class, "BrakkisEnumTest");
    EXPECT_EQ(window->FileName, "");  // our own instance
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    EXPECT_EQ(window->Left, rect.left);
    EXPECT_EQ(window->Bottom, rect.bottom);
    EXPECT_EQ(window->Style, static_cast<std::int32_t>(::GetWindowLongA(hwnd, GWL_STYLE)));
    auto label = window->ChildWindows.Find(MakeKey(reinterpret_cast<WindowHandle>(child)));
    ASSERT_TRUE(label);
    EXPECT_EQ(label->Caption, "label");
    EXPECT_EQ(label->Class, "Static");

    ::DestroyWindow(hwnd);
}

}  // namespace
}  // namespace brakkis
