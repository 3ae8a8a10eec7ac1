// The Win32 figures, taken under Wine: the enumeration against a bare walk of
// the same machine, the cost of one watch tick, the time from the launcher's
// start to the game's, the launcher's CPU while it waits for a game, and its
// peak memory. Every result is printed as one "name value" line for
// scripts/bench-report.
//
//   bench_wine enumerate ROUNDS
//   bench_wine tick TICKS
//   bench_wine stage ROUNDS FILES
//   bench_wine launch STARTS IDLE_SECONDS WINDOW_SECONDS
//   bench_wine start EXE      (the bare starter the launcher is measured against)
//   bench_wine start-windowed EXE  (the same, after showing a window)
//   bench_wine ticker now     (the bare watcher the idle launcher is measured against)
//
// Copied into a game folder as UnrealTournament.exe it is the game: it notes
// when it was created and, while the bench holds the stop event unset, stays.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "enumwindows/mod_enum_windows.h"
#include "launcher/game_files.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_process_system.h"
#include "platform/win32/win32_window_enum_calls.h"
#include "platform/win32/windows_api.h"
#include "tools/sample-installation/sample_installation.h"

#include <psapi.h>
#include <tlhelp32.h>

namespace {

using namespace std::chrono_literals;
using brakkis::win32::ScopedKernelHandle;
namespace fs = std::filesystem;

constexpr char kGameMark[] = "bench-game.txt";
constexpr char kStopEvent[] = "BrakkisBenchGameStop";

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Print(const std::string& name, double value) { std::printf("%s %.6g\n", name.c_str(), value); }

std::uint64_t Ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct ProcessClock {
    std::uint64_t created = 0;  // 100 ns units
    std::uint64_t cpu = 0;      // kernel and user, 100 ns units
};

ProcessClock ClockOf(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    ProcessClock clock;
    if (::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        clock.created = Ticks(created);
        clock.cpu = Ticks(kernel) + Ticks(user);
    }
    return clock;
}

std::string OwnPath() {
    char path[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length < sizeof path ? length : 0);
}

// The build names the launcher by its Unix path; Wine shows the root as Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path.insert(0, "Z:");
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// --- The game ---------------------------------------------------------------

int RunAsGame() {
    const std::string own = OwnPath();
    const std::string folder = own.substr(0, own.find_last_of('\\'));
    const ProcessClock clock = ClockOf(::GetCurrentProcess());
    // Written under another name and renamed, so a reader never sees half of it.
    const std::string mark = folder + "\\" + kGameMark;
    {
        std::ofstream out(mark + ".tmp", std::ios::binary);
        out << ::GetCurrentProcessId() << ' ' << clock.created << '\n';
    }
    ::MoveFileExA((mark + ".tmp").c_str(), mark.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (ScopedKernelHandle stop{::OpenEventA(SYNCHRONIZE, FALSE, kStopEvent)}) {
        ::WaitForSingleObject(stop.Get(), INFINITE);
    }
    return 0;
}

struct GameMark {
    DWORD pid = 0;
    std::uint64_t created = 0;
};

std::optional<GameMark> ReadMark(const std::string& folder) {
    std::ifstream in(folder + "\\" + kGameMark, std::ios::binary);
    GameMark mark;
    if (!(in >> mark.pid >> mark.created)) return std::nullopt;
    return mark;
}

std::optional<GameMark> WaitForGame(const std::string& folder, std::chrono::seconds patience = 60s) {
    const auto end = Clock::now() + patience;
    while (Clock::now() < end) {
        if (auto mark = ReadMark(folder)) return mark;
        std::this_thread::sleep_for(2ms);
    }
    return std::nullopt;
}

// --- Starting programs ---------------------------------------------------------

ScopedKernelHandle Start(const std::string& exe, const std::string& arguments, const std::string& folder) {
    std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                          &started)) {
        std::fprintf(stderr, "cannot start %s: error %lu\n", exe.c_str(), ::GetLastError());
        return ScopedKernelHandle();
    }
    ::CloseHandle(started.hThread);
    return ScopedKernelHandle(started.hProcess);
}

