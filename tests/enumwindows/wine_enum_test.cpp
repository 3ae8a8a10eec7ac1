// The engine on the real system: under Wine in the cross build.
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "enumwindows/mod_enum_windows.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_process_calls.h"
#include "platform/win32/win32_window_enum_calls.h"
#include "platform/win32/windows_api.h"

namespace brakkis {
namespace {

using namespace std::chrono_literals;

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path.insert(0, "Z:");
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

bool WaitUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class QuietRuntime : public WindowRuntime {
public:
    std::string CommandLine() override { return {}; }
    std::string AppPath() override { return {}; }
    std::string ExeName() override { return {}; }
    std::int32_t MsgBox(const std::string& text, std::int32_t, const std::string&) override {
        messages.push_back(text);
        return 1;
    }
    void SetVisible(bool) override {}
    bool Visible() override { return false; }
    WindowHandle Hwnd() override { return 0; }
    void Unload() override {}

    std::vector<std::string> messages;
};

struct RealRig {
    std::unique_ptr<ProcessCalls> calls = CreateWin32ProcessCalls();
    std::unique_ptr<WindowEnumCalls> windows = CreateWin32WindowEnumCalls();
    QuietRuntime runtime;
    ModEnumWindows engine{*calls, *windows, runtime};
};

struct Helper {
    win32::ScopedKernelHandle process;
    DWORD pid = 0;
};

Helper StartHelper(const char* argument) {
    std::string commandLine = "\"" + WindowsPath(BRAKKIS_ENUM_HELPER_EXE) + "\" " + argument;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    Helper helper;
    if (::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &info)) {
        ::CloseHandle(info.hThread);
        helper.process.Reset(info.hProcess);
        helper.pid = info.dwProcessId;
    }
    return helper;
}

TEST(RealEnumeration, EndsEveryCopyOfTheHelperByNameInAnyCase) {
    Helper quiet = StartHelper("quiet");
    Helper shown = StartHelper("window");
    ASSERT_TRUE(quiet.process && shown.process);
    ASSERT_TRUE(WaitUntil([] { return ::FindWindowA("BrakkisEnumHelper", nullptr) != nullptr; }));

    RealRig rig;
    rig.engine.KillProcessesByName("ENUM_Helper.EXE");

    for (Helper* helper : {&quiet, &shown}) {
        EXPECT_EQ(::WaitForSingleObject(helper->process.Get(), 10000), WAIT_OBJECT_0);
        DWORD code = 99;
        ::GetExitCodeProcess(helper->process.Get(), &code);
        EXPECT_EQ(code, 0u) << "ended by itself, not by the test";
        if (code == STILL_ACTIVE) ::TerminateProcess(helper->process.Get(), 1);
    }
    EXPECT_TRUE(rig.runtime.messages.empty());
    // The tree they were found in hung them below this process.
    auto self = rig.engine.Processes().Find(MakeKey(static_cast<std::int32_t>(::GetCurrentProcessId())));
    ASSERT_TRUE(self);
    EXPECT_TRUE(self->ChildProcesses.Contains(MakeKey(static_cast<std::int32_t>(shown.pid))));
}

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(RealEnumeration, FindsThisProcessWithItsThreadsModulesAndWindow) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = TestWindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "BrakkisEnumTest";
    ::RegisterClassA(&windowClass);
    const HWND hwnd = ::CreateWindowExA(0, windowClass.lpszClassName, "enumeration under test", WS_OVERLAPPEDWINDOW,
                                        30, 40, 320, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    const HWND child = ::CreateWindowExA(0, "STATIC", "label\r\nsecond line", WS_CHILD | WS_VISIBLE, 5, 5, 100,
                                         20, hwnd, nullptr, windowClass.hInstance, nullptr);

    RealRig rig;
    const auto started = std::chrono::steady_clock::now();
    rig.engine.EnumerateProcesses();
    const auto took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started);
    std::printf("EnumerateProcesses: %.1f ms for %zu process records\n", took.count(),
                rig.engine.Processes().Count());

    EXPECT_TRUE(rig.engine.HasToolhelp());
    EXPECT_TRUE(rig.engine.HasPsapi());
    EXPECT_TRUE(rig.runtime.messages.empty());
    ASSERT_TRUE(rig.engine.DesktopWindow());

    auto self = rig.engine.Processes().Find(MakeKey(static_cast<std::int32_t>(::GetCurrentProcessId())));
    ASSERT_TRUE(self);
    EXPECT_EQ(LowerCase(self->BaseName), "enumwindows_wine.exe");
    EXPECT_EQ(LowerCase(BaseNameOf(self->FileName)), "enumwindows_wine.exe");
    EXPECT_EQ(self->Bits, "32");
    EXPECT_GE(self->ThreadCount, 1);
    EXPECT_GE(self->ModuleCount, 2);
    bool hasKernel32 = false;
    for (const auto& entry : self->Modules) hasKernel32 |= LowerCase(entry.item->BaseName) == "kernel32.dll";
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
