#include "platform/win32/win32_process_system.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/ascii_case.h"
#include "platform/win32/module_listing.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

#include <tlhelp32.h>

namespace brakkis {
namespace {

constexpr DWORD kSnapAll = TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD | TH32CS_SNAPMODULE;  // 14
constexpr DWORD kQueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;            // 0x410
constexpr std::size_t kMaxListed = 1000;
constexpr DWORD kModuleTextSize = 300;

// A library from the system folder, never from the game folder or the
// current one, where anybody could drop a psapi.dll.
HMODULE LoadSystemLibrary(const char* name) {
    const HMODULE library = ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) return library;
    // A system whose loader lacks the search flags: name the folder outright.
    char folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path = std::string(folder, length) + "\\" + name;
    if (path.find('.', length) == std::string::npos) path += ".dll";
    return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <class Fn>
Fn Export(HMODULE library, const char* name) {
    return library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name))) : nullptr;
}

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using EnumProcessModulesExFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*, DWORD);
using ModuleTextFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using TaskEnumProcEx = BOOL(WINAPI*)(DWORD, WORD, WORD, PSZ, PSZ, LPARAM);
using VdmEnumTaskWowExFn = INT(WINAPI*)(DWORD, TaskEnumProcEx, LPARAM);

// The text before the first NUL of a fixed buffer; none when the buffer
// holds no NUL, since then its end cannot be trusted.
std::string NameInBuffer(const char* buffer, std::size_t size) {
    const std::size_t length = ::strnlen(buffer, size);
    return length == size ? std::string() : std::string(buffer, length);
}

// A module list that changes while the snapshot is taken fails with a bad
// length; the system asks callers to try again.
win32::ScopedKernelHandle TakeSnapshot(DWORD flags, DWORD processId) {
    for (int attempt = 0;; ++attempt) {
        const HANDLE snapshot = ::CreateToolhelp32Snapshot(flags, processId);
        if (snapshot != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_BAD_LENGTH || attempt == 4) {
            return win32::ScopedKernelHandle(snapshot);
        }
    }
}

template <class Entry, class Raw, class Convert>
Snapshot<Entry> ReadSnapshot(DWORD flags, BOOL(WINAPI* first)(HANDLE, Raw*), BOOL(WINAPI* next)(HANDLE, Raw*),
                             Convert convert) {
    Snapshot<Entry> read;
    const win32::ScopedKernelHandle snapshot = TakeSnapshot(flags, 0);
    if (!snapshot) {
        read.status = SnapshotStatus::NotTaken;
        read.error = ::GetLastError();
        return read;
    }
    Raw raw{};
    raw.dwSize = sizeof raw;
    if (!first(snapshot.Get(), &raw)) {
        read.status = SnapshotStatus::FirstEntryFailed;
        read.error = ::GetLastError();
        return read;
    }
    do read.entries.push_back(convert(raw));
    while (next(snapshot.Get(), &raw));
    return read;
}

// psapi finds a module by walking the process's loader list from its head,
// reading the other process's memory entry by entry, for every single name:
// naming all of a process's modules costs reads in the square of their
// number, and under Wine each read is a trip through the server. A module
// snapshot of the process walks the list once and carries the loader's same
// two strings, so names are taken from it; one the snapshot may have cut at
// its buffer's end, and a module it lacks, still go to psapi.
class ModuleNames {
public:
    explicit ModuleNames(DWORD processId) {
        const auto snapshot = TakeSnapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId);
        if (!snapshot) return;
        MODULEENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Module32First(snapshot.Get(), &entry); more; more = ::Module32Next(snapshot.Get(), &entry)) {
            known_[entry.hModule] = {std::string(entry.szExePath, ::strnlen(entry.szExePath, sizeof entry.szExePath)),
                                     std::string(entry.szModule, ::strnlen(entry.szModule, sizeof entry.szModule))};
        }
    }

    std::string Path(HANDLE process, HMODULE module, ModuleTextFn psapi) const {
        return Name(process, module, &Texts::path, MAX_PATH, psapi);
    }
    std::string Base(HANDLE process, HMODULE module, ModuleTextFn psapi) const {
        return Name(process, module, &Texts::base, MAX_MODULE_NAME32 + 1, psapi);
    }

