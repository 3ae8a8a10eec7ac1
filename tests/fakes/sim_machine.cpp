#include "tests/fakes/sim_machine.h"

#include <algorithm>
#include <limits>

#include "platform/ascii_case.h"
#include "platform/error.h"

namespace brakkis::sim {
namespace {

constexpr std::uint64_t kTimerInterval = 100;
// Long enough for any course a test plays; a wait that reaches it is a bug.
constexpr std::uint64_t kWaitLimit = 24ull * 60 * 60 * 1000;

}  // namespace

SimMachine::SimMachine() = default;

void SimMachine::At(std::uint64_t when, std::function<void()> event) {
    events_.emplace(std::make_pair(std::max(when, now_), sequence_++), std::move(event));
}

void SimMachine::FireDueEvents() {
    while (!events_.empty() && events_.begin()->first.first <= now_) {
        auto event = std::move(events_.begin()->second);
        events_.erase(events_.begin());
        event();
    }
}

void SimMachine::Advance(std::uint64_t milliseconds) {
    const std::uint64_t target = now_ + milliseconds;
    while (!events_.empty() && events_.begin()->first.first <= target) {
        now_ = std::max(now_, events_.begin()->first.first);
        FireDueEvents();
    }
    now_ = target;
}

WindowHandle SimMachine::CreateWindow(const std::string& title, bool visible, std::uint32_t processId) {
    SimWindow w;
    w.hwnd = nextHwnd_;
    nextHwnd_ += 4;
    w.title = title;
    w.visible = visible;
    w.processId = processId;
    windows_[w.hwnd] = w;
    zOrder_.push_back(w.hwnd);
    return w.hwnd;
}

void SimMachine::DestroyWindow(WindowHandle hwnd) {
    windows_.erase(hwnd);
    zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), hwnd), zOrder_.end());
}

SimWindow* SimMachine::Window(WindowHandle hwnd) {
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? nullptr : &it->second;
}

WindowHandle SimMachine::FindWindowByTitle(const std::string& title) const {
    for (WindowHandle hwnd : zOrder_) {
        if (ascii::EqualNoCase(windows_.at(hwnd).title, title)) return hwnd;
    }
    return 0;
}

SimProcess& SimMachine::StartProcess(const std::string& commandLine) {
    auto process = std::make_unique<SimProcess>();
    process->pid = nextPid_;
    nextPid_ += 4;
    process->commandLine = commandLine;
    processes_.push_back(std::move(process));
    SimProcess& started = *processes_.back();
    if (program_) program_(*this, started);
    return started;
}

void SimMachine::EndProcess(std::uint32_t pid, std::int32_t exitCode) {
    SimProcess* process = Process(pid);
    if (!process || !process->alive) return;
    process->alive = false;
    process->exitCode = exitCode;
    // A process takes its windows with it.
    std::vector<WindowHandle> owned;
    for (const auto& [hwnd, w] : windows_) {
        if (w.processId == pid) owned.push_back(hwnd);
    }
    for (WindowHandle hwnd : owned) DestroyWindow(hwnd);
}

SimProcess* SimMachine::Process(std::uint32_t pid) {
    for (auto& p : processes_) {
        if (p->pid == pid) return p.get();
    }
    return nullptr;
}

void SimMachine::RunForm(FormEvents& form, std::uint64_t untilMs) {
    form_ = &form;
    formLoaded_ = true;
    formHwnd = CreateWindow("", false);
    nextTickDue_ = now_ + kTimerInterval;
    form.OnLoad();
    Pump([] { return false; }, untilMs);
}

void SimMachine::Pump(const std::function<bool()>& done, std::uint64_t untilMs) {
    while (formLoaded_ && !done() && now_ < untilMs) {
        if (nextTickDue_ <= now_) {
            const std::uint64_t due = nextTickDue_;
            ++ticks_;
            form_->OnTick();
            // A tick that blocked past its successor's time gets one tick at
            // once, not a burst of the missed ones.
            nextTickDue_ = std::max(due + kTimerInterval, now_);
            continue;
        }
        std::uint64_t next = std::min(nextTickDue_, untilMs);
        if (!events_.empty()) next = std::min(next, events_.begin()->first.first);
        Advance(next - now_);
    }
}

void SimMachine::UnloadForm() {
    if (!formLoaded_) return;
    formLoaded_ = false;
    if (form_) form_->OnUnload();
    DestroyWindow(formHwnd);
}

std::int32_t SimRuntime::MsgBox(const std::string& text, std::int32_t style, const std::string& title) {
    m_.messageBoxes.push_back({text, style, title});
    return m_.messageBoxAnswer;
}

