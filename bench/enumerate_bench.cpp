// How EnumerateProcesses scales with the size of the machine: the time per
// record should stay flat from 1,000 to 10,000 processes. The fakes hand out
// copies of their lists, as the system's calls would; that work is included.
#include <benchmark/benchmark.h>

#include "enumwindows/mod_enum_windows.h"
#include "tests/fakes/fake_process_system.h"
#include "tests/fakes/fake_window_tree.h"
#include "tests/fakes/sim_machine.h"

namespace {

using namespace brakkis;

constexpr int kThreads = 10;
constexpr int kModules = 5;  // besides the main executable

// Processes in a tree eight wide, each with one top-level window holding a
// child that holds a grandchild.
void LayOut(sim::FakeProcessSystem& system, sim::FakeWindowTree& windows, int processes) {
    auto pidOf = [](int i) { return static_cast<std::uint32_t>(0x1000 + i * 0x40); };
    for (int i = 0; i < processes; ++i) {
        const std::uint32_t pid = pidOf(i);
        std::vector<std::uint32_t> threads;
        for (int t = 1; t <= kThreads; ++t) threads.push_back(pid + 4u * t);
        system.Add(pid, i == 0 ? 0 : pidOf((i - 1) / 8), "process" + std::to_string(i) + ".exe", threads);
        ProcessModules& modules = system.modules[pid];
        modules.count += kModules;
        for (int m = 1; m <= kModules; ++m) {
            const std::string name = "lib" + std::to_string(m) + ".dll";
            modules.modules.push_back({0x10000000 + m * 0x100000, "C:\\WINDOWS\\system32\\" + name, name});
        }
        const WindowHandle top = pid * 16, child = top + 4, grandchild = top + 8;
        windows.topLevel.push_back(top);
        windows.descendants[top] = {child, grandchild};
        windows.windows[top] = {pid, pid + 4, 0, "Window of process " + std::to_string(i), "Top", 0x400000};
        windows.windows[child] = {pid, pid + 4, top, "Child", "Child"};
        windows.windows[grandchild] = {pid, pid + 8, child, "Grandchild", "Grandchild"};
    }
}

std::size_t CountWindows(const KeyedCollection<CWindow>& windows) {
    std::size_t n = 0;
    for (const auto& entry : windows) n += 1 + entry.item->ChildWindows.Count();
    return n;
}

void BM_EnumerateProcesses(benchmark::State& state) {
    sim::FakeProcessSystem system;
    sim::FakeWindowTree windows;
    LayOut(system, windows, static_cast<int>(state.range(0)));
    sim::SimMachine screen;
    modEnumWindows engine(system, windows, screen);

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
