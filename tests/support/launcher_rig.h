// The launcher window on the simulated machine, over a fake disk holding a
// sample installation: the registry, windows, processes and clock are simulated.
#pragma once

#include <memory>
#include <string>

#include "launcher/launcher_form.h"
#include "launcher/launcher_texts.h"
#include "platform/error.h"
#include "tests/fakes/fake_file_system.h"
#include "tests/fakes/fake_process_system.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_window_tree.h"
#include "tests/support/differences.h"
#include "tools/sample-installation/sample_installation.h"

namespace brakkis::testing {

inline const std::string kGame = "C:\\Games\\UnrealTournament\\System";
// A service object that cannot be created raises as a missing ActiveX component does.
inline const RaisedError kUncreatable{429, "Brakkis Isle", "ActiveX component can't create object"};

struct LauncherRig {
    LauncherRig() {
        disk.MakeFolder(kGame);
        for (const auto& [name, bytes] : sample::InstallationFiles()) disk.Put(kGame + "\\" + name, bytes);
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

    fakes::FakeDisk disk;
    sim::SimMachine machine;
    sim::FakeRegistry registry;
    sim::FakeGameProcesses processes{machine};
    sim::FakeWindowTree windowEnum;
    bool failFileSystem = false, failShell = false;
    std::function<std::unique_ptr<FileSystem>()> files = [this] {
        return failFileSystem ? throw kUncreatable : std::make_unique<fakes::FakeFileSystem>(disk);
    };
    std::function<std::unique_ptr<Shell>()> shell = [this] {
        return failShell ? throw kUncreatable : std::make_unique<sim::SimShell>(machine);
    };
    Ports ports{machine, machine, registry, machine, processes, windowEnum, machine, files, shell};
    LauncherForm form{ports};
};

}  // namespace brakkis::testing
