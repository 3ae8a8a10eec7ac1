// The window runtime and the waiting shell on the real user32: what the
// launcher's courses under Wine do not come by.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/error.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_window_runtime.h"
#include "platform/win32/windows_api.h"

namespace brakkis {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// This test program doubles as the program the shell starts: see main().
std::string ChildCommand(int sleepMs, int exitCode) {
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    return "\"" + std::string(self) + "\" --child " + std::to_string(sleepMs) + " " + std::to_string(exitCode);
}

// Unloads after its load handler unless told not to, and gives up after
// 10 s of ticks, so no fault can leave a message loop running for ever.
struct ScriptedForm : FormEvents {
    explicit ScriptedForm(WindowRuntime& runtime) : runtime(runtime) {}
    WindowRuntime& runtime;
    std::function<void()> load = [] {}, tick = [] {};
    bool unloadAfterLoad = true;
    int ticks = 0, unloads = 0;
    void OnLoad() override {
        load();
        if (unloadAfterLoad) runtime.Unload();
    }
    void OnUnload() override { ++unloads; }
    void OnTick() override {
        ++ticks;
        tick();
        if (ticks == 100) runtime.Unload();
    }
};

TEST(Win32WindowRuntime, CloseFromOutsideAndTheEndOfTheSessionEachUnloadOnce) {
    for (const UINT message : {WM_CLOSE, WM_ENDSESSION}) {
        Win32WindowRuntime runtime;
        ScriptedForm form(runtime);
        form.unloadAfterLoad = false;
        form.load = [&] { ::PostMessageA(reinterpret_cast<HWND>(runtime.Hwnd()), message, TRUE, 0); };
        EXPECT_EQ(runtime.Run(form), 0);
        EXPECT_EQ(form.unloads, 1) << "message " << message;
        EXPECT_LT(form.ticks, 100) << "message " << message << " was not heeded";
    }
}

TEST(Win32Shell, AWaitingRunKeepsTheTimerGoingUntilTheProgramEndsOrTheWindowUnloads) {
    Win32WindowRuntime runtime;
    ScriptedForm form(runtime);
    form.unloadAfterLoad = false;
    const auto shell = CreateWin32Shell();
    int unloadAt = 0;
    Clock::duration waited{};
    form.load = [&] {
        auto started = Clock::now();
        EXPECT_EQ(shell->Run(ChildCommand(1000, 3), 0, false), 0);
        EXPECT_LT(Clock::now() - started, 500ms);

        const int before = form.ticks;
        started = Clock::now();
        EXPECT_EQ(shell->Run(ChildCommand(1000, 7), 0, true), 7);
        const double waitedMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
        const int ticks = form.ticks - before;
        EXPECT_GE(ticks, 4);
        EXPECT_NEAR(waitedMs / std::max(ticks, 1), 100, 35) << ticks << " ticks in " << waitedMs << " ms";

        try {
            shell->Run("\"C:\\windows\\no-such-game.exe\" DM-Deck16", 0, true);
            ADD_FAILURE() << "a missing program raised nothing";
        } catch (const RaisedError& error) {
            EXPECT_EQ(error.Number(), static_cast<std::int32_t>(0x80070002));  // file not found
            EXPECT_EQ(error.Source(), "Shell");
            EXPECT_FALSE(error.Description().empty());
        }

        // An unload while the game runs ends the wait, and then the message loop.
        unloadAt = form.ticks + 3;
        started = Clock::now();
        shell->Run(ChildCommand(6000, 0), 0, true);
        waited = Clock::now() - started;
        runtime.Unload();  // once more after the load handler: must do nothing
    };
    form.tick = [&] {
        if (form.ticks == unloadAt) runtime.Unload();
    };
    EXPECT_EQ(runtime.Run(form), 0);
    EXPECT_LT(waited, 3s);
    EXPECT_EQ(form.ticks, unloadAt) << "the timer dies with the window";
    EXPECT_EQ(form.unloads, 1);
}

}  // namespace
}  // namespace brakkis

// Started by the shell tests as "--child <sleep ms> <exit code>".
int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child") {
        ::Sleep(static_cast<DWORD>(std::atoi(argv[2])));
        return std::atoi(argv[3]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