private:
    struct Texts {
        std::string path, base;
    };

    std::string Name(HANDLE process, HMODULE module, std::string Texts::*field, std::size_t room,
                     ModuleTextFn psapi) const {
        if (const auto found = known_.find(module); found != known_.end()) {
            const std::string& text = found->second.*field;
            if (!text.empty() && text.size() + 1 < room) return text;
        }
        char buffer[kModuleTextSize] = {};
        const DWORD copied = psapi ? psapi(process, module, buffer, kModuleTextSize) : 0;
        const std::string_view text(buffer, std::min(copied, kModuleTextSize));
        return std::string(text.substr(0, text.find('\0')));
    }

    std::unordered_map<HMODULE, Texts> known_;
};

// Tasks are collected inside vdmdbg; an exception must not unwind through it.
struct TaskList {
    std::vector<Task16> tasks;
    std::exception_ptr failure;
};

BOOL WINAPI OnTask(DWORD threadId, WORD, WORD task16, PSZ, PSZ fileName, LPARAM user) {
    auto* list = reinterpret_cast<TaskList*>(user);
    try {
        list->tasks.push_back({threadId, task16, fileName ? NameInBuffer(fileName, MAX_PATH) : std::string()});
        return FALSE;
    } catch (...) {
        list->failure = std::current_exception();
        return TRUE;
    }
}

class Win32ProcessSystem final : public ProcessSystem {
public:
    SystemLibraries ProbeLibraries() override {
        SystemLibraries found;
        const win32::ScopedLibrary kernel(LoadSystemLibrary("kernel32"));
        found.kernel32 = kernel.IsValid();
        found.toolhelp = Export<void (*)()>(kernel.Get(), "CreateToolhelp32Snapshot") != nullptr;
        found.psapi = win32::ScopedLibrary(LoadSystemLibrary("psapi.dll")).IsValid();
        found.vdmdbg = win32::ScopedLibrary(LoadSystemLibrary("vdmdbg.dll")).IsValid();
        return found;
    }

    Snapshot<ProcessEntry> ProcessSnapshot() override {
        return ReadSnapshot<ProcessEntry>(kSnapAll, &::Process32First, &::Process32Next, [](const PROCESSENTRY32& raw) {
            return ProcessEntry{raw.th32ProcessID,
                                raw.cntThreads,
                                raw.th32ParentProcessID,
                                raw.pcPriClassBase,
                                NameInBuffer(raw.szExeFile, sizeof raw.szExeFile),
                                ::GetProcessVersion(raw.th32ProcessID)};
        });
    }

    Snapshot<ThreadEntry> ThreadSnapshot() override {
        return ReadSnapshot<ThreadEntry>(kSnapAll, &::Thread32First, &::Thread32Next, [](const THREADENTRY32& raw) {
            return ThreadEntry{raw.th32ThreadID, raw.th32OwnerProcessID, raw.tpBasePri, raw.tpDeltaPri};
        });
    }

    std::vector<std::uint32_t> ProcessIds() override {
        const auto enumProcesses = Export<EnumProcessesFn>(Psapi(), "EnumProcesses");
        if (!enumProcesses) return {};
        DWORD ids[kMaxListed] = {};
        DWORD bytes = 0;
        enumProcesses(ids, sizeof ids, &bytes);
        return std::vector<std::uint32_t>(ids, ids + std::min<std::size_t>(bytes / sizeof ids[0], kMaxListed));
    }

