// The launcher's simulated machine as the enumeration sees it: below the
// launcher, every program it started that still runs, under the path its
// command line starts with. Ending one here ends it there, as if killed.
#pragma once

#include "tests/fakes/fake_process_system.h"
#include "tests/fakes/sim_machine.h"

namespace brakkis::sim {

class FakeGameProcesses final : public FakeProcessSystem {
public:
    explicit FakeGameProcesses(SimMachine& machine) : machine_(machine) { libraries.psapi = libraries.vdmdbg = false; }

    Snapshot<ProcessEntry> ProcessSnapshot() override { return Refreshed().processes; }
    bool AnyRunning(const std::string& path) override { return Refreshed().FakeProcessSystem::AnyRunning(path); }
    void Terminate(std::uint32_t pid) override {
        if (SimProcess* started = machine_.Process(pid); started && started->alive) {
            started->killed = true;
            machine_.EndProcess(pid);
        }
    }

private:
    FakeGameProcesses& Refreshed() {
        processes.entries.clear(), ids.clear();
        for (const auto& started : machine_.Processes()) {
            const std::string& line = started->commandLine;
            const bool quoted = line.starts_with('"');
            if (started->alive) Add(started->pid, 0x20, line.substr(quoted, line.find(quoted ? '"' : ' ', 1) - quoted));
        }
        return *this;
    }

    SimMachine& machine_;
};

}  // namespace brakkis::sim
