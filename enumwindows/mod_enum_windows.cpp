// The enumeration as a whole, the library probe and the record plumbing the
// passes share.
#include "enumwindows/mod_enum_windows.h"

#include "enumwindows/process_tree_walk.h"

namespace brakkis {

modEnumWindows::modEnumWindows(ProcessSystem& system, WindowEnumCalls& windows, WindowRuntime& runtime)
    : system_(system), windows_(windows), runtime_(runtime) {}

void modEnumWindows::EnumerateProcesses() {
    processes_ = KeyedCollection<CProcess>();
    vdmProcess_.reset();
    // The thread index points into this tree only: forgotten at the end of
    // every enumeration, also one that raised, so it is empty here.
    struct ForgetHolders {
        std::unordered_map<std::int32_t, ThreadHolders>& holders;
        ~ForgetHolders() { holders.clear(); }
    } forget{threadHolders_};

    CheckLibraries();
    if (hasToolhelp_) {
        EnumProcessesToolhelp();
        EnumThreadsToolhelp();
    }
    if (hasPsapi_) EnumProcessesPsapi();
    WalkWindows();
    if (!hasToolhelp_) FillThreadCounts();
}

void modEnumWindows::ShowMessage(const std::string& text) { runtime_.MsgBox(text, 0, ""); }

void modEnumWindows::CheckLibraries() {
    desktopHwnd_ = windows_.GetDesktopWindow();
    hasToolhelp_ = hasPsapi_ = hasVdmDbg_ = false;

    const SystemLibraries libraries = system_.ProbeLibraries();
    if (!libraries.kernel32) {
        ShowMessage("Failed to load library kernel32");
        return;
    }
    hasToolhelp_ = libraries.toolhelp;
    hasPsapi_ = libraries.psapi;
    hasVdmDbg_ = libraries.vdmdbg;
    if (!hasToolhelp_ && !hasPsapi_) ShowMessage("No libraries to enumerate processes could be found");
}

modEnumWindows::ProcessPtr modEnumWindows::NewProcess(std::int32_t processId, const std::string& key) {
    auto process = std::make_shared<CProcess>();
    process->Key = key;
    process->ProcessID = processId;
    processes_.TryAdd(process, key);
    return process;
}

// A record hangs below one parent at most, so the walks from the roots can
// never meet a record twice, even when a snapshot lists a process again.
void modEnumWindows::LinkToParent(const ProcessPtr& child, const ProcessPtr& parent) {
    const ProcessPtr previous = child->Parent.lock();
    if (previous && previous != parent && previous->ChildProcesses.Find(child->Key) == child) {
        previous->ChildProcesses.Remove(child->Key);
    }
    child->Parent = parent;
    parent->ChildProcesses.TryAdd(child, child->Key);
}

void modEnumWindows::NoteThread(const CProcess& owner, std::int32_t threadId) {
    ThreadHolders& holders = threadHolders_[threadId];
    if (holders.first == nullptr) {
        holders.first = &owner;
    } else {
        holders.more.push_back(&owner);
    }
}

modEnumWindows::ThreadPtr modEnumWindows::AddThread(const ProcessPtr& owner, std::int32_t threadId) {
    std::string key = MakeKey(threadId);
    if (ThreadPtr existing = owner->Threads.Find(key)) return existing;
    auto thread = std::make_shared<CThread>();
    thread->Key = key;
    thread->ThreadID = threadId;
    thread->Parent = owner;
    owner->Threads.Add(thread, key);
    NoteThread(*owner, threadId);
    return thread;
}

modEnumWindows::ProcessPtr modEnumWindows::ChildHoldingThread(const CProcess& process, std::int32_t threadId,
                                                              const std::string& threadKey) const {
    const auto holders = threadHolders_.find(threadId);
    if (holders == threadHolders_.end()) return nullptr;
    std::size_t firstAt = KeyedCollection<CProcess>::kNotFound;
    auto consider = [&](const CProcess* holder) {
        const std::size_t at = process.ChildProcesses.IndexOf(holder->Key);
        if (at == KeyedCollection<CProcess>::kNotFound || at >= firstAt) return;
        if (process.ChildProcesses.At(at).get() != holder || !holder->Threads.Contains(threadKey)) return;
        firstAt = at;
    };
    consider(holders->second.first);
    for (const CProcess* holder : holders->second.more) consider(holder);
    return firstAt == KeyedCollection<CProcess>::kNotFound ? nullptr : process.ChildProcesses.At(firstAt);
}

// Without toolhelp nobody counted the threads; what the walk and the task
// pass filed is all there is.
void modEnumWindows::FillThreadCounts() {
    for (const auto& entry : processes_) {
        CProcess& process = *entry.item;
        process.ThreadCount = static_cast<std::int32_t>(process.Threads.Count());
        ForEachDescendant(
            process, [](CProcess& child) { child.ThreadCount = static_cast<std::int32_t>(child.Threads.Count()); });
    }
}

}  // namespace brakkis
