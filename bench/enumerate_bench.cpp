// How EnumerateProcesses scales with the size of the machine: the time per
// record should stay flat from 1,000 to 10,000 processes. The simulated
// system's own work is included in the figures.
#include <benchmark/benchmark.h>

#include "enumwindows/mod_enum_windows.h"
#include "tests/fakes/sim_machine.h"
#include "tests/fakes/sim_process_machine.h"

namespace {

using namespace brakkis;

constexpr int kThreads = 10;
constexpr int kModules = 5;  // besides the main executable

// Processes in a tree eight wide, each with one top-level window holding a
// child that holds a grandchild.
void LayOut(sim::SimProcessMachine& machine, int processes) {
    auto pidOf = [](int i) { return static_cast<std::uint32_t>(0x1000 + i * 0x40); };
    for (int i = 0; i < processes; ++i) {
        const std::uint32_t pid = pidOf(i);
        auto& p = machine.AddProcess(pid, i == 0 ? 0 : pidOf((i - 1) / 8), "process" + std::to_string(i) + ".exe");
        p.imagePath = "C:\\Program Files\\Sample\\process" + std::to_string(i) + ".exe";
        for (int t = 1; t <= kThreads; ++t) p.threads.push_back({pid + 4u * t, 8, 0});
        for (int m = 1; m <= kModules; ++m) {
            p.modules.push_back({0x10000000 + m * 0x100000, "C:\\WINDOWS\\system32\\lib" + std::to_string(m) + ".dll"});
        }
        const WindowHandle top = machine.AddWindow(pid, pid + 4, 0, "Window of process " + std::to_string(i));
        const WindowHandle child = machine.AddWindow(pid, pid + 4, top, "Child");
        machine.AddWindow(pid, pid + 8, child, "Grandchild");
    }
    machine.selfPid = pidOf(0);
}

std::size_t CountWindows(const KeyedCollection<CWindow>& windows) {
    std::size_t n = 0;
    for (const auto& entry : windows) n += 1 + entry.item->ChildWindows.Count();
    return n;
}

void BM_EnumerateProcesses(benchmark::State& state) {
    sim::SimProcessMachine machine;
    LayOut(machine, static_cast<int>(state.range(0)));
    sim::SimMachine launcherMachine;
    sim::SimRuntime runtime(launcherMachine);
    sim::SimProcessCalls calls(machine);
    sim::SimWindowEnumCalls windows(machine);
    ModEnumWindows engine(calls, windows, runtime);

    for (auto _ : state) {
        engine.EnumerateProcesses();
        benchmark::DoNotOptimize(engine.Processes().Count());
    }

    // Every record once: a nested window sits in two collections but is one record.
    std::size_t processes = 0, threads = 0, modules = 0, windowRecords = 0;
    for (const auto& entry : engine.Processes()) {
        const CProcess& p = *entry.item;
        ++processes;
        threads += p.Threads.Count();
        modules += p.Modules.Count();
        for (const auto& t : p.Threads) windowRecords += CountWindows(t.item->Windows);
    }
    const double records = static_cast<double>(processes + threads + modules + windowRecords);
    state.counters["processes"] = static_cast<double>(processes);
    state.counters["records"] = records;
    state.counters["time_per_record"] =
        benchmark::Counter(records, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_EnumerateProcesses)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
