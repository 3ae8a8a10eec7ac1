// A simulated machine for process and window enumeration: a test lays out
// processes (with parents, threads, modules and 16-bit tasks), a window tree
// under a desktop window, and which system libraries exist; SimProcessCalls
// and SimWindowEnumCalls then answer as the system would. Ending a process
// takes it and its windows away, so a later enumeration no longer sees it.
//
// It can also stand beside the launcher's SimMachine (MirrorLauncherMachine):
// the processes that machine started show up here as children of one laid-out
// process, and ending them here ends them there.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/process_calls.h"
#include "tests/fakes/sim_machine.h"
#include "platform/window_enum_calls.h"

namespace brakkis::sim {

struct SimThreadLayout {
    std::uint32_t threadId = 0;
    std::int32_t basePriority = 8;
    std::int32_t deltaPriority = 0;
};

struct SimModuleLayout {
    ModuleHandle handle = 0;
    std::string path;  // the base name is the part after the last backslash
};

// A 16-bit task inside an ntvdm.exe process.
struct SimTask {
    std::uint32_t threadId = 0;
    std::uint16_t module16 = 0;
    std::uint16_t task16 = 0;
    std::string moduleName;
    std::string fileName;
};

struct SimRunningProcess {
    std::uint32_t pid = 0;
    std::uint32_t parentPid = 0;
    std::string exeName;    // as the process snapshot lists it
    std::string imagePath;  // as psapi reports the main module; exeName when empty
    ModuleHandle mainModule = 0x00400000;
    std::int32_t basePriority = 8;
    std::uint32_t priorityClass = 0x20;  // normal
    std::uint32_t version = 0x00040000;  // subsystem 4.0
    std::vector<SimThreadLayout> threads;
    std::vector<SimModuleLayout> modules;  // besides the main module
    std::vector<SimTask> tasks;
    bool inProcessSnapshot = true;  // false: started after it, as its threads show
    bool listedByPsapi = true;
    bool canOpen = true;
    bool canListModules = true;
};

struct SimEnumWindow {
    WindowHandle hwnd = 0;
    WindowHandle parent = 0;  // 0: top-level; the desktop: a child of the desktop
    std::uint32_t processId = 0;
    std::uint32_t threadId = 0;
    std::string className = "SimWindow";
    std::string text;
    std::int32_t style = 0;
    std::int32_t exStyle = 0;
    WindowRect rect;
    std::intptr_t instance = 0;
    bool hung = false;  // never answers a message
    std::vector<WindowHandle> children;
};

class SimProcessMachine {
public:
    static constexpr WindowHandle kDesktop = 0x00010008;

    SimProcessMachine();

    // Processes, in the order the system lists them.
    SimRunningProcess& AddProcess(std::uint32_t pid, std::uint32_t parentPid, const std::string& exeName);
    SimRunningProcess* Process(std::uint32_t pid);
    bool Alive(std::uint32_t pid) const;
    // Gone at once, with its windows.
    void EndProcess(std::uint32_t pid, std::int32_t exitCode = 0);

    // Windows, front to back among their siblings.
    WindowHandle AddWindow(std::uint32_t pid, std::uint32_t tid, WindowHandle parent = 0,
                           const std::string& text = std::string());
    SimEnumWindow* Window(WindowHandle hwnd);
    void DestroyWindow(WindowHandle hwnd);
    SimEnumWindow& DesktopWindow() { return windows_.at(kDesktop); }

    void MirrorLauncherMachine(SimMachine& launcherMachine, std::uint32_t parentPid);

    // What the system offers.
    bool kernel32Loads = true;
    bool toolhelpExported = true;
    bool psapiPresent = true;
    bool vdmdbgPresent = true;
    // Snapshots by their number since the machine was made, from 1, that cannot be taken.
    std::set<int> failingSnapshots;
    // Error codes with which the first entry of a snapshot cannot be read; 0 for success.
    std::uint32_t firstProcessEntryError = 0;
    std::uint32_t firstThreadEntryError = 0;
    // Runs before each snapshot is taken, with its number: lets a test start
    // or end processes between the process and the thread snapshot.
    std::function<void(int)> beforeSnapshot;
    // Runs as each top-level window is handed to the caller, after the list was made.
    std::function<void(WindowHandle)> onWindowListed;

    // The enumerating program itself, whose modules GetModuleFileName names.
    std::uint32_t selfPid = 0;
    std::intptr_t selfInstance = 0x00400000;
    // Lead bytes of the ANSI code page; none for a single-byte one.
    std::set<std::uint8_t> leadBytes;

    // What the callers did.
    std::vector<std::uint32_t> terminated;  // in the order asked
    std::uint32_t longestTextWaitMs = 0;
    int hungWindowsAsked = 0;

