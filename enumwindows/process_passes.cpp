// The process passes: toolhelp for the tree and the threads, psapi for paths,
// priority classes and modules, vdmdbg for the 16-bit tasks of ntvdm.exe.
#include <algorithm>

#include "enumwindows/mod_enum_windows.h"
#include "platform/ascii_case.h"

namespace brakkis {
namespace {

constexpr std::size_t kMaxListed = 1000;

// The subsystem's major version, rounded half to even; versions up to 3
// mean a 16-bit program.
std::string BitsOfVersion(std::uint32_t version) {
    const auto v = static_cast<std::int32_t>(version);
    std::int32_t major = v >> 16;  // floor, also for the negative ones
    const std::int32_t rest = v & 0xFFFF;
    if (rest > 0x8000 || (rest == 0x8000 && (major & 1) != 0)) ++major;
    return major <= 3 ? "16" : "32";
}

std::string HexCode(std::uint32_t code) { return MakeKey(static_cast<std::int32_t>(code)).substr(2); }

}  // namespace

void modEnumWindows::EnumProcessesToolhelp() {
    const Snapshot<ProcessEntry> snapshot = system_.ProcessSnapshot();
    if (snapshot.status == SnapshotStatus::NotTaken) {
        ShowMessage("Failed to create Module and Thread snapshot");
        return;
    }
    if (snapshot.status == SnapshotStatus::FirstEntryFailed) {
        ShowMessage("No processes: error " + HexCode(snapshot.error));
        return;
    }
    for (const ProcessEntry& entry : snapshot.entries) {
        const auto processId = static_cast<std::int32_t>(entry.processId);
        const std::string key = MakeKey(processId);
        ProcessPtr process = processes_.Find(key);
        if (!process) process = NewProcess(processId, key);
        process->Key = key;
        process->ProcessID = processId;
        process->FileName = entry.exeFile;
        process->BaseName = BaseNameOf(process->FileName);
        process->ThreadCount = static_cast<std::int32_t>(entry.threadCount);
        process->Priority = entry.basePriority;
        process->Bits = BitsOfVersion(entry.version);

        // The parent may be listed later in the snapshot, or not at all; a
        // placeholder stands for it until then, and for good if it is gone.
        const auto parentId = static_cast<std::int32_t>(entry.parentProcessId);
        const std::string parentKey = MakeKey(parentId);
        ProcessPtr parent = processes_.Find(parentKey);
        if (!parent) parent = NewProcess(parentId, parentKey);
        if (parentKey != key) LinkToParent(process, parent);
    }
}

void modEnumWindows::EnumThreadsToolhelp() {
    const Snapshot<ThreadEntry> snapshot = system_.ThreadSnapshot();
    if (snapshot.status == SnapshotStatus::NotTaken) {
        ShowMessage("Failed to create Module and Thread snapshot");
        return;
    }
    if (snapshot.status == SnapshotStatus::FirstEntryFailed) {
        ShowMessage("No Threads: error " + HexCode(snapshot.error));
        return;
    }
    threadHolders_.reserve(snapshot.entries.size());
    for (const ThreadEntry& entry : snapshot.entries) {
        // A process started after the process snapshot still gets its
        // threads: it is as real as the ones listed there.
        const auto ownerId = static_cast<std::int32_t>(entry.ownerProcessId);
        const std::string ownerKey = MakeKey(ownerId);
        ProcessPtr owner = processes_.Find(ownerKey);
        if (!owner) owner = NewProcess(ownerId, ownerKey);

        const auto threadId = static_cast<std::int32_t>(entry.threadId);
        std::string threadKey = MakeKey(threadId);
        if (owner->Threads.Contains(threadKey)) continue;  // listed twice: the first one stands
        auto thread = std::make_shared<CThread>();
        thread->ThreadID = threadId;
        thread->Key = threadKey;
        thread->BasePriority = entry.basePriority;
        thread->DeltaPriority = entry.deltaPriority;
        thread->Parent = owner;
        owner->Threads.Add(thread, threadKey);
        NoteThread(*owner, threadId);
    }
}

void modEnumWindows::EnumProcessesPsapi() {
    const std::vector<std::uint32_t> ids = system_.ProcessIds();
    const std::size_t count = std::min(ids.size(), kMaxListed);
    for (std::size_t i = 0; i < count; ++i) {
        const auto processId = static_cast<std::int32_t>(ids[i]);
        const std::string key = MakeKey(processId);
        ProcessPtr process = processes_.Find(key);
        if (!process) process = NewProcess(processId, key);

        const ProcessModules found = system_.Modules(ids[i]);
        if (!found.opened) continue;  // keeps what toolhelp gave it
        process->Bits = "32";
        process->Priority = static_cast<std::int32_t>(found.priorityClass);
        // A process whose modules cannot be listed is not looked into further.
        if (found.listed) ReadModules(process, found);
    }
}

// Path and base name of the main module, the 16-bit tasks of an ntvdm.exe,
// then one record per other module.
void modEnumWindows::ReadModules(const ProcessPtr& process, const ProcessModules& found) {
    process->ModuleCount = static_cast<std::int32_t>(found.count);
    const ModuleEntry main = found.modules.empty() ? ModuleEntry{} : found.modules.front();
    process->FileName = main.fileName;
    process->BaseName = main.baseName;

    if (hasVdmDbg_ && hasPsapi_ && ascii::EqualNoCase(process->BaseName, "ntvdm.exe")) {
        vdmProcess_ = process;
        for (const Task16& task : system_.Tasks16(static_cast<std::uint32_t>(process->ProcessID))) {
            EnumTaskCallback(task);
        }
    }

    const std::size_t listed = std::min({static_cast<std::size_t>(found.count), kMaxListed, found.modules.size()});
    for (std::size_t j = 1; j < listed; ++j) {
        const ModuleEntry& entry = found.modules[j];
        auto module = std::make_shared<CModule>();
        module->FileName = entry.fileName;
        module->BaseName = entry.baseName;
        module->Key = MakeKey(entry.handle);
        module->hModule = entry.handle;
        process->Modules.TryAdd(module, module->Key);
    }
}

void modEnumWindows::EnumTaskCallback(const Task16& task) {
    const std::int32_t taskId = static_cast<std::int16_t>(task.task);
    const std::string key = MakeKey(taskId);
    auto record = std::make_shared<CProcess>();
    record->ProcessID = taskId;
    record->Key = key;
    record->Bits = "16";
    record->Parent = vdmProcess_;
    record->FileName = task.fileName;
    record->BaseName = BaseNameOf(record->FileName);

    const auto tid = static_cast<std::int32_t>(task.threadId);
    const std::string threadKey = MakeKey(tid);
    auto thread = std::make_shared<CThread>();
    thread->Key = threadKey;
    thread->ThreadID = tid;
    thread->Parent = record;
    record->Threads.Add(thread, threadKey);

    // A task handle can give the key of a process or of a task in another
    // ntvdm.exe; the record already there keeps its place. Only a task that
    // is filed under its ntvdm.exe takes over the thread that runs it, or
    // the window walk could find that thread under neither.
    const bool filedUnderVdm = vdmProcess_->ChildProcesses.TryAdd(record, key);
    processes_.TryAdd(record, key);
    if (filedUnderVdm) {
        NoteThread(*record, tid);
        if (const ThreadPtr running = vdmProcess_->Threads.Find(threadKey); running && running->ThreadID == tid) {
            vdmProcess_->Threads.Remove(threadKey);
        }
    }
}

}  // namespace brakkis
