// Processes as plain data: each call answers from the fields below, so a test
// states what the system reports, down to a snapshot that failed.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii_case.h"
#include "platform/process_system.h"

namespace brakkis::sim {

struct FakeProcessSystem : ProcessSystem {
    SystemLibraries libraries{true, true, true, true};
    Snapshot<ProcessEntry> processes;
    Snapshot<ThreadEntry> threads;
    std::vector<std::uint32_t> ids;                   // psapi's list
    std::map<std::uint32_t, ProcessModules> modules;  // a process not here cannot be opened
    std::map<std::uint32_t, std::vector<Task16>> tasks;
    std::map<std::uint32_t, std::string> imagePaths;  // a process not here has a path nobody can read
    std::vector<std::uint32_t> terminated;            // in the order asked

    // A process as every source lists it, its executable in C:\Apps.
    void Add(std::uint32_t pid, std::uint32_t parentPid, const std::string& exe, std::vector<std::uint32_t> tids = {}) {
        processes.entries.push_back({pid, static_cast<std::uint32_t>(tids.size()), parentPid, 8, exe, 0x40000});
        for (std::uint32_t tid : tids) threads.entries.push_back({tid, pid, 8, 0});
        ids.push_back(pid);
        imagePaths[pid] = "C:\\Apps\\" + exe;
        modules[pid] = {true, 0x20, true, 1, {{0x400000, imagePaths[pid], exe}}};
    }

    SystemLibraries ProbeLibraries() override { return libraries; }
    Snapshot<ProcessEntry> ProcessSnapshot() override { return processes; }
    Snapshot<ThreadEntry> ThreadSnapshot() override { return threads; }
    std::vector<std::uint32_t> ProcessIds() override { return ids; }
    ProcessModules Modules(std::uint32_t pid) override {
        return modules.contains(pid) ? modules[pid] : ProcessModules{};
    }
    std::vector<Task16> Tasks16(std::uint32_t pid) override { return tasks[pid]; }
    void Terminate(std::uint32_t pid) override {
        terminated.push_back(pid);
        std::erase_if(processes.entries, [&](const ProcessEntry& entry) { return entry.processId == pid; });
    }
    bool AnyRunning(const std::string& imagePath) override {
        const auto base = [](std::string_view path) { return path.substr(path.rfind('\\') + 1); };
        return std::any_of(processes.entries.begin(), processes.entries.end(), [&](const ProcessEntry& entry) {
            const auto path = imagePaths.find(entry.processId);
            return ascii::EqualNoCase(base(entry.exeFile), base(imagePath)) &&
                   (path == imagePaths.end() || ascii::EqualNoCase(path->second, imagePath));
        });
    }
};

}  // namespace brakkis::sim
