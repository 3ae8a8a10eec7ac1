#include "platform/win32/win32_process_calls.h"

#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

#include <tlhelp32.h>

// The port's method names; keep the ANSI/wide macros off them.
#undef LoadLibrary
#undef GetModuleFileNameEx
#undef GetModuleBaseName

namespace brakkis {
namespace {

HANDLE ToHandle(KernelHandle handle) { return reinterpret_cast<HANDLE>(handle); }
KernelHandle FromHandle(HANDLE handle) {
    return handle == nullptr || handle == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<KernelHandle>(handle);
}

// A library from the system folder, never from the game folder or the
// current one, where anybody could drop a psapi.dll.
HMODULE LoadSystemLibrary(const std::string& name) {
    const HMODULE library = ::LoadLibraryExA(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) return library;
    // A system whose loader lacks the search flags: name the folder outright.
    char folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path = std::string(folder, length) + "\\" + name;
    if (name.find('.') == std::string::npos) path += ".dll";
    return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <class Fn>
Fn Export(HMODULE library, const char* name) {
    return library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name))) : nullptr;
}

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using ModuleTextFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
using TaskEnumProcEx = BOOL(WINAPI*)(DWORD, WORD, WORD, PSZ, PSZ, LPARAM);
using VdmEnumTaskWowExFn = INT(WINAPI*)(DWORD, TaskEnumProcEx, LPARAM);

// The visitor runs inside vdmdbg; an exception must not unwind through it.
struct TaskContext {
    const TaskVisitor* visitor;
    std::exception_ptr failure;
};

BOOL WINAPI OnTask(DWORD threadId, WORD module16, WORD task16, PSZ moduleName, PSZ fileName, LPARAM user) {
    auto* context = reinterpret_cast<TaskContext*>(user);
    try {
        return (*context->visitor)(threadId, module16, task16, moduleName ? moduleName : "",
                                   fileName ? fileName : "")
                   ? TRUE
                   : FALSE;
    } catch (...) {
        context->failure = std::current_exception();
        return TRUE;
    }
}

class Win32ProcessCalls final : public ProcessCalls {
public:
    LibraryHandle LoadLibrary(const std::string& name) override {
        return reinterpret_cast<LibraryHandle>(LoadSystemLibrary(name));
    }

    bool HasExport(LibraryHandle library, const std::string& exportName) override {
        return Export<void (*)()>(reinterpret_cast<HMODULE>(library), exportName.c_str()) != nullptr;
    }

    void FreeLibrary(LibraryHandle library) override {
        if (library != 0) ::FreeLibrary(reinterpret_cast<HMODULE>(library));
    }

