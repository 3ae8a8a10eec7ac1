// A simulated machine for deterministic tests: a virtual clock with scheduled
// events, top-level windows, processes and one hosted form with its timer.
// Sleeping advances the clock without waiting; timer ticks fire only while the
// message loop is pumped and are never made up after a blocking sleep.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/launcher_instances.h"
#include "platform/shell.h"
#include "platform/window_calls.h"
#include "platform/window_runtime.h"

namespace brakkis::sim {

struct SimWindow {
    std::string title;
    bool visible = false, topmost = false;
    std::uint32_t processId = 0, layeredKey = 0, layeredFlags = 0, layeredAlpha = 0;
    std::int32_t exStyle = 0, left = 0, top = 0;
    std::int64_t keyAtFirstShow = -1;  // the colour key in force when it was first shown
};

struct SimProcess {
    std::uint32_t pid = 0;
    std::string commandLine;
    bool alive = true, killed = false;
};

struct RunCall {
    std::string command;
    std::int16_t windowStyle = 0;
    bool wait = false;
};

// The machine is also the program's window runtime, its sleeper, its window
// calls (each logged in `calls`) and the launchers' meeting point.
class SimMachine : public WindowRuntime, public Sleeper, public WindowCalls, public LauncherInstances {
public:
    static constexpr std::uint64_t kTimerMs = 100;

    std::uint64_t Now() const { return now_; }
    void At(std::uint64_t when, std::function<void()> event) {
        events_.emplace(std::max(when, now_), std::move(event));
    }
    // Moves the clock on, firing the events due, without the timer.
    void Advance(std::uint64_t milliseconds) {
        const std::uint64_t target = now_ + milliseconds;
        while (!events_.empty() && events_.begin()->first <= target) {
            now_ = std::max(now_, events_.begin()->first);
            auto event = std::move(events_.begin()->second);
            events_.erase(events_.begin());
            event();
        }
        now_ = target;
    }

    WindowHandle CreateWindow(const std::string& title, bool visible, std::uint32_t processId = 0) {
        windows_[nextHwnd_] = SimWindow{.title = title, .visible = visible, .processId = processId};
        return (nextHwnd_ += 4) - 4;
    }
    void DestroyWindow(WindowHandle hwnd) { windows_.erase(hwnd); }
    SimWindow* Window(WindowHandle hwnd) { return windows_.count(hwnd) ? &windows_[hwnd] : nullptr; }

    SimProcess& StartProcess(const std::string& commandLine) {
        processes_.push_back(std::make_unique<SimProcess>(SimProcess{nextPid_ += 4, commandLine}));
        SimProcess& started = *processes_.back();
        if (program) program(*this, started);
        return started;
    }
    // A process takes its windows with it.
    void EndProcess(std::uint32_t pid) {
        if (SimProcess* p = Process(pid)) p->alive = false;
        std::erase_if(windows_, [&](const auto& w) { return w.second.processId == pid; });
    }
    SimProcess* Process(std::uint32_t pid) {
        const auto it = std::ranges::find(processes_, pid, [](const auto& p) { return p->pid; });
        return it == processes_.end() ? nullptr : it->get();
    }
    const std::vector<std::unique_ptr<SimProcess>>& Processes() const { return processes_; }

    // Loads the form started with the arguments, then pumps its message loop
    // until it unloads or the clock reaches the limit.
    void RunForm(FormEvents& form, const std::string& arguments, std::uint64_t untilMs) {
        commandLine = arguments;
        form_ = &form;
        formHwnd = CreateWindow("", false);
        nextTick_ = now_ + kTimerMs;
        form.OnLoad();
        Pump([] { return false; }, untilMs);
    }
    // Timer ticks and due events until done(), the form's unload or the limit.
    void Pump(const std::function<bool()>& done, std::uint64_t untilMs) {
        while (form_ && !done() && now_ < untilMs) {
            if (nextTick_ <= now_) {
                const std::uint64_t due = nextTick_;
                form_->OnTick();
                // A tick that blocked past its successor's time gets one tick
                // at once, not a burst of the missed ones.
                nextTick_ = std::max(due + kTimerMs, now_);
            } else {
                const std::uint64_t next = events_.empty() ? nextTick_ : std::min(nextTick_, events_.begin()->first);
                Advance(std::min(next, untilMs) - now_);
            }
        }
    }
    bool FormLoaded() const { return form_ != nullptr; }

    std::string CommandLine() override { return commandLine; }
    std::string AppPath() override { return appPath; }
    std::string ExeName() override { return "Brakkis Isle"; }
    std::int32_t MsgBox(const std::string& text, std::int32_t style, const std::string& title) override {
        messageBoxes.push_back(title + "|" + std::to_string(style) + "|" + text);
        return 1;  // OK
    }
    void SetVisible(bool visible) override {
        SimWindow& w = *Window(formHwnd);
        if (visible && w.keyAtFirstShow < 0) w.keyAtFirstShow = (w.layeredFlags & win::kLwaColorKey) ? w.layeredKey : 0;
        w.visible = visible;
    }
    bool Visible() override { return Window(formHwnd) && Window(formHwnd)->visible; }
    WindowHandle Hwnd() override { return formHwnd; }
    void Unload() override {
        if (FormEvents* form = std::exchange(form_, nullptr)) form->OnUnload();
    }
    void Sleep(std::uint32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        Advance(milliseconds);
    }

