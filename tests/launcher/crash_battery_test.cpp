// The player's files against a process that dies, or a file system that
// fails, at every single operation of staging, restore and the carry-over.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/launcher_rig.h"
#include "tools/sample-installation/sample_installation.h"

namespace brakkis::testing {
namespace {

using Files = std::map<std::string, std::string>;
using Routine = void (*)(LauncherForm&);

// Runs the routine in a child process that dies before operation k; false
// when the routine finished first (k is past its last operation).
bool CrashesAt(const std::string& game, Routine routine, int k) {
    const pid_t child = ::fork();
    if (child == 0) {
        LauncherRig rig;
        FaultPlan plan;
        plan.crashAt = k;
        rig.faults = &plan;
        rig.machine.appPath = game;
        routine(rig.form);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status) == FaultPlan::kCrashExitCode;
}

void RunOn(const std::string& game, Routine routine, FaultPlan* plan = nullptr) {
    LauncherRig rig;
    rig.faults = plan;
    rig.machine.appPath = game;
    routine(rig.form);
}

void SilentRecovery(const std::string& game) {
    LauncherRig rig;
    rig.machine.appPath = game;
    rig.Run("/silent", 500);
}

void Stage(LauncherForm& form) { LauncherFormPeer::Stage(form); }
void Restore(LauncherForm& form) { LauncherFormPeer::Restore(form); }
void Carry(LauncherForm& form) { LauncherFormPeer::CarryRenderDevice(form); }

// The names whose presence or bytes differ, for a readable failure.
std::string Differences(const Files& expected, const Files& actual) {
    std::string out;
    for (const auto& [path, bytes] : expected) {
        const auto it = actual.find(path);
        if (it == actual.end()) out += " missing:" + path;
        else if (it->second != bytes) out += " changed:" + path;
    }
    for (const auto& [path, bytes] : actual) {
        if (!expected.count(path)) out += " extra:" + path;
    }
    return out;
}

// Every file the player had is somewhere, byte for byte: in the game folder
// or in the backup folder. The game's localisation is the launcher's to rewrite.
void ExpectNothingLost(const Files& original, const Files& now, const std::string& when) {
    for (const auto& [path, bytes] : original) {
        if (path == "UnrealTournament.int") continue;
        const auto here = now.find(path);
        const auto hidden = now.find("Brakkis_Temp/" + path);
        const bool kept = (here != now.end() && here->second == bytes) ||
                          (hidden != now.end() && hidden->second == bytes);
        EXPECT_TRUE(kept) << path << " lost " << when;
    }
}

TEST(CrashBattery, ADeadLauncherAtAnyPointOfStagingIsRepairedBySilentRecovery) {
    int tried = 0;
    for (int k = 0;; ++k) {
        TempFolder game;
        sample::WriteInstallation(game.Native());
        const Files original = game.Snapshot();
        if (!CrashesAt(game.Path(), Stage, k)) break;
        ++tried;
        SilentRecovery(game.Path());
        EXPECT_EQ(Differences(original, game.Snapshot()), "") << "crash before operation " << k;
        EXPECT_FALSE(game.Has("Brakkis_Temp"));
    }
    EXPECT_GT(tried, 30);
    RecordProperty("staging_crash_points", tried);
}

TEST(CrashBattery, ADeadRestoreIsFinishedByTheNextOne) {
    int tried = 0;
    for (int k = 0;; ++k) {
        TempFolder game;
        sample::WriteInstallation(game.Native());
        const Files original = game.Snapshot();
        RunOn(game.Path(), Stage);
        if (!CrashesAt(game.Path(), Restore, k)) break;
        ++tried;
        ExpectNothingLost(original, game.Snapshot(), "after a crash at " + std::to_string(k));
        RunOn(game.Path(), Restore);
        EXPECT_EQ(Differences(original, game.Snapshot()), "") << "crash before operation " << k;
    }
    EXPECT_GT(tried, 10);
    RecordProperty("restore_crash_points", tried);
}

TEST(CrashBattery, ACarryOverCutShortLeavesTheOldOrTheNewConfigurationNeverAMix) {
    TempFolder model;
    sample::WriteInstallation(model.Native());
    RunOn(model.Path(), Stage);
    const std::string before = model.Read("Brakkis.ini");
    RunOn(model.Path(), Carry);
    const std::string after = model.Read("Brakkis.ini");
    ASSERT_NE(before, after);

    int tried = 0;
    for (int k = 0;; ++k) {
        TempFolder game;
        sample::WriteInstallation(game.Native());
        RunOn(game.Path(), Stage);
        if (!CrashesAt(game.Path(), Carry, k)) break;
        ++tried;
        const std::string now = game.Read("Brakkis.ini");
        EXPECT_TRUE(now == before || now == after) << "crash before operation " << k;
    }
    EXPECT_GT(tried, 5);
}

TEST(FailureBattery, NoFailedOperationCostsAFileAndOneMoreRestoreBringsAllHome) {
    for (bool onward : {false, true}) {
        for (Routine failing : {Stage, Restore}) {
            for (int k = 0;; ++k) {
                TempFolder game;
                sample::WriteInstallation(game.Native());
                const Files original = game.Snapshot();
                if (failing == Restore) RunOn(game.Path(), Stage);

                FaultPlan plan;
                plan.failAt = k;
                plan.failOnward = onward;
                RunOn(game.Path(), failing, &plan);
                const std::string where = std::string(failing == Stage ? "staging" : "restore") +
                                          (onward ? " failing from " : " failing at ") + std::to_string(k);
                ExpectNothingLost(original, game.Snapshot(), where);

                RunOn(game.Path(), Restore);
                EXPECT_EQ(Differences(original, game.Snapshot()), "") << where;
                if (plan.operations <= k) break;  // the failure point lay past the routine's end
            }
        }
    }
}

}  // namespace
}  // namespace brakkis::testing