    KernelHandle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) override {
        // A module list that changes while it is read fails with a bad
        // length; the system asks callers to try again.
        for (int attempt = 0;; ++attempt) {
            const HANDLE snapshot = ::CreateToolhelp32Snapshot(flags, processId);
            if (snapshot != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_BAD_LENGTH || attempt == 4) {
                return FromHandle(snapshot);
            }
        }
    }

    bool Process32First(KernelHandle snapshot, ProcessEntry& entry) override {
        PROCESSENTRY32 raw{};
        raw.dwSize = sizeof raw;
        return Copy(::Process32First(ToHandle(snapshot), &raw), raw, entry);
    }

    bool Process32Next(KernelHandle snapshot, ProcessEntry& entry) override {
        PROCESSENTRY32 raw{};
        raw.dwSize = sizeof raw;
        return Copy(::Process32Next(ToHandle(snapshot), &raw), raw, entry);
    }

    bool Thread32First(KernelHandle snapshot, ThreadEntry& entry) override {
        THREADENTRY32 raw{};
        raw.dwSize = sizeof raw;
        return Copy(::Thread32First(ToHandle(snapshot), &raw), raw, entry);
    }

    bool Thread32Next(KernelHandle snapshot, ThreadEntry& entry) override {
        THREADENTRY32 raw{};
        raw.dwSize = sizeof raw;
        return Copy(::Thread32Next(ToHandle(snapshot), &raw), raw, entry);
    }

    std::uint32_t GetProcessVersion(std::uint32_t processId) override { return ::GetProcessVersion(processId); }

    KernelHandle OpenProcess(std::uint32_t access, bool inherit, std::uint32_t processId) override {
        return FromHandle(::OpenProcess(access, inherit ? TRUE : FALSE, processId));
    }

    std::uint32_t GetPriorityClass(KernelHandle process) override { return ::GetPriorityClass(ToHandle(process)); }

    bool TerminateProcess(KernelHandle process, std::uint32_t exitCode) override {
        return ::TerminateProcess(ToHandle(process), exitCode) != FALSE;
    }

    bool CloseHandle(KernelHandle handle) override {
        if (moduleTable_ && moduleTable_->process == handle) moduleTable_.reset();
        return ::CloseHandle(ToHandle(handle)) != FALSE;
    }

    std::uint32_t GetLastError() override { return ::GetLastError(); }

    bool EnumProcesses(std::uint32_t* ids, std::uint32_t bytesOffered, std::uint32_t& bytesReturned) override {
        bytesReturned = 0;
        const auto fn = Export<EnumProcessesFn>(Psapi(), "EnumProcesses");
        if (!fn) return false;
        std::vector<DWORD> raw(bytesOffered / sizeof(DWORD));
        DWORD returned = 0;
        const BOOL ok = fn(raw.data(), static_cast<DWORD>(raw.size() * sizeof(DWORD)), &returned);
        for (std::size_t i = 0; i < returned / sizeof(DWORD) && i < raw.size(); ++i) ids[i] = raw[i];
        bytesReturned = returned;
        return ok != FALSE;
    }

    bool EnumProcessModules(KernelHandle process, ModuleHandle* modules, std::uint32_t capacity,
                            std::uint32_t& modulesNeeded) override {
        modulesNeeded = 0;
        const auto fn = Export<EnumProcessModulesFn>(Psapi(), "EnumProcessModules");
        if (!fn) return false;
        std::vector<HMODULE> raw(capacity);
        DWORD needed = 0;
        if (!fn(ToHandle(process), raw.data(), static_cast<DWORD>(raw.size() * sizeof(HMODULE)), &needed)) {
            return false;
        }
        modulesNeeded = needed / sizeof(HMODULE);
        for (std::uint32_t i = 0; i < modulesNeeded && i < capacity; ++i) {
            modules[i] = reinterpret_cast<ModuleHandle>(raw[i]);
        }
        ReadModuleTable(process);
        return true;
    }

    std::uint32_t GetModuleFileNameEx(KernelHandle process, ModuleHandle module, char* buffer,
                                      std::uint32_t size) override {
        if (const auto known = KnownText(process, module, &ModuleTexts::path, MAX_PATH, buffer, size)) return *known;
        const auto fn = Export<ModuleTextFn>(Psapi(), "GetModuleFileNameExA");
        return fn ? fn(ToHandle(process), reinterpret_cast<HMODULE>(module), buffer, size) : 0;
    }

    std::uint32_t GetModuleBaseName(KernelHandle process, ModuleHandle module, char* buffer,
                                    std::uint32_t size) override {
        if (const auto known = KnownText(process, module, &ModuleTexts::base, MAX_MODULE_NAME32 + 1, buffer, size)) {
            return *known;
        }
        const auto fn = Export<ModuleTextFn>(Psapi(), "GetModuleBaseNameA");
        return fn ? fn(ToHandle(process), reinterpret_cast<HMODULE>(module), buffer, size) : 0;
    }

    std::int32_t VDMEnumTaskWOWEx(std::uint32_t processId, const TaskVisitor& visitor) override {
        const auto fn = Export<VdmEnumTaskWowExFn>(VdmDbg(), "VDMEnumTaskWOWEx");
        if (!fn) return 0;
        TaskContext context{&visitor, nullptr};
        const INT count = fn(processId, &OnTask, reinterpret_cast<LPARAM>(&context));
        if (context.failure) std::rethrow_exception(context.failure);
        return count;
    }