void End(const ScopedKernelHandle& process) {
    if (!process) return;
    if (::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) ::TerminateProcess(process.Get(), 1);
    ::WaitForSingleObject(process.Get(), 10000);
}

// With a window first: Wine readies fonts and theming for a program's first
// window, which any windowed program pays before it can start anything.
int RunAsStarter(const std::string& exe, bool windowed) {
    if (windowed) {
        HWND window = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                        nullptr, nullptr);
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
        ::UpdateWindow(window);
    }
    const std::string folder = exe.substr(0, exe.find_last_of('\\'));
    return Start(exe, "", folder) ? 0 : 1;
}

// A game folder as a player has it, with this program as the game and the
// real launcher beside it.
class GameFolders {
public:
    GameFolders() {
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        ::GetLongPathNameA(temp, temp, MAX_PATH);
        root_ = std::string(temp) + "Brakkis Bench " + std::to_string(::GetCurrentProcessId());
    }
    ~GameFolders() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    std::string New() {
        const std::string folder = root_ + "\\Game " + std::to_string(++count_);
        fs::create_directories(folder);
        brakkis::sample::InstallationOptions options;
        options.gameExecutable = OwnPath();
        brakkis::sample::WriteInstallation(folder, options);
        fs::copy_file(WindowsPath(BRAKKIS_LAUNCHER_EXE), folder + "\\Brakkis Isle.exe");
        return folder;
    }

private:
    std::string root_;
    int count_ = 0;
};

void ForgetRecoveryValue() {
    ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Brakkis");
}

// Wine keeps no CPU times for other processes, so they are read from the
// host: Wine shows the Unix root as Z:, and a Windows program's Unix process
// carries its Windows command line.
std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<int> HostProcesses(const std::function<bool(const std::string& commandLine, int pid)>& wanted) {
    std::vector<int> pids;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("Z:\\proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const int pid = std::atoi(name.c_str());
        if (wanted(ReadWholeFile("Z:\\proc\\" + name + "\\cmdline"), pid)) pids.push_back(pid);
    }
    return pids;
}

