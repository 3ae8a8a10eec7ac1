#include "tests/enumwindows/enum_rig.h"

namespace brakkis::test {
namespace {


TEST(KillByName, EndsMatchingProcessesBelowTheRootsParentsFirst) {
    EnumRig rig;
    rig.machine.AddProcess(0x10, 0x4, "explorer.exe");
    rig.machine.AddProcess(0x20, 0x10, "UnrealTournament.EXE").threads = {{0x24}};
    rig.machine.AddProcess(0x30, 0x20, "unrealtournament.exe");  // started by the first
    auto& full = rig.machine.AddProcess(0x40, 0x10, "UT.exe");
    full.imagePath = "C:\\Games\\UnrealTournament\\System\\unrealtournament.exe";  // psapi's base name counts
    rig.machine.AddProcess(0x50, 0x10, "C:\\unrealtournament.exe\\other.exe");
    rig.machine.AddProcess(0x60, 0x10, "unrealtournament.exe.bak");
    rig.machine.AddProcess(0x70, 0x70, "unrealtournament.exe");  // names itself as parent: a root
    rig.machine.AddProcess(0x80, 0x10, "unrealtournament.exe").canOpen = false;
    rig.machine.AddProcess(0x90, 0x10, "unrealtournament.exe");
    rig.machine.AddWindow(0x20, 0x24, 0, "Brakkis");

    rig.engine.KillProcessesByName("unrealtournament.exe");

    EXPECT_EQ(rig.machine.terminated, Pids(0x20u, 0x30u, 0x40u, 0x90u));
    EXPECT_EQ(rig.engine.KillName(), "unrealtournament.exe");
    EXPECT_EQ(rig.machine.OpenHandleCount(), 0u);

    rig.engine.EnumerateProcesses();
    EXPECT_FALSE(rig.Process(0x20));
    EXPECT_FALSE(rig.Process(0x30));
    EXPECT_TRUE(rig.Process(0x70));
    EXPECT_TRUE(rig.Process(0x80));
}

TEST(KillByName, PlaceholderRootsAndUnmatchedNamesAreLeftAlone) {
    EnumRig rig;
    // The vanished parent's placeholder has no name; an empty name would
    // match it if roots were ever compared.
    rig.machine.AddProcess(0x20, 0x4, "");
    rig.machine.AddProcess(0x30, 0x20, "notepad.exe");

    rig.engine.KillProcessesByName("");
    EXPECT_EQ(rig.machine.terminated, Pids(0x20u));

    rig.engine.KillProcessesByName("unrealtournament.exe");
    EXPECT_EQ(rig.machine.terminated, Pids(0x20u));
    EXPECT_TRUE(rig.Process(0x30));  // the enumeration's tree stays
}

TEST(KillByName, EndsTheGameThatTheLauncherMachineStarted) {
    EnumRig rig;
    rig.machine.AddProcess(0x10, 0, "explorer.exe");
    rig.machine.AddProcess(0x3F0, 0x10, "Brakkis Isle.exe");
    rig.machine.MirrorLauncherMachine(rig.launcherMachine, 0x3F0);
    sim::SimProcess& game = rig.launcherMachine.StartProcess(
        "\"C:\\Games\\UnrealTournament\\System\\UnrealTournament.exe\" Brakkis.unr");
    const WindowHandle gameWindow = rig.launcherMachine.CreateWindow("Brakkis", true, game.pid);
    sim::SimProcess& other = rig.launcherMachine.StartProcess("notepad.exe readme.txt");

    rig.engine.KillProcessesByName("unrealtournament.exe");

    EXPECT_FALSE(game.alive);
    EXPECT_TRUE(game.killed);
    EXPECT_EQ(rig.launcherMachine.Window(gameWindow), nullptr);
    EXPECT_TRUE(other.alive);
    rig.engine.EnumerateProcesses();
    EXPECT_FALSE(rig.Process(game.pid));
    ASSERT_TRUE(rig.Process(other.pid));
    EXPECT_EQ(rig.Process(other.pid)->Parent.lock(), rig.Process(0x3F0));
}

}  // namespace
}  // namespace brakkis::test
