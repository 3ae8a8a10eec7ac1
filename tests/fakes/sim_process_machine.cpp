#include "tests/fakes/sim_process_machine.h"

#include <algorithm>
#include <cstring>

#include "platform/ascii_case.h"

namespace brakkis::sim {
namespace {

constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorNoMoreFiles = 18;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorPartialCopy = 299;

constexpr LibraryHandle kKernel32 = 0x7C800000;
constexpr LibraryHandle kPsapi = 0x76BF0000;
constexpr LibraryHandle kVdmDbg = 0x76C10000;

std::string BaseOf(const std::string& path) {
    const auto slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// As the system copies a name into a caller's buffer: cut to fit with its
// NUL; the count excludes the NUL.
std::uint32_t CopyOut(const std::string& text, char* buffer, std::uint32_t size) {
    if (size == 0) return 0;
    const std::uint32_t n = std::min<std::uint32_t>(static_cast<std::uint32_t>(text.size()), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

// The program a command line starts: the first word, or the quoted part.
std::string ProgramOf(const std::string& commandLine) {
    if (!commandLine.empty() && commandLine[0] == '"') {
        const auto close = commandLine.find('"', 1);
        return commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return commandLine.substr(0, commandLine.find(' '));
}

}  // namespace

SimProcessMachine::SimProcessMachine() {
    SimEnumWindow desktop;
    desktop.hwnd = kDesktop;
    desktop.className = "#32769";
    desktop.rect = {0, 0, 1280, 1024};
    windows_[kDesktop] = desktop;
}

SimRunningProcess& SimProcessMachine::AddProcess(std::uint32_t pid, std::uint32_t parentPid,
                                                 const std::string& exeName) {
    auto process = std::make_shared<SimRunningProcess>();
    process->pid = pid;
    process->parentPid = parentPid;
    process->exeName = exeName;
    if (processes_.count(pid) == 0) order_.push_back(pid);
    processes_[pid] = process;
    return *process;
}

std::shared_ptr<SimRunningProcess> SimProcessMachine::Mirrored(const SimProcess& started) const {
    auto process = std::make_shared<SimRunningProcess>();
    process->pid = started.pid;
    process->parentPid = launcherParentPid_;
    process->imagePath = ProgramOf(started.commandLine);
    process->exeName = BaseOf(process->imagePath);
    // Thread identifiers share the numbering of process identifiers, which
    // that machine hands out in fours; this one cannot meet any of them.
    process->threads.push_back({started.pid + 2, 8, 0});
    return process;
}

SimRunningProcess* SimProcessMachine::Process(std::uint32_t pid) {
    const auto it = processes_.find(pid);
    if (it != processes_.end()) return it->second.get();
    return nullptr;
}

bool SimProcessMachine::Alive(std::uint32_t pid) const {
    if (processes_.count(pid) != 0) return true;
    if (launcher_ == nullptr) return false;
    for (const auto& started : launcher_->Processes()) {
        if (started->pid == pid) return started->alive;
    }
    return false;
}

void SimProcessMachine::EndProcess(std::uint32_t pid, std::int32_t exitCode) {
    if (processes_.erase(pid) != 0) {
        order_.erase(std::remove(order_.begin(), order_.end(), pid), order_.end());
        std::vector<WindowHandle> owned;
        for (const auto& [hwnd, window] : windows_) {
            if (window.processId == pid && hwnd != kDesktop) owned.push_back(hwnd);
        }
        for (WindowHandle hwnd : owned) DestroyWindow(hwnd);
    } else if (launcher_ != nullptr) {
        // Ended from outside, as far as that machine can tell.
        if (SimProcess* started = launcher_->Process(pid); started && started->alive) started->killed = true;
        launcher_->EndProcess(pid, exitCode);
    }
}

void SimProcessMachine::MirrorLauncherMachine(SimMachine& launcherMachine, std::uint32_t parentPid) {
    launcher_ = &launcherMachine;
    launcherParentPid_ = parentPid;
}

std::vector<std::shared_ptr<const SimRunningProcess>> SimProcessMachine::ListedProcesses() {
    std::vector<std::shared_ptr<const SimRunningProcess>> listed;
    listed.reserve(order_.size());
    for (std::uint32_t pid : order_) listed.push_back(processes_.at(pid));
    if (launcher_ != nullptr) {
        for (const auto& started : launcher_->Processes()) {
            if (started->alive && processes_.count(started->pid) == 0) listed.push_back(Mirrored(*started));
        }
    }
    return listed;
}

WindowHandle SimProcessMachine::AddWindow(std::uint32_t pid, std::uint32_t tid, WindowHandle parent,
                                          const std::string& text) {
    SimEnumWindow window;
    window.hwnd = nextHwnd_;
    nextHwnd_ += 4;
    window.parent = parent;
    window.processId = pid;
    window.threadId = tid;
    window.text = text;
    window.rect = {10, 20, 110, 220};
    if (const SimRunningProcess* owner = Process(pid)) window.instance = owner->mainModule;
    if (parent == 0 || parent == kDesktop) {
        topLevel_.push_back(window.hwnd);
    } else {
        windows_.at(parent).children.push_back(window.hwnd);
    }
    windows_[window.hwnd] = window;
    return window.hwnd;
}

SimEnumWindow* SimProcessMachine::Window(WindowHandle hwnd) {
    const auto it = windows_.find(hwnd);
    return it == windows_.end() ? nullptr : &it->second;
}

void SimProcessMachine::DestroyWindow(WindowHandle hwnd) {
    const auto it = windows_.find(hwnd);
    if (it == windows_.end() || hwnd == kDesktop) return;
    const std::vector<WindowHandle> children = it->second.children;
    const WindowHandle parent = it->second.parent;
    windows_.erase(it);
    for (WindowHandle child : children) DestroyWindow(child);
    if (parent == 0 || parent == kDesktop) {
        topLevel_.erase(std::remove(topLevel_.begin(), topLevel_.end(), hwnd), topLevel_.end());
    } else if (SimEnumWindow* up = Window(parent)) {
        up->children.erase(std::remove(up->children.begin(), up->children.end(), hwnd), up->children.end());
    }
}

std::vector<WindowHandle> SimProcessMachine::TopLevelWindows() { return topLevel_; }

KernelHandle SimProcessMachine::TakeSnapshot() {
    const int number = ++snapshotsTaken_;
    if (beforeSnapshot) beforeSnapshot(number);
    if (failingSnapshots.count(number) != 0) {
        lastError = kErrorAccessDenied;
        return 0;
    }
    Snapshot snapshot;
    for (auto& process : ListedProcesses()) {
        if (process->inProcessSnapshot) snapshot.processes.push_back(process);
        for (const SimThreadLayout& thread : process->threads) {
            snapshot.threads.push_back({thread.threadId, process->pid, thread.basePriority, thread.deltaPriority});
        }
    }
    const KernelHandle handle = nextHandle_;
    nextHandle_ += 4;
    snapshots_.emplace(handle, std::move(snapshot));
    return handle;
}

SimProcessMachine::Snapshot* SimProcessMachine::FindSnapshot(KernelHandle handle) {
    const auto it = snapshots_.find(handle);
    if (it == snapshots_.end()) lastError = kErrorInvalidHandle;
    return it == snapshots_.end() ? nullptr : &it->second;
}

KernelHandle SimProcessMachine::OpenProcessHandle(std::uint32_t pid, std::uint32_t access) {
    const SimRunningProcess* process = Process(pid);
    if (process ? !process->canOpen : !Alive(pid)) {
        lastError = process ? kErrorAccessDenied : kErrorInvalidParameter;
        return 0;
    }
    const KernelHandle handle = nextHandle_;
    nextHandle_ += 4;
    processHandles_[handle] = {pid, access};
    return handle;
}

const SimProcessMachine::ProcessHandleInfo* SimProcessMachine::FindProcessHandle(KernelHandle handle) const {
    const auto it = processHandles_.find(handle);
    return it == processHandles_.end() ? nullptr : &it->second;
}

bool SimProcessMachine::CloseKernelHandle(KernelHandle handle) {
    if (snapshots_.erase(handle) != 0 || processHandles_.erase(handle) != 0) return true;
    lastError = kErrorInvalidHandle;
    return false;
}

// ---- ProcessCalls -------------------------------------------------------

LibraryHandle SimProcessCalls::LoadLibrary(const std::string& name) {
    using ascii::EqualNoCase;
    LibraryHandle library = 0;
    if ((EqualNoCase(name, "kernel32") || EqualNoCase(name, "kernel32.dll")) && m_.kernel32Loads) library = kKernel32;
    if (EqualNoCase(name, "psapi.dll") && m_.psapiPresent) library = kPsapi;
    if (EqualNoCase(name, "vdmdbg.dll") && m_.vdmdbgPresent) library = kVdmDbg;
    if (library != 0) ++librariesLoaded;
    return library;
}

bool SimProcessCalls::HasExport(LibraryHandle library, const std::string& exportName) {
    return library == kKernel32 && exportName == "CreateToolhelp32Snapshot" && m_.toolhelpExported;
}

void SimProcessCalls::FreeLibrary(LibraryHandle library) {
    if (library != 0) --librariesLoaded;
}

KernelHandle SimProcessCalls::CreateToolhelp32Snapshot(std::uint32_t, std::uint32_t) { return m_.TakeSnapshot(); }

namespace {

void FillProcessEntry(const SimRunningProcess& process, ProcessEntry& entry) {
    entry.processId = process.pid;
    entry.threadCount = static_cast<std::uint32_t>(process.threads.size());
    entry.parentProcessId = process.parentPid;
    entry.basePriority = process.basePriority;
    std::memset(entry.exeFile, 0, sizeof entry.exeFile);
    // A name of 260 characters or more fills the buffer with no NUL, as the
    // fixed-size record has it.
    std::memcpy(entry.exeFile, process.exeName.data(), std::min(process.exeName.size(), sizeof entry.exeFile));
}

}  // namespace

bool SimProcessCalls::Process32First(KernelHandle snapshot, ProcessEntry& entry) {
    SimProcessMachine::Snapshot* s = m_.FindSnapshot(snapshot);
    if (!s) return false;
    if (m_.firstProcessEntryError != 0) {
        m_.lastError = m_.firstProcessEntryError;
        return false;
    }
    s->nextProcess = 0;
    return Process32Next(snapshot, entry);
}

bool SimProcessCalls::Process32Next(KernelHandle snapshot, ProcessEntry& entry) {
    SimProcessMachine::Snapshot* s = m_.FindSnapshot(snapshot);
    if (!s) return false;
    if (s->nextProcess >= s->processes.size()) {
        m_.lastError = kErrorNoMoreFiles;
        return false;
    }
    FillProcessEntry(*s->processes[s->nextProcess++], entry);
    return true;
}

bool SimProcessCalls::Thread32First(KernelHandle snapshot, ThreadEntry& entry) {
    SimProcessMachine::Snapshot* s = m_.FindSnapshot(snapshot);
    if (!s) return false;
    if (m_.firstThreadEntryError != 0) {
        m_.lastError = m_.firstThreadEntryError;
        return false;
    }
    s->nextThread = 0;
    return Thread32Next(snapshot, entry);
}

bool SimProcessCalls::Thread32Next(KernelHandle snapshot, ThreadEntry& entry) {
    SimProcessMachine::Snapshot* s = m_.FindSnapshot(snapshot);
    if (!s) return false;
    if (s->nextThread >= s->threads.size()) {
        m_.lastError = kErrorNoMoreFiles;
        return false;
    }
    entry = s->threads[s->nextThread++];
    return true;
}

std::uint32_t SimProcessCalls::GetProcessVersion(std::uint32_t processId) {
    const SimRunningProcess* process = m_.Process(processId);
    if (process) return process->version;
    return m_.Alive(processId) ? 0x00040000u : 0u;
}

KernelHandle SimProcessCalls::OpenProcess(std::uint32_t access, bool, std::uint32_t processId) {
    return m_.OpenProcessHandle(processId, access);
}

std::uint32_t SimProcessCalls::GetPriorityClass(KernelHandle process) {
    const auto* open = m_.FindProcessHandle(process);
    if (!open || !m_.Alive(open->pid)) return 0;
    const SimRunningProcess* running = m_.Process(open->pid);
    return running ? running->priorityClass : 0x20u;
}

bool SimProcessCalls::TerminateProcess(KernelHandle process, std::uint32_t exitCode) {
    const auto* open = m_.FindProcessHandle(process);
    if (!open || (open->access & win::kProcessTerminate) == 0) {
        m_.lastError = open ? kErrorAccessDenied : kErrorInvalidHandle;
        return false;
    }
    if (!m_.Alive(open->pid)) return false;
    m_.terminated.push_back(open->pid);
    m_.EndProcess(open->pid, static_cast<std::int32_t>(exitCode));
    return true;
}

bool SimProcessCalls::CloseHandle(KernelHandle handle) { return m_.CloseKernelHandle(handle); }

bool SimProcessCalls::EnumProcesses(std::uint32_t* ids, std::uint32_t bytesOffered, std::uint32_t& bytesReturned) {
    bytesReturned = 0;
    const std::size_t room = bytesOffered / sizeof(std::uint32_t);
    std::size_t n = 0;
    for (const auto& process : m_.ListedProcesses()) {
        if (!process->listedByPsapi) continue;
        if (n == room) break;
        ids[n++] = process->pid;
    }
    bytesReturned = static_cast<std::uint32_t>(n * sizeof(std::uint32_t));
    return true;
}

namespace {

// The process behind a handle opened for reading, or none.
const SimRunningProcess* Readable(SimProcessMachine& m, KernelHandle handle,
                                  std::shared_ptr<const SimRunningProcess>& keep) {
    const auto* open = m.FindProcessHandle(handle);
    if (!open || (open->access & win::kProcessQueryAndRead) != win::kProcessQueryAndRead) return nullptr;
    if (const SimRunningProcess* laidOut = m.Process(open->pid)) return laidOut;
    for (auto& listed : m.ListedProcesses()) {
        if (listed->pid == open->pid) {
            keep = listed;
            return keep.get();
        }
    }
    return nullptr;
}

std::string ModulePath(const SimRunningProcess& process, ModuleHandle module) {
    if (module == 0 || module == process.mainModule) {
        return process.imagePath.empty() ? process.exeName : process.imagePath;
    }
    for (const SimModuleLayout& loaded : process.modules) {
        if (loaded.handle == module) return loaded.path;
    }
    return {};
}

}  // namespace

bool SimProcessCalls::EnumProcessModules(KernelHandle process, ModuleHandle* modules, std::uint32_t capacity,
                                         std::uint32_t& modulesNeeded) {
    modulesNeeded = 0;
    std::shared_ptr<const SimRunningProcess> keep;
    const SimRunningProcess* running = Readable(m_, process, keep);
    if (!running || !running->canListModules) {
        m_.lastError = running ? kErrorPartialCopy : kErrorAccessDenied;
        return false;
    }
    std::uint32_t n = 0;
    if (n < capacity) modules[n] = running->mainModule;
    ++n;
    for (const SimModuleLayout& loaded : running->modules) {
        if (n < capacity) modules[n] = loaded.handle;
        ++n;
    }
    modulesNeeded = n;
    return true;
}

std::uint32_t SimProcessCalls::GetModuleFileNameEx(KernelHandle process, ModuleHandle module, char* buffer,
                                                   std::uint32_t size) {
    std::shared_ptr<const SimRunningProcess> keep;
    const SimRunningProcess* running = Readable(m_, process, keep);
    return running ? CopyOut(ModulePath(*running, module), buffer, size) : 0;
}

std::uint32_t SimProcessCalls::GetModuleBaseName(KernelHandle process, ModuleHandle module, char* buffer,
                                                 std::uint32_t size) {
    std::shared_ptr<const SimRunningProcess> keep;
    const SimRunningProcess* running = Readable(m_, process, keep);
    return running ? CopyOut(BaseOf(ModulePath(*running, module)), buffer, size) : 0;
}

std::int32_t SimProcessCalls::VDMEnumTaskWOWEx(std::uint32_t processId, const TaskVisitor& visitor) {
    const SimRunningProcess* process = m_.Process(processId);
    if (!process || !m_.vdmdbgPresent) return 0;
    const std::vector<SimTask> tasks = process->tasks;  // the visitor may end processes
    std::int32_t visited = 0;
    for (const SimTask& task : tasks) {
        ++visited;
        if (visitor(task.threadId, task.module16, task.task16, task.moduleName.c_str(), task.fileName.c_str())) break;
    }
    return visited;
}

// ---- WindowEnumCalls ----------------------------------------------------

bool SimWindowEnumCalls::EnumWindows(const WindowVisitor& visitor) {
    for (WindowHandle hwnd : m_.TopLevelWindows()) {
        if (m_.onWindowListed) m_.onWindowListed(hwnd);
        if (!visitor(hwnd)) break;
    }
    return true;
}

bool SimWindowEnumCalls::EnumChildWindows(WindowHandle parent, const WindowVisitor& visitor) {
    // Listed first, depth first, as the system does; then handed out.
    std::vector<WindowHandle> listed;
    std::function<void(WindowHandle)> list = [&](WindowHandle hwnd) {
        const SimEnumWindow* window = m_.Window(hwnd);
        if (!window) return;
        for (WindowHandle child : window->children) {
            listed.push_back(child);
            list(child);
        }
    };
    list(parent);
    for (WindowHandle hwnd : listed) {
        if (!visitor(hwnd)) break;
    }
    return true;
}

std::uint32_t SimWindowEnumCalls::GetWindowThreadProcessId(WindowHandle hwnd, std::uint32_t& processId) {
    const SimEnumWindow* window = m_.Window(hwnd);
    processId = window ? window->processId : 0;
    return window ? window->threadId : 0;
}

WindowHandle SimWindowEnumCalls::GetParent(WindowHandle hwnd) {
    const SimEnumWindow* window = m_.Window(hwnd);
    return window ? window->parent : 0;
}

std::int32_t SimWindowEnumCalls::GetClassName(WindowHandle hwnd, char* buffer, std::int32_t size) {
    const SimEnumWindow* window = m_.Window(hwnd);
    if (!window || size <= 0) return 0;
    return static_cast<std::int32_t>(CopyOut(window->className, buffer, static_cast<std::uint32_t>(size)));
}

std::intptr_t SimWindowEnumCalls::GetWindowLongPtr(WindowHandle hwnd, std::int32_t index) {
    const SimEnumWindow* window = m_.Window(hwnd);
    if (!window) return 0;
    switch (index) {
        case -16: return window->style;
        case -20: return window->exStyle;
        case win::kGwlpHInstance: return window->instance;
        default: return 0;
    }
}

bool SimWindowEnumCalls::GetWindowRect(WindowHandle hwnd, WindowRect& rect) {
    const SimEnumWindow* window = m_.Window(hwnd);
    if (!window) return false;
    rect = window->rect;
    return true;
}

bool SimWindowEnumCalls::SendTextLengthMessage(WindowHandle hwnd, std::uint32_t timeoutMs, std::intptr_t& length) {
    length = 0;
    const SimEnumWindow* window = m_.Window(hwnd);
    if (!window) return false;
    if (window->hung) {
        m_.longestTextWaitMs = std::max(m_.longestTextWaitMs, timeoutMs);
        ++m_.hungWindowsAsked;
        return false;
    }
    length = static_cast<std::intptr_t>(window->text.size());
    return true;
}

bool SimWindowEnumCalls::SendGetTextMessage(WindowHandle hwnd, char* buffer, std::intptr_t size,
                                            std::uint32_t timeoutMs, std::intptr_t& copied) {
    copied = 0;
    const SimEnumWindow* window = m_.Window(hwnd);
    if (!window) return false;
    if (window->hung) {
        m_.longestTextWaitMs = std::max(m_.longestTextWaitMs, timeoutMs);
        ++m_.hungWindowsAsked;
        return false;
    }
    if (size <= 0) return true;
    copied = CopyOut(window->text, buffer, static_cast<std::uint32_t>(size));
    return true;
}

std::uint32_t SimWindowEnumCalls::GetModuleFileName(std::intptr_t module, char* buffer, std::uint32_t size) {
    const SimRunningProcess* self = m_.Process(m_.selfPid);
    if (!self) return 0;
    const std::string path = ModulePath(*self, module);
    if (path.empty() || size == 0) return 0;
    const std::uint32_t copied = CopyOut(path, buffer, size);
    // Cut short, the system reports the whole buffer as used.
    return path.size() >= size ? size : copied;
}

}  // namespace brakkis::sim