// User and system time in milliseconds; the host counts in 1/100 s.
std::optional<double> HostCpuMs(const std::string& pid) {
    const std::string stat = ReadWholeFile("Z:\\proc\\" + pid + "\\stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(stat.substr(close + 1));
    std::vector<std::string> field;
    for (std::string f; fields >> f;) field.push_back(f);
    if (field.size() < 13) return std::nullopt;
    return (std::atof(field[11].c_str()) + std::atof(field[12].c_str())) * 10.0;
}

// The wineserver of this prefix: the one whose environment names it.
std::optional<int> OwnWineserver() {
    char prefix[MAX_PATH * 4];
    const DWORD length = ::GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    if (length == 0 || length >= sizeof prefix) return std::nullopt;
    const std::string wanted = "WINEPREFIX=" + std::string(prefix, length) + std::string(1, '\0');
    for (int pid :
         HostProcesses([](const std::string&line, int) { return line.find("wineserver") != std::string::npos; })) {
        if (ReadWholeFile("Z:\\proc\\" + std::to_string(pid) + "\\environ").find(wanted) != std::string::npos)
            return pid;
    }
    return std::nullopt;
}

// This program's own host process. Not "self": Wine opens the path in its
// server, so /proc/self would be the wineserver.
std::optional<int> OwnHostProcess(const std::string& mode) {
    // Its arguments as this program was started: "...bench_wine.exe", mode, ...
    const std::string own = OwnPath();
    const std::string base = own.substr(own.find_last_of('\\') + 1);
    const std::vector<int> pids = HostProcesses([&](const std::string& line, int) {
        const std::string first = line.substr(0, line.find('\0'));
        const std::string firstBase = first.substr(first.find_last_of("/\\") + 1);
        return ::lstrcmpiA(firstBase.c_str(), base.c_str()) == 0 &&
               line.compare(first.size() + 1, mode.size() + 1, mode + std::string(1, '\0')) == 0;
    });
    if (pids.size() != 1) return std::nullopt;
    return pids.front();
}

// Milliseconds from the creation of `starter` to the creation of the game it starts.
std::optional<double> StartToGame(const ScopedKernelHandle& starter, const std::string& folder) {
    if (!starter) return std::nullopt;
    const std::uint64_t started = ClockOf(starter.Get()).created;
    const auto game = WaitForGame(folder);
    if (!game) return std::nullopt;
    if (ScopedKernelHandle handle{::OpenProcess(SYNCHRONIZE, FALSE, game->pid)}) {
        ::WaitForSingleObject(handle.Get(), 10000);
    }
    return (static_cast<double>(game->created) - static_cast<double>(started)) / 10000.0;
}

int Launch(int starts, int idleSeconds, int windowSeconds) {
    GameFolders folders;
    const std::string self = OwnPath();

    // Side by side: the launcher, then the bare starters, each on a fresh folder.
    std::vector<double> launcher, bare, windowed;
    for (int i = 0; i < starts; ++i) {
        {
            const std::string folder = folders.New();
            ScopedKernelHandle process = Start(folder + "\\Brakkis Isle.exe", "", folder);
            if (auto ms = StartToGame(process, folder)) launcher.push_back(*ms);
            End(process);  // it stays resident after the game: only its watch would end it
        }
        {
            const std::string folder = folders.New();
            ScopedKernelHandle process = Start(self, "start \"" + folder + "\\UnrealTournament.exe\"", folder);
            if (auto ms = StartToGame(process, folder)) bare.push_back(*ms);
            End(process);
        }
        {
            const std::string folder = folders.New();
            ScopedKernelHandle process = Start(self, "start-windowed \"" + folder + "\\UnrealTournament.exe\"", folder);
            if (auto ms = StartToGame(process, folder)) windowed.push_back(*ms);
            End(process);
        }
    }
    ForgetRecoveryValue();
    Print("start.launcher_ms", Median(launcher));
    Print("start.bare_ms", Median(bare));
    Print("start.windowed_ms", Median(windowed));
    Print("start.runs", static_cast<double>(std::min(launcher.size(), bare.size())));

    // A launcher waiting for a game that stays up without a window: nothing
    // but the watch's ticks happen in it.
    ScopedKernelHandle stop(::CreateEventA(nullptr, TRUE, FALSE, kStopEvent));
    const std::string folder = folders.New();
    ScopedKernelHandle process = Start(folder + "\\Brakkis Isle.exe", "", folder);
    if (!process || !WaitForGame(folder)) {
        std::fprintf(stderr, "the idle launcher did not start its game\n");
        End(process);
        return 1;
    }
    std::this_thread::sleep_for(1s);  // past staging and the game's start
    const std::string launcherLine = folder + "\\Brakkis Isle.exe";
    const std::vector<int> hostLaunchers =
        HostProcesses([&](const std::string& line, int) { return line.rfind(launcherLine, 0) == 0; });
    const std::optional<int> server = OwnWineserver();
    if (hostLaunchers.size() != 1) {
        std::fprintf(stderr, "cannot tell the launcher's host process (%zu candidates)\n", hostLaunchers.size());
        End(process);
        return 1;
    }
    const int host = hostLaunchers.front();
    auto serverCpu = [&] { return server ? HostCpuMs(std::to_string(*server)).value_or(0) : 0.0; };
    // Beside it, over the same seconds, the bare ticker it is measured against.
    ScopedKernelHandle ticker = Start(self, "ticker now", folder);
    std::this_thread::sleep_for(1s);
    const std::vector<int> hostTickers = HostProcesses([&](const std::string& line, int) {
        const std::string first = line.substr(0, line.find('\0'));
        return first.find("bench_wine") != std::string::npos &&
               line.find(std::string(1, '\0') + "ticker") != std::string::npos;
    });
    const std::optional<int> tickerHost = hostTickers.size() == 1 ? std::optional(hostTickers.front()) : std::nullopt;
    auto tickerCpu = [&] { return tickerHost ? HostCpuMs(std::to_string(*tickerHost)).value_or(0) : 0.0; };
    const double firstTicker = tickerCpu();

    std::vector<double> shares;
    const double firstCpu = HostCpuMs(std::to_string(host)).value_or(0), firstServer = serverCpu();
    double lastCpu = firstCpu;
    const auto begin = Clock::now();
    for (int elapsed = 0; elapsed < idleSeconds; elapsed += windowSeconds) {
        const auto windowStart = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(windowSeconds));
        const double cpu = HostCpuMs(std::to_string(host)).value_or(0);
        shares.push_back(100.0 * (cpu - lastCpu) / MillisecondsSince(windowStart));
        lastCpu = cpu;
    }
    const double wallMs = MillisecondsSince(begin);
    const double serverMs = serverCpu() - firstServer;
    const double tickerMs = tickerCpu() - firstTicker;
    End(ticker);
    Print("idle.seconds", wallMs / 1000.0);
    Print("idle.cpu_ms", lastCpu - firstCpu);
    Print("idle.cpu_percent", 100.0 * (lastCpu - firstCpu) / wallMs);
    Print("idle.window_percent_median", Median(shares));
    Print("idle.windows", static_cast<double>(shares.size()));
    if (tickerHost) {
        Print("idle.ticker_cpu_ms", tickerMs);
        Print("idle.ticker_cpu_percent", 100.0 * tickerMs / wallMs);
    }
    if (server) {
        Print("idle.wineserver_cpu_ms", serverMs);
        Print("idle.wineserver_cpu_percent", 100.0 * serverMs / wallMs);
    }

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(process.Get(), &memory, sizeof memory)) {
        Print("memory.peak_working_set_kb", static_cast<double>(memory.PeakWorkingSetSize) / 1024.0);
        Print("memory.peak_pagefile_kb", static_cast<double>(memory.PeakPagefileUsage) / 1024.0);
    }
    ::SetEvent(stop.Get());
    End(process);
    ForgetRecoveryValue();
    return 0;
}

