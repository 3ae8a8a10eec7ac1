// The process passes: toolhelp for the tree and the threads, psapi for paths,
// priority classes and modules, vdmdbg for the 16-bit tasks of ntvdm.exe.
#include <algorithm>
#include <array>

#include "enumwindows/mod_enum_windows.h"
#include "platform/ascii_case.h"

namespace brakkis {
namespace {

constexpr std::size_t kMaxIds = 1000;
constexpr std::size_t kModuleTextSize = 300;

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

void ModEnumWindows::EnumProcessesToolhelp() {
    OwnedKernelHandle snapshot(calls_, calls_.CreateToolhelp32Snapshot(win::kTh32csSnapAll, 0));
    if (!snapshot) {
        ShowMessage("Failed to create Module and Thread snapshot");
        return;
    }
    ProcessEntry entry;
    if (!calls_.Process32First(snapshot.Get(), entry)) {
        ShowMessage("No processes: error " + HexCode(calls_.GetLastError()));
        return;
    }
    do {
        const auto processId = static_cast<std::int32_t>(entry.processId);
        const std::string key = MakeKey(processId);
        ProcessPtr process = processes_.Find(key);
        if (!process) process = NewProcess(processId, key);
        process->Key = key;
        process->ProcessID = processId;
        process->FileName = NameInBuffer(entry.exeFile, sizeof entry.exeFile);
        process->BaseName = process->FileName.empty() ? std::string() : BaseNameOf(process->FileName);
        process->ThreadCount = static_cast<std::int32_t>(entry.threadCount);
        process->Priority = entry.basePriority;
        process->Bits = BitsOfVersion(calls_.GetProcessVersion(entry.processId));

        // The parent may be listed later in the snapshot, or not at all; a
        // placeholder stands for it until then, and for good if it is gone.
        const auto parentId = static_cast<std::int32_t>(entry.parentProcessId);
        const std::string parentKey = MakeKey(parentId);
        ProcessPtr parent = processes_.Find(parentKey);
        if (!parent) parent = NewProcess(parentId, parentKey);
        if (parentKey != key) LinkToParent(process, parent);
    } while (calls_.Process32Next(snapshot.Get(), entry));
}

void ModEnumWindows::EnumThreadsToolhelp() {
    OwnedKernelHandle snapshot(calls_, calls_.CreateToolhelp32Snapshot(win::kTh32csSnapAll, 0));
    if (!snapshot) {
        ShowMessage("Failed to create Module and Thread snapshot");
        return;
    }
    std::size_t expected = 0;
    for (const auto& listed : processes_) expected += static_cast<std::uint32_t>(listed.item->ThreadCount);
    threadHolders_.reserve(expected);

    ThreadEntry entry;
    if (!calls_.Thread32First(snapshot.Get(), entry)) {
        ShowMessage("No Threads: error " + HexCode(calls_.GetLastError()));
        return;
    }
    do {
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
    } while (calls_.Thread32Next(snapshot.Get(), entry));
}

void ModEnumWindows::EnumProcessesPsapi() {
    std::array<std::uint32_t, kMaxIds> ids{};
    std::uint32_t bytes = 0;
    calls_.EnumProcesses(ids.data(), static_cast<std::uint32_t>(sizeof ids), bytes);
    const std::size_t count = std::min<std::size_t>(bytes / sizeof ids[0], kMaxIds);

    for (std::size_t i = 0; i < count; ++i) {
        const auto processId = static_cast<std::int32_t>(ids[i]);
        const std::string key = MakeKey(processId);
        ProcessPtr process = processes_.Find(key);
        if (!process) process = NewProcess(processId, key);

        OwnedKernelHandle handle(calls_, calls_.OpenProcess(win::kProcessQueryAndRead, false, ids[i]));
        if (!handle) continue;  // keeps what toolhelp gave it
        process->Bits = "32";
        process->Priority = static_cast<std::int32_t>(calls_.GetPriorityClass(handle.Get()));
        // A process whose modules cannot be listed is not looked into further.
        if (!ReadModules(*process, handle.Get())) continue;

        if (hasVdmDbg_ && hasPsapi_ && ascii::EqualNoCase(process->BaseName, "ntvdm.exe")) {
            vdmProcess_ = process;
            calls_.VDMEnumTaskWOWEx(ids[i], [this](std::uint32_t threadId, std::uint16_t, std::uint16_t task16,
                                                   const char*, const char* fileName) {
                return EnumTaskCallback(threadId, task16, fileName);
            });
        }
    }
}

// Path and base name of the main module, then one record per other module.
bool ModEnumWindows::ReadModules(CProcess& process, KernelHandle handle) {
    std::array<ModuleHandle, kMaxIds> modules{};
    std::uint32_t reported = 0;
    if (!calls_.EnumProcessModules(handle, modules.data(), static_cast<std::uint32_t>(modules.size()), reported)) {
        return false;
    }
    process.ModuleCount = static_cast<std::int32_t>(reported);

    auto readText = [&](auto call, ModuleHandle module) {
        char buffer[kModuleTextSize] = {};
        const std::uint32_t copied = (calls_.*call)(handle, module, buffer, kModuleTextSize);
        return TrimAtNull(std::string_view(buffer, std::min<std::size_t>(copied, kModuleTextSize)));
    };
    process.FileName = readText(&ProcessCalls::GetModuleFileNameEx, modules[0]);
    process.BaseName = readText(&ProcessCalls::GetModuleBaseName, modules[0]);

    const std::size_t listed = std::min<std::size_t>(reported, kMaxIds);
    for (std::size_t j = 1; j < listed; ++j) {
        auto module = std::make_shared<CModule>();
        module->FileName = readText(&ProcessCalls::GetModuleFileNameEx, modules[j]);
        module->BaseName = readText(&ProcessCalls::GetModuleBaseName, modules[j]);
        module->Key = MakeKey(modules[j]);
        module->hModule = modules[j];
        process.Modules.TryAdd(module, module->Key);
    }
    return true;
}

bool ModEnumWindows::EnumTaskCallback(std::uint32_t threadId, std::uint16_t task16, const char* fileName) {
    const std::int32_t taskId = static_cast<std::int16_t>(task16);
    const std::string key = MakeKey(taskId);
    auto task = std::make_shared<CProcess>();
    task->ProcessID = taskId;
    task->Key = key;
    task->Bits = "16";
    task->Parent = vdmProcess_;
    task->FileName = NameInBuffer(fileName, win::kMaxPath);
    task->BaseName = BaseNameOf(task->FileName);

    const auto tid = static_cast<std::int32_t>(threadId);
    const std::string threadKey = MakeKey(tid);
    auto thread = std::make_shared<CThread>();
    thread->Key = threadKey;
    thread->ThreadID = tid;
    thread->Parent = task;
    task->Threads.Add(thread, threadKey);

    // A task handle can give the key of a process or of a task in another
    // ntvdm.exe; the record already there keeps its place. Only a task that
    // is filed under its ntvdm.exe takes over the thread that runs it, or
    // the window walk could find that thread under neither.
    const bool filedUnderVdm = vdmProcess_->ChildProcesses.TryAdd(task, key);
    processes_.TryAdd(task, key);
    if (filedUnderVdm) {
        NoteThread(*task, tid);
        if (const ThreadPtr running = vdmProcess_->Threads.Find(threadKey); running && running->ThreadID == tid) {
            vdmProcess_->Threads.Remove(threadKey);
        }
    }
    return false;
}

}  // namespace brakkis
