// Builds a picture of the running machine: every process with its threads
// and modules, the 16-bit tasks inside ntvdm.exe, and every window filed
// under the thread and process that own it; and ends processes by name.
// It works with whichever of toolhelp, psapi and vdmdbg the system offers,
// and tells the user through plain message boxes when it cannot.
// Not re-entrant: the window walk and the task pass reach their context
// through the members below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "enumwindows/cprocess.h"
#include "enumwindows/cthread.h"
#include "enumwindows/cwindow.h"
#include "enumwindows/keyed_collection.h"
#include "enumwindows/record_keys.h"
#include "platform/process_system.h"
#include "platform/window_enum_calls.h"
#include "platform/window_runtime.h"

namespace brakkis {

class modEnumWindows {
public:
    // How long the walk waits for a window to answer for its text.
    static constexpr std::uint32_t kCaptionWaitMs = 200;

    modEnumWindows(ProcessSystem& system, WindowEnumCalls& windows, WindowRuntime& runtime);

    // Rebuilds Processes() from nothing.
    void EnumerateProcesses();
    // Enumerates afresh and asks the system to end every process below a
    // root of the tree whose executable base name equals `name`, any letter
    // case; parents before their children. Does not wait for them to end.
    void KillProcessesByName(const std::string& name);

    // Every record of the last enumeration, roots and children alike.
    const KeyedCollection<CProcess>& Processes() const noexcept { return processes_; }
    WindowHandle DesktopHwnd() const noexcept { return desktopHwnd_; }
    bool HasToolhelp() const noexcept { return hasToolhelp_; }
    bool HasPsapi() const noexcept { return hasPsapi_; }
    bool HasVdmDbg() const noexcept { return hasVdmDbg_; }
    const std::shared_ptr<CProcess>& VdmProcess() const noexcept { return vdmProcess_; }
    const std::shared_ptr<CWindow>& DesktopWindow() const noexcept { return desktopWindow_; }
    const std::shared_ptr<CWindow>& CurrentTopWindow() const noexcept { return currentTopWindow_; }
    const std::string& KillName() const noexcept { return killName_; }

private:
    using ProcessPtr = std::shared_ptr<CProcess>;
    using ThreadPtr = std::shared_ptr<CThread>;
    using WindowPtr = std::shared_ptr<CWindow>;

    // The process passes.
    void CheckLibraries();
    void EnumProcessesToolhelp();
    void EnumThreadsToolhelp();
    void EnumProcessesPsapi();
    void ReadModules(const ProcessPtr& process, const ProcessModules& found);
    void EnumTaskCallback(const Task16& task);
    void FillThreadCounts();
    void KillInTree(const CProcess& root);

    // The window walk.
    void WalkWindows();
    void EnumWindowsCallback(WindowHandle hwnd);
    void EnumChildWindowsCallback(WindowHandle hwnd);
    std::string GetWindowCaption(WindowHandle hwnd, std::intptr_t& length);
    std::string CleanCaption(WindowHandle hwnd);

    // Record plumbing.
    ProcessPtr NewProcess(std::int32_t processId, const std::string& key);
    void LinkToParent(const ProcessPtr& child, const ProcessPtr& parent);
    ThreadPtr AddThread(const ProcessPtr& owner, std::int32_t threadId);
    void NoteThread(const CProcess& owner, std::int32_t threadId);
    // The first child of `process`, in order, holding the thread.
    ProcessPtr ChildHoldingThread(const CProcess& process, std::int32_t threadId, const std::string& threadKey) const;
    void ShowMessage(const std::string& text);

    ProcessSystem& system_;
    WindowEnumCalls& windows_;
    WindowRuntime& runtime_;

    KeyedCollection<CProcess> processes_;
    WindowHandle desktopHwnd_ = 0;
    bool hasToolhelp_ = false;
    bool hasPsapi_ = false;
    bool hasVdmDbg_ = false;
    ProcessPtr vdmProcess_;
    WindowPtr currentTopWindow_;
    WindowPtr desktopWindow_;
    std::string killName_;

    // While enumerating: for each thread, the processes whose Threads
    // received it, so that a window finds its 16-bit task without scanning
    // every child of ntvdm.exe. Nearly always one, so it is kept inline.
    // Every holder is owned by the tree for the whole enumeration.
    struct ThreadHolders {
        const CProcess* first = nullptr;
        std::vector<const CProcess*> more;
    };
    std::unordered_map<std::int32_t, ThreadHolders> threadHolders_;
};

}  // namespace brakkis