// The least a program can do that watches like the launcher: a window, a
// 100 ms timer, and on each tick the two searches an idle tick makes.
int RunAsTicker() {
    HWND window = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ::SetTimer(window, 1, 100, nullptr);
    MSG msg;
    int found = 0;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) {
            found += ::FindWindowA(nullptr, "Brakkis") != nullptr;
            found += ::FindWindowA(nullptr, "Unreal Tournament Recovery Mode") != nullptr;
        }
        ::DispatchMessageA(&msg);
    }
    return found;
}

// Window callbacks are named functions: x86 needs them stdcall, which a
// lambda cannot be.
BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK CountWindowAndChildren(HWND hwnd, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    ::EnumChildWindows(hwnd, &CountWindow, count);
    return TRUE;
}

// --- The watch tick ------------------------------------------------------------

int Tick(int ticks) {
    // The launcher's own window is on the screen while it ticks: an untitled
    // top-level window, as the searches meet it.
    HWND own = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const std::optional<int> server = OwnWineserver();
    auto serverCpu = [&] { return server ? HostCpuMs(std::to_string(*server)).value_or(0) : 0.0; };
    const std::optional<int> self = OwnHostProcess("tick");
    auto ownCpu = [&] { return self ? HostCpuMs(std::to_string(*self)).value_or(0) : 0.0; };
    const double ownBefore = ownCpu(), serverBefore = serverCpu();
    int found = 0;
    std::vector<double> rounds;
    const int perRound = std::max(1, ticks / 20);
    for (int done = 0; done < ticks; done += perRound) {
        const auto start = Clock::now();
        for (int i = 0; i < perRound; ++i) {
            found += ::FindWindowA(nullptr, "Brakkis") != nullptr;
            found += ::FindWindowA(nullptr, "Unreal Tournament Video Configuration") != nullptr;
            found += ::FindWindowA(nullptr, "Unreal Tournament Recovery Mode") != nullptr;
        }
        rounds.push_back(MillisecondsSince(start) * 1000.0 / perRound);
    }
    const double ownMs = ownCpu() - ownBefore, serverMs = serverCpu() - serverBefore;
    int windows = 0;
    ::EnumWindows(&CountWindow, reinterpret_cast<LPARAM>(&windows));
    ::DestroyWindow(own);
    Print("tick.us", Median(rounds));
    // CPU rather than time: what a tick costs the machine, whatever else runs on it.
    if (self) Print("tick.cpu_us", 1000.0 * ownMs / ticks);
    if (server) Print("tick.wineserver_cpu_us", 1000.0 * serverMs / ticks);
    Print("tick.top_level_windows", windows);
    Print("tick.found", found);
    return 0;
}

