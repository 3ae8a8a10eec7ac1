// The launcher window on a simulated machine over a real temporary game
// folder: the registry, windows, processes and clock are simulated, the files
// are the host's own.
#pragma once

#include <memory>
#include <string>

#include "launcher/launcher_form.h"
#include "platform/error.h"
#include "platform/ports.h"
#include "tests/fakes/fake_game_processes.h"
#include "tests/fakes/fake_window_tree.h"
#include "tests/fakes/sim_machine.h"
#include "tests/fakes/sim_registry.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/native_file_system.h"
#include "tests/support/temp_folder.h"

namespace brakkis {

// The window's file routines, reached without going through start-up.
class LauncherFormPeer {
public:
    static void Stage(LauncherForm& form) { form.StageGameFiles(); }
    static void Restore(LauncherForm& form) { form.RestoreGameFiles(); }
    static void CarryRenderDevice(LauncherForm& form) { form.CarryRenderDevice(); }
};

}  // namespace brakkis

namespace brakkis::testing {

inline constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

struct LauncherRig {
    LauncherRig() { machine.appPath = folder.Path(); }

    // The data of the recovery value, or "(none)".
    std::string RunValue() {
        RegKey key = 0;
        if (registry.OpenKeyEx(reg::kLocalMachine, kRunKey, 0, reg::kQueryValue, &key) != 0) return "(none)";
        std::uint32_t type = 0, size = 0;
        std::string data;
        if (registry.QueryValueEx(key, "Brakkis", &type, nullptr, &size) == 0) {
            data.resize(size);
            registry.QueryValueEx(key, "Brakkis", &type, reinterpret_cast<std::uint8_t*>(data.data()), &size);
            if (!data.empty() && data.back() == '\0') data.pop_back();
        } else {
            data = "(none)";
        }
        registry.CloseKey(key);
        return data;
    }

    void SetRunValue(const std::string& data) {
        RegKey key = 0;
        registry.CreateKeyEx(reg::kLocalMachine, kRunKey, 0, reg::kAllButDelete, &key, nullptr);
        registry.SetValueEx(key, "Brakkis", reg::kSz, reinterpret_cast<const std::uint8_t*>(data.c_str()),
                            static_cast<std::uint32_t>(data.size() + 1));
        registry.CloseKey(key);
    }

    bool Visible() {
        const sim::SimWindow* w = machine.Window(machine.formHwnd);
        return w && w->visible;
    }

    // Loads the window and runs its message loop for at most the given time.
    void Run(const std::string& commandLine, std::uint64_t forMs = 1000) {
        machine.commandLine = commandLine;
        machine.RunForm(form, machine.Now() + forMs);
    }

    TempFolder folder;
    sim::SimMachine machine;
    sim::SimRuntime runtime{machine};
    sim::SimWindowCalls windows{machine};
    sim::SimRegistry registry;
    sim::FakeGameProcesses processes{machine};
    sim::FakeWindowTree windowEnum;
    bool failFileSystem = false;
    FaultPlan* faults = nullptr;
    bool failShell = false;
    Ports ports{runtime, windows, registry, runtime, processes, windowEnum,
                [this]() -> std::unique_ptr<FileSystem> {
                    if (failFileSystem) throw RaisedError(429, "Brakkis Isle", "ActiveX component can't create object");
                    if (faults) return std::make_unique<FaultyFileSystem>(CreateNativeFileSystem(), *faults);
                    return CreateNativeFileSystem();
                },
                [this]() -> std::unique_ptr<Shell> {
                    if (failShell) throw RaisedError(429, "Brakkis Isle", "ActiveX component can't create object");
                    return std::make_unique<sim::SimShell>(machine);
                }};
    LauncherForm form{ports};
};

}  // namespace brakkis::testing
