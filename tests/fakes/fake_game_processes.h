// The launcher's simulated machine as the enumeration sees it: the shell, the
// launcher below it and, below the launcher, every program the launcher
// started that still runs, each under the path its command line starts.
// Ending one here ends it there, as killed from outside.
#pragma once

#include "tests/fakes/fake_process_system.h"
#include "tests/fakes/sim_machine.h"

namespace brakkis::sim {

class FakeGameProcesses final : public FakeProcessSystem {
public:
    explicit FakeGameProcesses(SimMachine& machine) : machine_(machine) { libraries = {true, true, false, false}; }

    Snapshot<ProcessEntry> ProcessSnapshot() override { return Refreshed().processes; }
    bool AnyRunning(const std::string& imagePath) override {
        return Refreshed().FakeProcessSystem::AnyRunning(imagePath);
    }
    void Terminate(std::uint32_t pid) override {
        if (SimProcess* started = machine_.Process(pid); started && started->alive) {
            started->killed = true;
            machine_.EndProcess(pid);
        }
    }

private:
    FakeGameProcesses& Refreshed() {
        processes.entries.clear();
        ids.clear();
        Add(0x10, 0, "explorer.exe");
        Add(0x20, 0x10, "Brakkis Isle.exe");
        for (const auto& started : machine_.Processes()) {
            const std::string& line = started->commandLine;
            const std::string image =
                line.starts_with('"') ? line.substr(1, line.find('"', 1) - 1) : line.substr(0, line.find(' '));
            if (!started->alive) continue;
            Add(started->pid, 0x20, image.substr(image.rfind('\\') + 1));
            imagePaths[started->pid] = image;
        }
        return *this;
    }

    SimMachine& machine_;
};

}  // namespace brakkis::sim
