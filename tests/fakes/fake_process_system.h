// Processes as plain data, each call answering from a field; a process not in `modules` cannot be opened.
#pragma once

#include <algorithm>
#include <map>

#include "platform/ascii_case.h"
#include "platform/process_system.h"
#include "tests/fakes/sim_machine.h"

namespace brakkis::sim {

struct FakeProcessSystem : ProcessSystem {
    SystemLibraries libraries{true, true, true, true};
    Snapshot<ProcessEntry> processes;
    Snapshot<ThreadEntry> threads;
    std::vector<std::uint32_t> ids;  // psapi's list
    std::map<std::uint32_t, ProcessModules> modules;
    std::map<std::uint32_t, std::vector<Task16>> tasks;
    std::vector<std::uint32_t> terminated;  // in the order asked

    // A process as every source lists it: toolhelp by its name, psapi by its path.
    void Add(std::uint32_t pid, std::uint32_t parent, const std::string& path, std::vector<std::uint32_t> tids = {}) {
        const std::string exe = path.substr(path.rfind('\\') + 1);
        processes.entries.push_back({pid, static_cast<std::uint32_t>(tids.size()), parent, 8, exe, 0x40000});
        for (std::uint32_t tid : tids) threads.entries.push_back({tid, pid, 8, 0});
        ids.push_back(pid);
        modules[pid] = {true, 0x20, true, 1, {{0x400000, path, exe}}};
    }

    SystemLibraries ProbeLibraries() override { return libraries; }
    Snapshot<ProcessEntry> ProcessSnapshot() override { return processes; }
    Snapshot<ThreadEntry> ThreadSnapshot() override { return threads; }
    std::vector<std::uint32_t> ProcessIds() override { return ids; }
    ProcessModules Modules(std::uint32_t pid) override { return modules[pid]; }
    std::vector<Task16> Tasks16(std::uint32_t pid) override { return tasks[pid]; }
    void Terminate(std::uint32_t pid) override {
        terminated.push_back(pid);
        std::erase_if(processes.entries, [&](const ProcessEntry& entry) { return entry.processId == pid; });
    }
    bool AnyRunning(const std::string& path) override {
        return std::ranges::any_of(processes.entries, [&](const ProcessEntry& entry) {
            const std::vector<ModuleEntry>& named = modules[entry.processId].modules;
            return !named.empty() && ascii::EqualNoCase(named[0].fileName, path);
        });
    }
};

// The launcher's machine: each program it started that still runs, under its command line's path; ended as if killed.
struct FakeGameProcesses final : FakeProcessSystem {
    explicit FakeGameProcesses(SimMachine& machine) : machine(machine) { libraries.psapi = libraries.vdmdbg = false; }

    Snapshot<ProcessEntry> ProcessSnapshot() override { return Refreshed().processes; }
    bool AnyRunning(const std::string& path) override { return Refreshed().FakeProcessSystem::AnyRunning(path); }
    void Terminate(std::uint32_t pid) override {
        if (SimProcess* started = machine.Process(pid); started && started->alive) started->killed = true;
        machine.EndProcess(pid);
    }
    FakeGameProcesses& Refreshed() {
        processes.entries.clear(), ids.clear();
        for (const auto& started : machine.Processes()) {
            const std::string& line = started->commandLine;
            const bool quoted = line.starts_with('"');
            if (started->alive) Add(started->pid, 0x20, line.substr(quoted, line.find(quoted ? '"' : ' ', 1) - quoted));
        }
        return *this;
    }

    SimMachine& machine;
};

}  // namespace brakkis::sim