// --- The enumeration -------------------------------------------------------------

// Message boxes would wait for a click; the bench notes them instead.
class QuietRuntime final : public brakkis::WindowRuntime {
public:
    std::string CommandLine() override { return {}; }
    std::string AppPath() override { return {}; }
    std::string ExeName() override { return {}; }
    std::int32_t MsgBox(const std::string& text, std::int32_t, const std::string&) override {
        std::fprintf(stderr, "enumeration message: %s\n", text.c_str());
        return 1;
    }
    void SetVisible(bool) override {}
    bool Visible() override { return false; }
    brakkis::WindowHandle Hwnd() override { return 0; }
    void Unload() override {}
};

struct Census {
    int processes = 0, threads = 0, windows = 0;
};

// The least a program must do to see the same machine: one snapshot of its
// processes and threads, and every window with its descendants.
Census BareWalk() {
    Census census;
    ScopedKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0));
    PROCESSENTRY32 process{};
    process.dwSize = sizeof process;
    for (BOOL more = ::Process32First(snapshot.Get(), &process); more;
         more = ::Process32Next(snapshot.Get(), &process)) {
        ++census.processes;
    }
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    for (BOOL more = ::Thread32First(snapshot.Get(), &thread); more; more = ::Thread32Next(snapshot.Get(), &thread)) {
        ++census.threads;
    }
    ::EnumWindows(&CountWindowAndChildren, reinterpret_cast<LPARAM>(&census.windows));
    return census;
}

// The bare walk plus the module paths and names the enumeration reads for
// every process: what the system itself charges for those facts.
int ModuleTexts() {
    int texts = 0;
    DWORD ids[1000];
    DWORD bytes = 0;
    ::EnumProcesses(ids, sizeof ids, &bytes);
    for (DWORD i = 0; i < bytes / sizeof ids[0]; ++i) {
        ScopedKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]));
        if (!process) continue;
        HMODULE modules[1000];
        DWORD needed = 0;
        if (!::EnumProcessModules(process.Get(), modules, sizeof modules, &needed)) continue;
        for (DWORD j = 0; j < std::min<DWORD>(needed / sizeof modules[0], 1000); ++j) {
            char text[300];
            texts += ::GetModuleFileNameExA(process.Get(), modules[j], text, sizeof text) > 0;
            texts += ::GetModuleBaseNameA(process.Get(), modules[j], text, sizeof text) > 0;
        }
    }
    return texts;
}

int Enumerate(int rounds) {
    // Something to find besides the system's own: a window of our own with a child.
    HWND top = ::CreateWindowExA(0, "STATIC", "Bench window", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
    ::CreateWindowExA(0, "STATIC", "Bench child", WS_CHILD, 0, 0, 10, 10, top, nullptr, nullptr, nullptr);

    const auto processes = brakkis::CreateWin32ProcessSystem();
    const auto windowCalls = brakkis::CreateWin32WindowEnumCalls();
    QuietRuntime runtime;
    brakkis::modEnumWindows engine(*processes, *windowCalls, runtime);

    // One of each first: libraries loaded, caches warm.
    engine.EnumerateProcesses();
    const Census census = BareWalk();
    int texts = ModuleTexts();

    std::vector<double> engineMs, bareMs, textsMs;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        engine.EnumerateProcesses();
        engineMs.push_back(MillisecondsSince(start));
        start = Clock::now();
        BareWalk();
        bareMs.push_back(MillisecondsSince(start));
        start = Clock::now();
        texts = ModuleTexts();
        textsMs.push_back(MillisecondsSince(start));
    }
    std::size_t modules = 0;
    for (const auto& entry : engine.Processes()) modules += entry.item->Modules.Count();
    ::DestroyWindow(top);

    Print("enumerate.engine_ms", Median(engineMs));
    Print("enumerate.bare_ms", Median(bareMs));
    Print("enumerate.module_texts_ms", Median(textsMs));
    Print("enumerate.rounds", rounds);
    Print("enumerate.processes", census.processes);
    Print("enumerate.threads", census.threads);
    Print("enumerate.windows", census.windows);
    Print("enumerate.records", static_cast<double>(engine.Processes().Count()));
    Print("enumerate.modules", static_cast<double>(modules));
    Print("enumerate.module_texts", texts);
    return 0;
}

