// The launcher window on the simulated machine, over a fake disk holding
// the game folder: the registry, windows, processes and clock are simulated.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "launcher/launcher_form.h"
#include "launcher/launcher_texts.h"
#include "platform/error.h"
#include "platform/ports.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_process_system.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_window_tree.h"
#include "tests/fakes/sim_machine.h"
#include "tests/support/differences.h"
#include "tools/sample-installation/sample_installation.h"

namespace brakkis::testing {

inline const std::string kGame = "C:\\Games\\UnrealTournament\\System";

// The files of a sample installation, put on a disk.
inline void Install(fakes::FakeDisk& disk, const std::string& folder = kGame) {
    disk.MakeFolder(folder);
    for (const auto& [name, bytes] : sample::InstallationFiles()) disk.Put(folder + "\\" + name, bytes);
}

struct LauncherRig {
    LauncherRig() {
        machine.appPath = kGame;
        disk.MakeFolder(kGame);
    }

    Files Folder() const { return disk.Below(kGame); }

    // The data of the recovery value, or "(none)".
    std::string RunValue(RegKey root = reg::kLocalMachine) {
        auto& values = registry.keys[sim::FakeRegistry::Path(root, texts::kRunKey)];
        if (!values.count(texts::kRunValueName)) return "(none)";
        const auto& [type, data] = values[texts::kRunValueName];
        return type == reg::kSz ? data.substr(0, data.find('\0')) : data;
    }
    void SetRunValue(std::uint32_t type, const std::string& data, RegKey root = reg::kLocalMachine) {
        registry.keys[sim::FakeRegistry::Path(root, texts::kRunKey)][texts::kRunValueName] = {
            type, type == reg::kSz ? data + '\0' : data};
    }

    // Loads the window and runs its message loop for at most the given time.
    void Run(const std::string& commandLine, std::uint64_t forMs = 1000) {
        machine.commandLine = commandLine;
        machine.RunForm(form, machine.Now() + forMs);
    }

    fakes::FakeDisk disk;
    sim::SimMachine machine;
    sim::FakeRegistry registry;
    sim::FakeGameProcesses processes{machine};
    sim::FakeWindowTree windowEnum;
    bool failFileSystem = false;
    bool failShell = false;
    Ports ports{machine,
                machine,
                registry,
                machine,
                processes,
                windowEnum,
                machine,
                [this]() -> std::unique_ptr<FileSystem> {
                    if (failFileSystem) throw RaisedError(429, "Brakkis Isle", "ActiveX component can't create object");
                    return std::make_unique<fakes::FakeFileSystem>(disk);
                },
                [this]() -> std::unique_ptr<Shell> {
                    if (failShell) throw RaisedError(429, "Brakkis Isle", "ActiveX component can't create object");
                    return std::make_unique<sim::SimShell>(machine);
                }};
    LauncherForm form{ports};
};

}  // namespace brakkis::testing