    ProcessModules Modules(std::uint32_t processId) override {
        ProcessModules found;
        const win32::ScopedKernelHandle process(::OpenProcess(kQueryAndRead, FALSE, processId));
        if (!process) return found;
        found.opened = true;
        found.priorityClass = ::GetPriorityClass(process.Get());

        auto listEx = Export<EnumProcessModulesExFn>(Psapi(), "EnumProcessModulesEx");
        if (!listEx)
            listEx = Export<EnumProcessModulesExFn>(::GetModuleHandleA("kernel32.dll"), "K32EnumProcessModulesEx");
        std::vector<HMODULE> handles(kMaxListed);
        DWORD bytes = 0;
        if (!win32::ListModules(listEx, Export<EnumProcessModulesFn>(Psapi(), "EnumProcessModules"), process.Get(),
                                handles.data(), static_cast<DWORD>(handles.size() * sizeof(HMODULE)), &bytes)) {
            return found;
        }
        found.listed = true;
        found.count = bytes / sizeof(HMODULE);

        const ModuleNames names(processId);
        const auto path = Export<ModuleTextFn>(Psapi(), "GetModuleFileNameExA");
        const auto base = Export<ModuleTextFn>(Psapi(), "GetModuleBaseNameA");
        // A process that lists no module yet still gets its main executable's
        // names: psapi gives them for a null handle.
        const std::size_t named = std::max<std::size_t>(1, std::min<std::size_t>(found.count, kMaxListed));
        for (std::size_t j = 0; j < named; ++j) {
            found.modules.push_back({reinterpret_cast<ModuleHandle>(handles[j]),
                                     names.Path(process.Get(), handles[j], path),
                                     names.Base(process.Get(), handles[j], base)});
        }
        return found;
    }

    std::vector<Task16> Tasks16(std::uint32_t processId) override {
        const auto enumTasks = Export<VdmEnumTaskWowExFn>(VdmDbg(), "VDMEnumTaskWOWEx");
        if (!enumTasks) return {};
        TaskList list;
        enumTasks(processId, &OnTask, reinterpret_cast<LPARAM>(&list));
        if (list.failure) std::rethrow_exception(list.failure);
        return std::move(list.tasks);
    }

    void Terminate(std::uint32_t processId) override {
        if (const win32::ScopedKernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, processId)); process) {
            ::TerminateProcess(process.Get(), 0);
        }
    }

    bool AnyRunning(const std::string& imagePath) override {
        const std::string_view wanted = BaseOf(imagePath);
        const auto listed = ReadSnapshot<std::pair<DWORD, std::string>>(
            TH32CS_SNAPPROCESS, &::Process32First, &::Process32Next, [](const PROCESSENTRY32& raw) {
                return std::pair(raw.th32ProcessID, NameInBuffer(raw.szExeFile, sizeof raw.szExeFile));
            });
        if (listed.status == SnapshotStatus::NotTaken) return true;  // cannot tell, so as if it ran
        for (const auto& [processId, exe] : listed.entries) {
            if (!ascii::EqualNoCase(BaseOf(exe), wanted)) continue;
            const win32::ScopedKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
            std::string path(32768, '\0');
            DWORD size = static_cast<DWORD>(path.size());
            if (!process || !::QueryFullProcessImageNameA(process.Get(), 0, path.data(), &size)) return true;
            if (ascii::EqualNoCase(std::string_view(path.data(), size), imagePath)) return true;
        }
        return false;
    }

private:
    static std::string_view BaseOf(std::string_view path) { return path.substr(path.rfind('\\') + 1); }

    // Loaded once and kept, so each call does not go back to the loader.
    HMODULE Psapi() {
        if (!psapi_) psapi_ = win32::ScopedLibrary(LoadSystemLibrary("psapi.dll"));
        return psapi_.Get();
    }

    HMODULE VdmDbg() {
        if (!vdmdbg_) vdmdbg_ = win32::ScopedLibrary(LoadSystemLibrary("vdmdbg.dll"));
        return vdmdbg_.Get();
    }

    win32::ScopedLibrary psapi_;
    win32::ScopedLibrary vdmdbg_;
};

}  // namespace

std::unique_ptr<ProcessSystem> CreateWin32ProcessSystem() { return std::make_unique<Win32ProcessSystem>(); }

}  // namespace brakkis