    // The parts the adapters share.
    struct Snapshot {
        std::vector<std::shared_ptr<const SimRunningProcess>> processes;
        std::vector<ThreadEntry> threads;
        std::size_t nextProcess = 0, nextThread = 0;
    };
    struct ProcessHandleInfo {
        std::uint32_t pid = 0;
        std::uint32_t access = 0;
    };
    KernelHandle TakeSnapshot();
    Snapshot* FindSnapshot(KernelHandle handle);
    KernelHandle OpenProcessHandle(std::uint32_t pid, std::uint32_t access);
    const ProcessHandleInfo* FindProcessHandle(KernelHandle handle) const;
    bool CloseKernelHandle(KernelHandle handle);
    std::size_t OpenHandleCount() const { return snapshots_.size() + processHandles_.size(); }
    std::vector<std::shared_ptr<const SimRunningProcess>> ListedProcesses();
    std::vector<WindowHandle> TopLevelWindows();
    std::uint32_t lastError = 0;

private:
    std::shared_ptr<SimRunningProcess> Mirrored(const SimProcess& process) const;

    std::vector<std::uint32_t> order_;
    std::unordered_map<std::uint32_t, std::shared_ptr<SimRunningProcess>> processes_;
    std::unordered_map<WindowHandle, SimEnumWindow> windows_;
    std::vector<WindowHandle> topLevel_;
    WindowHandle nextHwnd_ = 0x00200000;
    int snapshotsTaken_ = 0;
    KernelHandle nextHandle_ = 0x100;
    std::unordered_map<KernelHandle, Snapshot> snapshots_;
    std::unordered_map<KernelHandle, ProcessHandleInfo> processHandles_;
    SimMachine* launcher_ = nullptr;
    std::uint32_t launcherParentPid_ = 0;
};

class SimProcessCalls : public ProcessCalls {
public:
    explicit SimProcessCalls(SimProcessMachine& machine) : m_(machine) {}
    LibraryHandle LoadLibrary(const std::string& name) override;
    bool HasExport(LibraryHandle library, const std::string& exportName) override;
    void FreeLibrary(LibraryHandle library) override;
    KernelHandle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) override;
    bool Process32First(KernelHandle snapshot, ProcessEntry& entry) override;
    bool Process32Next(KernelHandle snapshot, ProcessEntry& entry) override;
    bool Thread32First(KernelHandle snapshot, ThreadEntry& entry) override;
    bool Thread32Next(KernelHandle snapshot, ThreadEntry& entry) override;
    std::uint32_t GetProcessVersion(std::uint32_t processId) override;
    KernelHandle OpenProcess(std::uint32_t access, bool inherit, std::uint32_t processId) override;
    std::uint32_t GetPriorityClass(KernelHandle process) override;
    bool TerminateProcess(KernelHandle process, std::uint32_t exitCode) override;
    bool CloseHandle(KernelHandle handle) override;
    std::uint32_t GetLastError() override { return m_.lastError; }
    bool EnumProcesses(std::uint32_t* ids, std::uint32_t bytesOffered, std::uint32_t& bytesReturned) override;
    bool EnumProcessModules(KernelHandle process, ModuleHandle* modules, std::uint32_t capacity,
                            std::uint32_t& modulesNeeded) override;
    std::uint32_t GetModuleFileNameEx(KernelHandle process, ModuleHandle module, char* buffer,
                                      std::uint32_t size) override;
    std::uint32_t GetModuleBaseName(KernelHandle process, ModuleHandle module, char* buffer,
                                    std::uint32_t size) override;
    std::int32_t VDMEnumTaskWOWEx(std::uint32_t processId, const TaskVisitor& visitor) override;

    int librariesLoaded = 0;  // not yet freed

private:
    SimProcessMachine& m_;
};

class SimWindowEnumCalls : public WindowEnumCalls {
public:
    explicit SimWindowEnumCalls(SimProcessMachine& machine) : m_(machine) {}
    WindowHandle GetDesktopWindow() override { return SimProcessMachine::kDesktop; }
    bool EnumWindows(const WindowVisitor& visitor) override;
    bool EnumChildWindows(WindowHandle parent, const WindowVisitor& visitor) override;
    std::uint32_t GetWindowThreadProcessId(WindowHandle hwnd, std::uint32_t& processId) override;
    WindowHandle GetParent(WindowHandle hwnd) override;
    std::int32_t GetClassName(WindowHandle hwnd, char* buffer, std::int32_t size) override;
    std::intptr_t GetWindowLongPtr(WindowHandle hwnd, std::int32_t index) override;
    bool GetWindowRect(WindowHandle hwnd, WindowRect& rect) override;
    bool SendTextLengthMessage(WindowHandle hwnd, std::uint32_t timeoutMs, std::intptr_t& length) override;
    bool SendGetTextMessage(WindowHandle hwnd, char* buffer, std::intptr_t size, std::uint32_t timeoutMs,
                            std::intptr_t& copied) override;
    std::uint32_t GetModuleFileName(std::intptr_t module, char* buffer, std::uint32_t size) override;
    std::intptr_t OwnInstance() override { return m_.selfInstance; }
    bool IsDbcsLeadByte(std::uint8_t byte) override { return m_.leadBytes.count(byte) != 0; }

private:
    SimProcessMachine& m_;
};

}  // namespace brakkis::sim
