// What staging and restoring the game folder costs next to the least any
// program could do for the same result: one rename of every .ini and .int
// file into the backup folder and one back. Both work on the same folder,
// generated once per size, and leave it as they found it after every
// iteration.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/ascii_case.h"
#include "tests/support/launcher_rig.h"
#include "tools/sample-installation/sample_installation.h"

namespace {

using namespace brakkis;
namespace fs = std::filesystem;

std::vector<std::string> ConfigFiles(const fs::path& folder);

// The sample installation as it comes (0), or grown to `files` .ini/.int files.
sample::InstallationOptions Installation(std::int64_t files) {
    static const int inSample = [] {
        testing::TempFolder scratch;
        sample::WriteInstallation(scratch.Native());
        return static_cast<int>(ConfigFiles(scratch.Native()).size());
    }();
    sample::InstallationOptions options;
    options.extraConfigFiles = files == 0 ? 0 : std::max(0, static_cast<int>(files) - inSample);
    return options;
}

std::vector<std::string> ConfigFiles(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string ext = ascii::LowerCase(entry.path().extension().string());
        if (ext == ".ini" || ext == ".int") names.push_back(entry.path().filename().string());
    }
    return names;
}

void Describe(benchmark::State& state, const fs::path& folder) {
    state.counters["files"] = static_cast<double>(ConfigFiles(folder).size());
}

void BM_StageAndRestore(benchmark::State& state) {
    testing::LauncherRig rig;
    sample::WriteInstallation(rig.folder.Native(), Installation(state.range(0)));
    for (auto _ : state) {
        LauncherFormPeer::Stage(rig.form);
        LauncherFormPeer::Restore(rig.form);
    }
    if (fs::exists(rig.folder.Native() / "Brakkis_Temp")) state.SkipWithError("the restore left the backup folder");
    Describe(state, rig.folder.Native());
}

// The floor: the names are known in advance, nothing is listed, matched,
// checked or rewritten.
void BM_BareRenames(benchmark::State& state) {
    testing::TempFolder folder;
    sample::WriteInstallation(folder.Native(), Installation(state.range(0)));
    const std::string game = folder.Path();
    const std::string backup = game + "/Brakkis_Temp";
    std::vector<std::pair<std::string, std::string>> moves;
    for (const std::string& name : ConfigFiles(folder.Native())) moves.emplace_back(game + "/" + name, backup + "/" + name);
    for (auto _ : state) {
        ::mkdir(backup.c_str(), 0777);
        for (const auto& [from, to] : moves) std::rename(from.c_str(), to.c_str());
        for (const auto& [from, to] : moves) std::rename(to.c_str(), from.c_str());
        ::rmdir(backup.c_str());
    }
    Describe(state, folder.Native());
}

// 0 is the sample installation as it comes; 10000 grows it to that many files.
BENCHMARK(BM_StageAndRestore)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareRenames)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
