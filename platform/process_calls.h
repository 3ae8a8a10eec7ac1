// The kernel32, psapi and vdmdbg calls that process enumeration and
// termination make, shaped like the calls themselves but with portable types.
// Handles are opaque numbers; 0 means "none" for every call here, including
// a snapshot that could not be taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace brakkis {

using KernelHandle = std::intptr_t;
using LibraryHandle = std::intptr_t;
using ModuleHandle = std::intptr_t;

namespace win {
inline constexpr std::uint32_t kTh32csSnapAll = 14;  // processes, threads and modules
inline constexpr std::uint32_t kProcessTerminate = 0x0001;
inline constexpr std::uint32_t kProcessQueryAndRead = 0x0410;
inline constexpr std::size_t kMaxPath = 260;
}  // namespace win

// The fields of the ANSI process entry that enumeration reads.
struct ProcessEntry {
    std::uint32_t processId = 0;
    std::uint32_t threadCount = 0;
    std::uint32_t parentProcessId = 0;
    std::int32_t basePriority = 0;
    // Not necessarily NUL-terminated when the name fills the buffer.
    char exeFile[win::kMaxPath] = {};
};

struct ThreadEntry {
    std::uint32_t threadId = 0;
    std::uint32_t ownerProcessId = 0;
    std::int32_t basePriority = 0;
    std::int32_t deltaPriority = 0;
};

// One 16-bit task, as the VDM library reports it. The file name points at a
// buffer of at least one character; it need not be NUL-terminated within
// win::kMaxPath characters. Return true to stop the enumeration.
using TaskVisitor = std::function<bool(std::uint32_t threadId, std::uint16_t module16,
                                       std::uint16_t task16, const char* moduleName,
                                       const char* fileName)>;

class ProcessCalls {
public:
    virtual ~ProcessCalls() = default;

    // Library probing: a name as LoadLibrary takes it.
    virtual LibraryHandle LoadLibrary(const std::string& name) = 0;
    virtual bool HasExport(LibraryHandle library, const std::string& exportName) = 0;
    virtual void FreeLibrary(LibraryHandle library) = 0;

    // Toolhelp.
    virtual KernelHandle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) = 0;
    virtual bool Process32First(KernelHandle snapshot, ProcessEntry& entry) = 0;
    virtual bool Process32Next(KernelHandle snapshot, ProcessEntry& entry) = 0;
    virtual bool Thread32First(KernelHandle snapshot, ThreadEntry& entry) = 0;
    virtual bool Thread32Next(KernelHandle snapshot, ThreadEntry& entry) = 0;

    // Processes.
    // Subsystem version: major in the high 16 bits; 0 when it cannot be read.
    virtual std::uint32_t GetProcessVersion(std::uint32_t processId) = 0;
    virtual KernelHandle OpenProcess(std::uint32_t access, bool inherit, std::uint32_t processId) = 0;
    virtual std::uint32_t GetPriorityClass(KernelHandle process) = 0;
    virtual bool TerminateProcess(KernelHandle process, std::uint32_t exitCode) = 0;
    virtual bool CloseHandle(KernelHandle handle) = 0;
    virtual std::uint32_t GetLastError() = 0;

    // psapi. Identifiers are 4 bytes each, so byte counts are as the call has them.
    virtual bool EnumProcesses(std::uint32_t* ids, std::uint32_t bytesOffered,
                               std::uint32_t& bytesReturned) = 0;
    // Counted in handles rather than bytes, because a handle is 8 bytes on
    // x64: fills at most `capacity`, reports how many the process has.
    virtual bool EnumProcessModules(KernelHandle process, ModuleHandle* modules, std::uint32_t capacity,
                                    std::uint32_t& modulesNeeded) = 0;
    // Both return the number of characters copied, without the NUL.
    virtual std::uint32_t GetModuleFileNameEx(KernelHandle process, ModuleHandle module, char* buffer,
                                              std::uint32_t size) = 0;
    virtual std::uint32_t GetModuleBaseName(KernelHandle process, ModuleHandle module, char* buffer,
                                            std::uint32_t size) = 0;

    // vdmdbg: the 16-bit tasks inside an ntvdm.exe process; returns how many.
    virtual std::int32_t VDMEnumTaskWOWEx(std::uint32_t processId, const TaskVisitor& visitor) = 0;
};

// Closes a handle from ProcessCalls when it goes out of scope.
class OwnedKernelHandle {
public:
    OwnedKernelHandle(ProcessCalls& calls, KernelHandle handle) noexcept : calls_(&calls), handle_(handle) {}
    OwnedKernelHandle(OwnedKernelHandle&& other) noexcept
        : calls_(other.calls_), handle_(std::exchange(other.handle_, 0)) {}
    OwnedKernelHandle(const OwnedKernelHandle&) = delete;
    OwnedKernelHandle& operator=(const OwnedKernelHandle&) = delete;
    OwnedKernelHandle& operator=(OwnedKernelHandle&&) = delete;
    ~OwnedKernelHandle() {
        if (handle_ != 0) calls_->CloseHandle(handle_);
    }
    KernelHandle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != 0; }

private:
    ProcessCalls* calls_;
    KernelHandle handle_;
};

}  // namespace brakkis