// --- Staging and restore ------------------------------------------------------------

// The launcher's staging and restore with the Win32 file system, against the
// least any program could do for the same result: each .ini and .int file
// renamed into the backup folder and back, the names known in advance.
int Stage(int rounds, int files) {
    const std::string folder = (fs::temp_directory_path() / ("brakkis-bench-stage-" + std::to_string(files))).string();
    fs::remove_all(folder);
    brakkis::sample::InstallationOptions options;
    const auto installed = brakkis::sample::InstallationFiles();
    const int inSample = static_cast<int>(std::count_if(installed.begin(), installed.end(), [](const auto& file) {
        return file.first.find('\\') == std::string::npos &&
               (file.first.ends_with(".ini") || file.first.ends_with(".int"));
    }));
    options.extraConfigFiles = std::max(0, files - inSample);
    brakkis::sample::WriteInstallation(folder, options);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string(),
                          extension = name.substr(name.size() - std::min<std::size_t>(4, name.size()));
        if (entry.is_regular_file() &&
            (::lstrcmpiA(extension.c_str(), ".ini") == 0 || ::lstrcmpiA(extension.c_str(), ".int") == 0)) {
            names.push_back(name);
        }
    }
    const auto fileSystem = brakkis::CreateWin32FileSystem();
    brakkis::GameFiles game(*fileSystem, folder);
    const std::string backup = folder + "\\Brakkis_Temp";
    std::vector<double> launcher, bare;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        game.StageGameFiles();
        game.RestoreGameFiles();
        launcher.push_back(MillisecondsSince(start));
        start = Clock::now();
        ::CreateDirectoryA(backup.c_str(), nullptr);
        for (const std::string& name : names)
            ::MoveFileExA((folder + "\\" + name).c_str(), (backup + "\\" + name).c_str(), 0);
        for (const std::string& name : names)
            ::MoveFileExA((backup + "\\" + name).c_str(), (folder + "\\" + name).c_str(), 0);
        ::RemoveDirectoryA(backup.c_str());
        bare.push_back(MillisecondsSince(start));
    }
    const std::string key = "stage." + std::to_string(files);
    Print(key + ".files", static_cast<double>(names.size()));
    Print(key + ".launcher_ms", Median(launcher));
    Print(key + ".bare_ms", Median(bare));
    fs::remove_all(folder);
    return fs::exists(backup) ? 1 : 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: bench_wine enumerate ROUNDS | tick TICKS | stage ROUNDS FILES | launch STARTS IDLE_SECONDS "
                 "WINDOW_SECONDS | "
                 "start EXE | start-windowed EXE | ticker now\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string own = OwnPath();
    const std::string base = own.substr(own.find_last_of('\\') + 1);
    if (::lstrcmpiA(base.c_str(), "UnrealTournament.exe") == 0) return RunAsGame();

    if (argc < 3) return Usage();
    const std::string mode = argv[1];
    if (mode == "enumerate") return Enumerate(std::max(1, std::atoi(argv[2])));
    if (mode == "tick") return Tick(std::max(1, std::atoi(argv[2])));
    if (mode == "stage" && argc >= 4) return Stage(std::max(1, std::atoi(argv[2])), std::max(1, std::atoi(argv[3])));
    if (mode == "start") return RunAsStarter(argv[2], false);
    if (mode == "start-windowed") return RunAsStarter(argv[2], true);
    if (mode == "ticker") return RunAsTicker();
    if (mode == "launch" && argc >= 5) {
        return Launch(std::max(1, std::atoi(argv[2])), std::max(1, std::atoi(argv[3])),
                      std::max(1, std::atoi(argv[4])));
    }
    return Usage();
}
