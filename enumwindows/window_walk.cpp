// The window walk: the desktop, then every top-level window with its
// descendants, each filed under the thread and process that own it.
#include <algorithm>

#include "enumwindows/mod_enum_windows.h"

namespace brakkis {
namespace {

constexpr std::intptr_t kMaxCaption = 30000;

}  // namespace

void modEnumWindows::WalkWindows() {
    EnumWindowsCallback(desktopHwnd_);
    for (const WindowHandle hwnd : windows_.TopLevelWindows()) EnumWindowsCallback(hwnd);
}

void modEnumWindows::EnumWindowsCallback(WindowHandle hwnd) {
    std::uint32_t rawProcessId = 0;
    const auto threadId = static_cast<std::int32_t>(windows_.GetWindowThreadProcessId(hwnd, rawProcessId));
    const auto processId = static_cast<std::int32_t>(rawProcessId);
    const std::string threadKey = MakeKey(threadId);

    // A window of a 16-bit task reports ntvdm.exe as its process; its thread
    // tells which task it belongs to.
    ProcessPtr process;
    ThreadPtr thread;
    const std::string processKey = MakeKey(processId);
    process = processes_.Find(processKey);
    if (!process) {
        process = NewProcess(processId, processKey);
    } else if (ProcessPtr task = ChildHoldingThread(*process, threadId, threadKey)) {
        process = task;
        thread = task->Threads.Find(threadKey);
    }
    if (!thread) thread = AddThread(process, threadId);

    const std::string windowKey = MakeKey(hwnd);
    const WindowHandle parent = windows_.GetParent(hwnd);
    if (parent == desktopHwnd_) {
        // Filed below the desktop record; the window's own descendants are not visited.
        currentTopWindow_ = desktopWindow_;
        EnumChildWindowsCallback(hwnd);
        if (desktopWindow_) {
            if (WindowPtr filed = desktopWindow_->ChildWindows.Find(windowKey)) {
                thread->DesktopOwnedWindows.TryAdd(filed, windowKey);
            }
        }
        return;
    }

    std::intptr_t length = 0;
    std::string caption = GetWindowCaption(hwnd, length);
    std::string className = windows_.ClassName(hwnd);
    const std::intptr_t instance = windows_.GetWindowLongPtr(hwnd, win::kGwlpHInstance);
    const std::string moduleFile = windows_.ModuleFileName(instance);

    auto window = std::make_shared<CWindow>();
    window->Key = windowKey;
    window->Caption = std::move(caption);
    window->Class = std::move(className);
    window->hModule = instance;
    window->SetHwnd(hwnd, windows_);
    window->ProcessID = processId;
    window->ThreadID = threadId;
    // The module name is looked up in this program's own process, so it only
    // means something for a module loaded here too; our own instance would
    // name this program for any window that shares its handle value.
    if (!moduleFile.empty() && instance != windows_.OwnInstance() && instance != 0) {
        window->FileName = moduleFile;
        window->BaseName = BaseNameOf(moduleFile);
    }
    window->ParentProcess = process;
    window->ParentThread = thread;
    thread->Windows.TryAdd(window, windowKey);

    if (hwnd == desktopHwnd_) {
        desktopWindow_ = window;
    } else {
        currentTopWindow_ = window;
        for (const WindowHandle child : windows_.DescendantWindows(hwnd)) EnumChildWindowsCallback(child);
        currentTopWindow_.reset();
    }
}

void modEnumWindows::EnumChildWindowsCallback(WindowHandle hwnd) {
    if (!currentTopWindow_) return;
    const WindowPtr top = currentTopWindow_;
    const std::string key = MakeKey(hwnd);
    WindowHandle parent = windows_.GetParent(hwnd);
    if (parent == 0) parent = desktopHwnd_;

    WindowPtr parentRecord;
    if (parent == top->hwnd()) {
        parentRecord = top;
    } else if (WindowPtr filed = top->ChildWindows.Find(MakeKey(parent)); filed && filed->hwnd() == parent) {
        parentRecord = filed;
    }

    auto window = std::make_shared<CWindow>();
    window->ParentWindow = parentRecord;
    window->ParentProcess = top->ParentProcess;
    window->ParentThread = top->ParentThread;
    window->hModule = top->hModule;
    window->FileName = top->FileName;
    window->SetHwnd(hwnd, windows_);
    window->Key = key;
    std::uint32_t processId = 0;
    window->ThreadID = static_cast<std::int32_t>(windows_.GetWindowThreadProcessId(hwnd, processId));
    window->ProcessID = static_cast<std::int32_t>(processId);
    window->Caption = CleanCaption(hwnd);
    window->Class = windows_.ClassName(hwnd);

    top->ChildWindows.TryAdd(window, key);
    // A window whose parent was not seen stays filed under the top-level window only.
    if (parent != top->hwnd() && parentRecord) parentRecord->ChildWindows.TryAdd(window, key);
}

// A window whose thread does not answer in time gets an empty caption rather
// than holding the walk.
std::string modEnumWindows::GetWindowCaption(WindowHandle hwnd, std::intptr_t& length) {
    length = 0;
    const std::optional<std::intptr_t> reported = windows_.TextLength(hwnd, kCaptionWaitMs);
    if (!reported) return {};
    length = *reported;
    const std::intptr_t wanted = std::clamp<std::intptr_t>(*reported, 0, kMaxCaption);
    const std::optional<std::string> text = windows_.Text(hwnd, wanted + 10, kCaptionWaitMs);
    if (!text) return {};
    return TrimAtNull(std::string_view(*text).substr(0, static_cast<std::size_t>(wanted)));
}

// The caption up to its first control character. A two-byte character ends
// it too: its code, taken as a signed 16-bit number, is below a space.
std::string modEnumWindows::CleanCaption(WindowHandle hwnd) {
    std::intptr_t length = 0;
    std::string text = GetWindowCaption(hwnd, length);
    if (length == 0) return {};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (byte < 0x20 || windows_.IsDbcsLeadByte(byte)) return text.substr(0, i);
    }
    return text;
}

}  // namespace brakkis
