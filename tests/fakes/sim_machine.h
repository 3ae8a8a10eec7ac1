// A simulated machine for deterministic tests: a virtual clock with scheduled
// events, top-level windows, processes and one hosted form with its timer.
// Sleeping advances the clock without waiting; timer ticks fire only while the
// message loop is pumped and are never made up after a blocking sleep.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/launcher_instances.h"
#include "platform/shell.h"
#include "platform/window_calls.h"
#include "platform/window_runtime.h"

namespace brakkis::sim {

struct SimWindow {
    WindowHandle hwnd = 0;
    std::string title;
    bool visible = false;
    std::uint32_t processId = 0;
    std::int32_t style = 0;
    std::int32_t exStyle = 0;
    bool topmost = false;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::uint32_t layeredKey = 0;
    std::uint8_t layeredAlpha = 0;
    std::uint32_t layeredFlags = 0;
    std::int64_t keyAtFirstShow = -1;  // the colour key in force when it was first shown
};

struct SimProcess {
    std::uint32_t pid = 0;
    std::string commandLine;
    bool alive = true;
    std::int32_t exitCode = 0;
    bool killed = false;
};

struct RunCall {
    std::string command;
    std::int16_t windowStyle = 0;
    bool wait = false;
    std::uint64_t at = 0;  // virtual milliseconds
};

struct MessageBoxCall {
    std::string text;
    std::int32_t style = 0;
    std::string title;
};

class SimMachine;

// What a started program does, given its process: typically schedules window
// changes and its own exit on the machine's clock.
using ProgramScript = std::function<void(SimMachine&, SimProcess&)>;

class SimMachine {
public:
    SimMachine();

    // The clock.
    std::uint64_t Now() const { return now_; }
    void At(std::uint64_t when, std::function<void()> event);
    void After(std::uint64_t delay, std::function<void()> event) { At(now_ + delay, std::move(event)); }
    // Advances the clock, firing due events, without running the timer.
    void Advance(std::uint64_t milliseconds);

    // Windows.
    WindowHandle CreateWindow(const std::string& title, bool visible, std::uint32_t processId = 0);
    void DestroyWindow(WindowHandle hwnd);
    SimWindow* Window(WindowHandle hwnd);
    WindowHandle FindWindowByTitle(const std::string& title) const;

    // Processes.
    SimProcess& StartProcess(const std::string& commandLine);
    void EndProcess(std::uint32_t pid, std::int32_t exitCode = 0);
    SimProcess* Process(std::uint32_t pid);
    const std::vector<std::unique_ptr<SimProcess>>& Processes() const { return processes_; }
    void SetProgram(ProgramScript script) { program_ = std::move(script); }
    void FailNextStart(bool fail) { failNextStart_ = fail; }
    bool TakeStartFailure() { return std::exchange(failNextStart_, false); }

    // The hosted form: loads it, then pumps its message loop until it unloads
    // or the clock reaches the limit.
    void RunForm(FormEvents& form, std::uint64_t untilMs);
    // Pumps the message loop (timer ticks, due events) until done() or the
    // form is gone or the clock reaches the limit.
    void Pump(const std::function<bool()>& done, std::uint64_t untilMs);
    bool FormLoaded() const { return formLoaded_; }
    void UnloadForm();
    std::uint64_t TickCount() const { return ticks_; }

    // Facts for the runtime.
    std::string commandLine;
    std::string appPath = "C:\\Games\\UnrealTournament\\System";
    std::string exeName = "Brakkis Isle";
    WindowHandle formHwnd = 0;
    std::vector<MessageBoxCall> messageBoxes;
    std::int32_t messageBoxAnswer = 1;  // IDOK
    std::vector<RunCall> runs;
    std::vector<std::uint64_t> sleeps;
    // Runs before every search for a window by title, with the title.
    std::function<void(const std::string&)> beforeSearch;

private:
    void FireDueEvents();

    std::uint64_t now_ = 0;
    std::uint64_t sequence_ = 0;
    std::multimap<std::pair<std::uint64_t, std::uint64_t>, std::function<void()>> events_;
    std::map<WindowHandle, SimWindow> windows_;
    std::vector<WindowHandle> zOrder_;
    WindowHandle nextHwnd_ = 0x10010;
    std::vector<std::unique_ptr<SimProcess>> processes_;
    std::uint32_t nextPid_ = 0x400;
    ProgramScript program_;
    bool failNextStart_ = false;
    FormEvents* form_ = nullptr;
    bool formLoaded_ = false;
    std::uint64_t nextTickDue_ = 0;
    std::uint64_t ticks_ = 0;
};

// The ports over the simulated machine.
class SimRuntime : public WindowRuntime, public Sleeper {
public:
    explicit SimRuntime(SimMachine& machine) : m_(machine) {}
    std::string CommandLine() override { return m_.commandLine; }
    std::string AppPath() override { return m_.appPath; }
    std::string ExeName() override { return m_.exeName; }
    std::int32_t MsgBox(const std::string& text, std::int32_t style, const std::string& title) override;
    void SetVisible(bool visible) override;
    bool Visible() override;
    WindowHandle Hwnd() override { return m_.formHwnd; }
    void Unload() override { m_.UnloadForm(); }
    void Sleep(std::uint32_t milliseconds) override;

private:
    SimMachine& m_;
};

class SimWindowCalls : public WindowCalls {
public:
    explicit SimWindowCalls(SimMachine& machine) : m_(machine) {}
    WindowHandle FindWindowByTitle(const std::string& title) override;
    bool SetWindowPos(WindowHandle hwnd, WindowHandle insertAfter, std::int32_t x, std::int32_t y,
                      std::int32_t cx, std::int32_t cy, std::uint32_t flags) override;
    std::int32_t GetWindowLong(WindowHandle hwnd, std::int32_t index) override;
    std::int32_t SetWindowLong(WindowHandle hwnd, std::int32_t index, std::int32_t value) override;
    bool SetLayeredWindowAttributes(WindowHandle hwnd, std::uint32_t key, std::uint8_t alpha,
                                    std::uint32_t flags) override;
    std::uint32_t GetSysColor(std::int32_t index) override;
    bool ReleaseCapture() override;
    std::intptr_t SendMessage(WindowHandle hwnd, std::uint32_t message, std::intptr_t wParam,
                              std::intptr_t lParam) override;
    bool ShowWindow(WindowHandle hwnd, std::int32_t command) override;

    std::vector<std::string> calls;  // in order, for tests that care about sequence

private:
    SimMachine& m_;
};

// The launchers of one machine meet here: rigs given the same object are
// launchers in separate processes.
class SimInstances : public LauncherInstances {
public:
    bool ClaimRun(const std::string& gameFolder) override { return runs.insert(gameFolder).second; }
    bool RunClaimed(const std::string& gameFolder) override { return runs.count(gameFolder) != 0; }
    void LockFiles(const std::string& gameFolder) override {
        if (whileLocking) whileLocking(gameFolder);
        ++locks;
    }
    void UnlockFiles(const std::string&) override { --locks; }
    void BringRunToFront(const std::string& gameFolder) override { broughtToFront.push_back(gameFolder); }

    std::set<std::string> runs;
    int locks = 0;
    // What other launchers do while this one waits for the files.
    std::function<void(const std::string&)> whileLocking;
    std::vector<std::string> broughtToFront;
};

class SimShell : public Shell {
public:
    explicit SimShell(SimMachine& machine) : m_(machine) {}
    std::int32_t Run(const std::string& command, std::int16_t windowStyle, bool wait) override;

private:
    SimMachine& m_;
};

}  // namespace brakkis::sim