    WindowHandle FindWindowByTitle(const std::string& title) override {
        if (missed && missed(title)) return 0;
        const auto it =
            std::ranges::find_if(windows_, [&](const auto& w) { return ascii::EqualNoCase(w.second.title, title); });
        return it == windows_.end() ? 0 : it->first;
    }
    bool SetWindowPos(WindowHandle hwnd, WindowHandle after, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t,
                      std::uint32_t flags) override {
        SimWindow* w = Window(hwnd);
        if (w && after == win::kHwndTopmost) w->topmost = true;
        if (w && !(flags & win::kSwpNoMove)) w->left = x, w->top = y;
        return w != nullptr;
    }
    std::int32_t GetWindowLong(WindowHandle hwnd, std::int32_t index) override {
        return index == win::kGwlExStyle && Window(hwnd) ? Window(hwnd)->exStyle : 0;
    }
    std::int32_t SetWindowLong(WindowHandle hwnd, std::int32_t index, std::int32_t value) override {
        calls.push_back("SetWindowLong " + std::to_string(index));
        return Window(hwnd) && index == win::kGwlExStyle ? std::exchange(Window(hwnd)->exStyle, value) : 0;
    }
    // The system refuses attributes for a window that is not layered.
    bool SetLayeredWindowAttributes(WindowHandle hwnd, std::uint32_t key, std::uint8_t alpha,
                                    std::uint32_t flags) override {
        SimWindow* w = Window(hwnd);
        if (!w || !(w->exStyle & win::kWsExLayered)) return false;
        w->layeredKey = key, w->layeredAlpha = alpha, w->layeredFlags = flags;
        return true;
    }
    // A fixed, recognisable palette: index 15 (button face) is the classic grey.
    std::uint32_t GetSysColor(std::int32_t index) override { return index == 15 ? 0x00F0F0F0u : 0x00010101u * index; }
    bool ReleaseCapture() override { return calls.push_back("ReleaseCapture"), true; }
    std::intptr_t SendMessage(WindowHandle hwnd, std::uint32_t message, std::intptr_t wParam,
                              std::intptr_t lParam) override {
        const auto text = [](auto n) { return " " + std::to_string(n); };
        return calls.push_back("SendMessage" + text(message) + text(wParam) + text(lParam) + " to" + text(hwnd)), 0;
    }
    bool ShowWindow(WindowHandle hwnd, std::int32_t command) override {
        calls.push_back("ShowWindow " + std::to_string(command));
        return Window(hwnd) && std::exchange(Window(hwnd)->visible, command != win::kSwHide);
    }

    // The launchers meeting here are separate processes.
    bool ClaimRun(const std::string& gameFolder) override { return claimedRuns.insert(gameFolder).second; }
    bool RunClaimed(const std::string& gameFolder) override { return claimedRuns.count(gameFolder) != 0; }
    void LockFiles(const std::string& gameFolder) override {
        if (whileLocking) whileLocking(gameFolder);
    }
    void UnlockFiles(const std::string&) override {}
    void BringRunToFront(const std::string& gameFolder) override { broughtToFront.push_back(gameFolder); }

    // Facts for the runtime, and what the program did.
    std::string commandLine, appPath = "C:\\Games\\UnrealTournament\\System";
    WindowHandle formHwnd = 0;
    std::vector<std::string> messageBoxes;  // each "title|style|text"
    std::vector<RunCall> runs;
    std::vector<std::uint64_t> sleeps;
    std::vector<std::string> calls, broughtToFront;
    std::set<std::string> claimedRuns;  // the folders whose normal run is on
    // What a started program does, given its process: typically schedules
    // window changes and its own end on the clock.
    std::function<void(SimMachine&, SimProcess&)> program;
    // What other launchers do while this one waits for the files.
    std::function<void(const std::string&)> whileLocking;
    // Which searches for a window by title miss it, as if it had just gone.
    std::function<bool(const std::string&)> missed;

private:
    std::uint64_t now_ = 0, nextTick_ = 0;
    std::multimap<std::uint64_t, std::function<void()>> events_;  // in order of scheduling when due together
    std::map<WindowHandle, SimWindow> windows_;
    WindowHandle nextHwnd_ = 0x10010;
    std::vector<std::unique_ptr<SimProcess>> processes_;
    std::uint32_t nextPid_ = 0x3FC;
    FormEvents* form_ = nullptr;  // while loaded
};

// Starts a program on the machine; a waiting start pumps the form's loop
// until the program ends.
struct SimShell : Shell {
    explicit SimShell(SimMachine& machine) : m_(machine) {}
    std::int32_t Run(const std::string& command, std::int16_t windowStyle, bool wait) override {
        m_.runs.push_back({command, windowStyle, wait});
        const std::uint32_t pid = m_.StartProcess(command).pid;
        if (wait) m_.Pump([&] { return !m_.Process(pid)->alive; }, m_.Now() + 24ull * 3600 * 1000);
        return 0;
    }
    SimMachine& m_;
};

}  // namespace brakkis::sim
