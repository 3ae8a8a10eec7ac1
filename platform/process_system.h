// What the program asks the system about its processes: the libraries it can
// enumerate with, whole-system snapshots of processes and threads, psapi's
// process list and module names, the 16-bit tasks of ntvdm.exe, ending a
// process, and whether a program is still running. Each answer is plain
// data; the adapter does the system's iteration, buffers and handle closing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brakkis {

using ModuleHandle = std::intptr_t;

struct SystemLibraries {
    bool kernel32 = false;  // "kernel32" loads
    bool toolhelp = false;  // it exports CreateToolhelp32Snapshot
    bool psapi = false;     // psapi.dll loads
    bool vdmdbg = false;    // vdmdbg.dll loads
};

enum class SnapshotStatus { Listed, NotTaken, FirstEntryFailed };

// Everything one toolhelp snapshot lists, in its order.
template <class Entry>
struct Snapshot {
    SnapshotStatus status = SnapshotStatus::Listed;
    std::uint32_t error = 0;  // the system's error code when the first entry could not be read
    std::vector<Entry> entries{};
};

struct ProcessEntry {
    std::uint32_t processId = 0;
    std::uint32_t threadCount = 0;
    std::uint32_t parentProcessId = 0;
    std::int32_t basePriority = 0;
    // Up to its NUL; empty when the 260-character name held none.
    std::string exeFile{};
    // Subsystem version, major in the high 16 bits; 0 when it cannot be read.
    std::uint32_t version = 0;
};

struct ThreadEntry {
    std::uint32_t threadId = 0;
    std::uint32_t ownerProcessId = 0;
    std::int32_t basePriority = 0;
    std::int32_t deltaPriority = 0;
};

// Names as 300-character buffers hold them.
struct ModuleEntry {
    ModuleHandle handle = 0;
    std::string fileName{};
    std::string baseName{};
    bool operator==(const ModuleEntry&) const = default;
};

struct ProcessModules {
    bool opened = false;  // for querying and reading its memory
    std::uint32_t priorityClass = 0;
    bool listed = false;      // its module handles could be listed
    std::uint32_t count = 0;  // as the system reports it, however many there are
    // The first 1000 at most, the main executable first.
    std::vector<ModuleEntry> modules{};
};

struct Task16 {
    std::uint32_t threadId = 0;
    std::uint16_t task = 0;
    std::string fileName{};  // up to its NUL; empty when 260 characters held none
};

class ProcessSystem {
public:
    virtual ~ProcessSystem() = default;

    // Each library is loaded from the system folder only and freed again.
    virtual SystemLibraries ProbeLibraries() = 0;
    // Each takes its own snapshot of processes, threads and modules.
    virtual Snapshot<ProcessEntry> ProcessSnapshot() = 0;
    virtual Snapshot<ThreadEntry> ThreadSnapshot() = 0;
    // psapi's list of process identifiers: 1000 at most.
    virtual std::vector<std::uint32_t> ProcessIds() = 0;
    virtual ProcessModules Modules(std::uint32_t processId) = 0;
    // The 16-bit tasks inside an ntvdm.exe process.
    virtual std::vector<Task16> Tasks16(std::uint32_t processId) = 0;
    // Asks the system to end the process with exit code 0; whether it could is not told.
    virtual void Terminate(std::uint32_t processId) = 0;
    // Whether a process runs whose full image path equals imagePath in any
    // letter case. One with the same executable name whose path cannot be
    // read counts as running: better to wait than to act under a live game.
    virtual bool AnyRunning(const std::string& imagePath) = 0;
};

}  // namespace brakkis