private:
    static bool Copy(BOOL ok, const PROCESSENTRY32& raw, ProcessEntry& entry) {
        if (!ok) return false;
        entry.processId = raw.th32ProcessID;
        entry.threadCount = raw.cntThreads;
        entry.parentProcessId = raw.th32ParentProcessID;
        entry.basePriority = raw.pcPriClassBase;
        static_assert(sizeof raw.szExeFile == sizeof entry.exeFile);
        for (std::size_t i = 0; i < sizeof entry.exeFile; ++i) entry.exeFile[i] = raw.szExeFile[i];
        return true;
    }

    static bool Copy(BOOL ok, const THREADENTRY32& raw, ThreadEntry& entry) {
        if (!ok) return false;
        entry.threadId = raw.th32ThreadID;
        entry.ownerProcessId = raw.th32OwnerProcessID;
        entry.basePriority = raw.tpBasePri;
        entry.deltaPriority = raw.tpDeltaPri;
        return true;
    }

    // psapi finds a module by walking the process's loader list from its
    // head, reading the other process's memory entry by entry, for every
    // single name: naming all of a process's modules costs reads in the
    // square of their number, and under Wine each read is a trip through the
    // server. A module snapshot of the process walks the list once and
    // carries the loader's same two strings, so the names of the process
    // whose modules were just listed are taken from it. A name the snapshot
    // may have cut at its buffer's end, one that would not fit the caller's
    // buffer, and a module the snapshot lacks still go to psapi.
    struct ModuleTexts {
        std::string path;
        std::string base;
    };
    struct ModuleTable {
        KernelHandle process = 0;
        std::unordered_map<ModuleHandle, ModuleTexts> modules;
    };

    void ReadModuleTable(KernelHandle process) {
        moduleTable_.reset();
        const DWORD processId = ::GetProcessId(ToHandle(process));
        if (processId == 0) return;
        HANDLE raw = INVALID_HANDLE_VALUE;
        for (int attempt = 0; attempt < 5; ++attempt) {
            raw = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
            if (raw != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_BAD_LENGTH) break;
        }
        if (raw == INVALID_HANDLE_VALUE || raw == nullptr) return;
        const win32::ScopedKernelHandle snapshot(raw);
        ModuleTable table;
        table.process = process;
        MODULEENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Module32First(snapshot.Get(), &entry); more; more = ::Module32Next(snapshot.Get(), &entry)) {
            table.modules[reinterpret_cast<ModuleHandle>(entry.hModule)] = {
                std::string(entry.szExePath, ::strnlen(entry.szExePath, sizeof entry.szExePath)),
                std::string(entry.szModule, ::strnlen(entry.szModule, sizeof entry.szModule))};
        }
        moduleTable_ = std::move(table);
    }

    // The text from the table, copied as psapi copies one that fits; nothing
    // when psapi must be asked.
    std::optional<std::uint32_t> KnownText(KernelHandle process, ModuleHandle module, std::string ModuleTexts::*field,
                                           std::size_t snapshotRoom, char* buffer, std::uint32_t size) const {
        if (!moduleTable_ || moduleTable_->process != process || buffer == nullptr) return std::nullopt;
        const auto found = moduleTable_->modules.find(module);
        if (found == moduleTable_->modules.end()) return std::nullopt;
        const std::string& text = found->second.*field;
        if (text.empty() || text.size() + 1 >= snapshotRoom || text.size() + 1 > size) return std::nullopt;
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<std::uint32_t>(text.size());
    }

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
    std::optional<ModuleTable> moduleTable_;
};

}  // namespace

std::unique_ptr<ProcessCalls> CreateWin32ProcessCalls() { return std::make_unique<Win32ProcessCalls>(); }

}  // namespace brakkis