void SimRuntime::SetVisible(bool visible) {
    SimWindow* w = m_.Window(m_.formHwnd);
    if (!w) return;
    if (visible && w->keyAtFirstShow < 0) w->keyAtFirstShow = (w->layeredFlags & win::kLwaColorKey) ? w->layeredKey : 0;
    w->visible = visible;
}

bool SimRuntime::Visible() {
    const SimWindow* w = m_.Window(m_.formHwnd);
    return w && w->visible;
}

void SimRuntime::Sleep(std::uint32_t milliseconds) {
    m_.sleeps.push_back(milliseconds);
    m_.Advance(milliseconds);
}

WindowHandle SimWindowCalls::FindWindowByTitle(const std::string& title) {
    calls.push_back("FindWindow " + title);
    if (m_.beforeSearch) m_.beforeSearch(title);
    return m_.FindWindowByTitle(title);
}

bool SimWindowCalls::SetWindowPos(WindowHandle hwnd, WindowHandle insertAfter, std::int32_t x,
                                  std::int32_t y, std::int32_t cx, std::int32_t cy,
                                  std::uint32_t flags) {
    calls.push_back("SetWindowPos");
    SimWindow* w = m_.Window(hwnd);
    if (!w) return false;
    if (insertAfter == win::kHwndTopmost) w->topmost = true;
    const std::int32_t width = w->right - w->left, height = w->bottom - w->top;
    if (!(flags & win::kSwpNoMove)) {
        w->left = x;
        w->top = y;
        w->right = x + width;
        w->bottom = y + height;
    }
    if (!(flags & win::kSwpNoSize)) {
        w->right = w->left + cx;
        w->bottom = w->top + cy;
    }
    return true;
}

std::int32_t SimWindowCalls::GetWindowLong(WindowHandle hwnd, std::int32_t index) {
    const SimWindow* w = m_.Window(hwnd);
    if (!w) return 0;
    if (index == win::kGwlStyle) return w->style;
    if (index == win::kGwlExStyle) return w->exStyle;
    return 0;
}

std::int32_t SimWindowCalls::SetWindowLong(WindowHandle hwnd, std::int32_t index, std::int32_t value) {
    calls.push_back("SetWindowLong " + std::to_string(index));
    SimWindow* w = m_.Window(hwnd);
    if (!w) return 0;
    std::int32_t* field = index == win::kGwlStyle ? &w->style : index == win::kGwlExStyle ? &w->exStyle : nullptr;
    if (!field) return 0;
    return std::exchange(*field, value);
}

bool SimWindowCalls::SetLayeredWindowAttributes(WindowHandle hwnd, std::uint32_t key, std::uint8_t alpha,
                                                std::uint32_t flags) {
    calls.push_back("SetLayeredWindowAttributes");
    SimWindow* w = m_.Window(hwnd);
    // The system refuses attributes for a window that is not layered.
    if (!w || !(w->exStyle & win::kWsExLayered)) return false;
    w->layeredKey = key;
    w->layeredAlpha = alpha;
    w->layeredFlags = flags;
    return true;
}

std::uint32_t SimWindowCalls::GetSysColor(std::int32_t index) {
    // A fixed, recognisable palette: index 15 (button face) is the classic grey.
    return index == 15 ? 0x00F0F0F0u : 0x00010101u * static_cast<std::uint32_t>(index & 0xFF);
}

bool SimWindowCalls::ReleaseCapture() {
    calls.push_back("ReleaseCapture");
    return true;
}

std::intptr_t SimWindowCalls::SendMessage(WindowHandle hwnd, std::uint32_t message, std::intptr_t wParam,
                                          std::intptr_t lParam) {
    calls.push_back("SendMessage " + std::to_string(message) + " " + std::to_string(wParam) + " " +
                    std::to_string(lParam) + " to " + std::to_string(hwnd));
    return 0;
}

bool SimWindowCalls::ShowWindow(WindowHandle hwnd, std::int32_t command) {
    calls.push_back("ShowWindow " + std::to_string(command));
    SimWindow* w = m_.Window(hwnd);
    if (!w) return false;
    const bool was = w->visible;
    w->visible = command != win::kSwHide;
    return was;
}

std::int32_t SimShell::Run(const std::string& command, std::int16_t windowStyle, bool wait) {
    m_.runs.push_back({command, windowStyle, wait, m_.Now()});
    if (m_.TakeStartFailure()) {
        throw RaisedError(static_cast<std::int32_t>(0x80070002u), "Shell",
                          "The system cannot find the file specified.");
    }
    SimProcess& process = m_.StartProcess(command);
    if (!wait) return 0;
    const std::uint32_t pid = process.pid;
    m_.Pump([&] { return !m_.Process(pid)->alive; }, m_.Now() + kWaitLimit);
    return m_.Process(pid)->exitCode;
}

}  // namespace brakkis::sim
