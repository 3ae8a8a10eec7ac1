#include <algorithm>

#include "tests/enumwindows/enum_rig.h"

namespace brakkis::test {
namespace {


std::vector<std::string> ChildKeys(const CProcess& p) {
    std::vector<std::string> keys;
    for (const auto& entry : p.ChildProcesses) keys.push_back(entry.key);
    return keys;
}

TEST(ProcessPasses, ToolhelpGivesTheTreeAndPsapiTheDetails) {
    EnumRig rig;
    // The child is listed before the process that took over its parent's identifier.
    auto& child = rig.machine.AddProcess(0x200, 0x300, "UnrealTournament.exe");
    child.imagePath = "C:\\UT\\System\\UnrealTournament.exe";
    child.threads = {{0x204, 10, 2}, {0x208, 8, -1}};
    child.basePriority = 8;
    child.priorityClass = 0x80;
    // Above 4 GB where handles are that wide.
    const auto ntdll = sizeof(ModuleHandle) == 8 ? static_cast<ModuleHandle>(0x7FF812340000LL) : 0x7C900000;
    child.modules = {{0x10000000, "C:\\UT\\System\\Core.dll"}, {ntdll, "C:\\Windows\\ntdll.dll"}};
    rig.machine.AddProcess(0x300, 0x999, "explorer.exe").threads = {{0x304}};
    rig.machine.AddProcess(0x400, 0x400, "selfish.exe");
    rig.machine.AddProcess(0x500, 0x300, "").listedByPsapi = false;
    auto& old = rig.machine.AddProcess(0x600, 0x300, "old16.exe");
    old.version = 0x00038000;  // 3.5 rounds to 4
    old.canOpen = false;
    rig.machine.AddProcess(0x604, 0x300, "older16.exe").version = 0x00028000;  // 2.5 rounds to 2
    rig.machine.Process(0x604)->listedByPsapi = false;
    auto& sealed = rig.machine.AddProcess(0x700, 0x300, "sealed.exe");
    sealed.version = 0x00030000;
    sealed.priorityClass = 0x4000;
    sealed.canListModules = false;

    rig.engine.EnumerateProcesses();

    auto ut = rig.Process(0x200);
    auto explorer = rig.Process(0x300);
    ASSERT_TRUE(ut && explorer);
    EXPECT_EQ(ut->Parent.lock(), explorer);
    EXPECT_EQ(ut->ThreadCount, 2);
    EXPECT_EQ(ut->FileName, "C:\\UT\\System\\UnrealTournament.exe");
    EXPECT_EQ(ut->BaseName, "UnrealTournament.exe");
    EXPECT_EQ(ut->Priority, 0x80);
    EXPECT_EQ(ut->Bits, "32");
    EXPECT_EQ(ut->ModuleCount, 3);
    ASSERT_EQ(ut->Modules.Count(), 2u);
    EXPECT_EQ(ut->Modules.At(1)->Key, MakeKey(ntdll));
    EXPECT_EQ(ut->Modules.At(1)->hModule, ntdll);
    EXPECT_EQ(ut->Modules.At(1)->BaseName, "ntdll.dll");
    EXPECT_EQ(ut->Modules.At(0)->FileName, "C:\\UT\\System\\Core.dll");
    const auto& thread = *ut->Threads.Get("K-208");
    EXPECT_EQ(thread.BasePriority, 8);
    EXPECT_EQ(thread.DeltaPriority, -1);
    EXPECT_EQ(thread.Parent.lock(), ut);

    // The vanished parent of explorer stays as a placeholder root.
    auto placeholder = rig.Process(0x999);
    ASSERT_TRUE(placeholder);
    EXPECT_TRUE(placeholder->Parent.expired());
    EXPECT_EQ(placeholder->Key, "K-999");
    EXPECT_EQ(placeholder->FileName, "");
    EXPECT_EQ(ChildKeys(*placeholder), Seq("K-300"));
    EXPECT_EQ(ChildKeys(*explorer), Seq("K-200", "K-500", "K-600", "K-604", "K-700"));

    auto selfish = rig.Process(0x400);
    EXPECT_TRUE(selfish->Parent.expired());
    EXPECT_TRUE(selfish->ChildProcesses.Empty());

    EXPECT_EQ(rig.Process(0x500)->BaseName, "");
    // Not opened: keeps what toolhelp said.
    EXPECT_EQ(rig.Process(0x600)->Bits, "32");
    EXPECT_EQ(rig.Process(0x600)->FileName, "old16.exe");
    EXPECT_EQ(rig.Process(0x604)->Bits, "16");
    // Opened but its modules hidden: priority and bits change, names and counts stay.
    auto s = rig.Process(0x700);
    EXPECT_EQ(s->Bits, "32");
    EXPECT_EQ(s->Priority, 0x4000);
    EXPECT_EQ(s->FileName, "sealed.exe");
    EXPECT_EQ(s->ModuleCount, 0);

    EXPECT_EQ(rig.Messages(), Seq());
    EXPECT_EQ(rig.machine.OpenHandleCount(), 0u);
    EXPECT_EQ(rig.calls.librariesLoaded, 0);
}

TEST(ProcessPasses, ModulesAndIdentifiersStopAtAThousand) {
    EnumRig rig;
    auto& big = rig.machine.AddProcess(0x10, 0, "big.exe");
    for (int i = 1; i < 1200; ++i) big.modules.push_back({0x10000000 + i * 0x10000, "m" + std::to_string(i) + ".dll"});
    for (std::uint32_t pid = 0x100; pid < 0x100 + 4 * 1100; pid += 4) rig.machine.AddProcess(pid, 0x10, "many.exe");
    rig.machine.toolhelpExported = false;
    rig.machine.DesktopWindow().processId = 0x10;

    rig.engine.EnumerateProcesses();

    auto p = rig.Process(0x10);
    EXPECT_EQ(p->ModuleCount, 1200);
    ASSERT_EQ(p->Modules.Count(), 999u);  // modules 2 to 1000
    EXPECT_EQ(p->Modules.At(998)->BaseName, "m999.dll");
    // Without toolhelp only psapi lists processes, and it reads 1000 at most.
    EXPECT_EQ(rig.engine.Processes().Count(), 1000u);
    EXPECT_TRUE(p->ChildProcesses.Empty());
}

TEST(ProcessPasses, ThreadsOfAnUnseenProcessAndRepeatedThreads) {
    EnumRig rig;
    auto& known = rig.machine.AddProcess(0x20, 0, "known.exe");
    known.threads = {{0x24, 9, 0}, {0x24, 1, 1}};
    auto& late = rig.machine.AddProcess(0x30, 0x20, "late.exe");
    late.inProcessSnapshot = false;
    late.listedByPsapi = false;
    late.threads = {{0x34}};

    rig.engine.EnumerateProcesses();

    auto k = rig.Process(0x20);
    ASSERT_EQ(k->Threads.Count(), 1u);
    EXPECT_EQ(k->Threads.At(0)->BasePriority, 9);
    auto l = rig.Process(0x30);
    ASSERT_TRUE(l);
    EXPECT_TRUE(l->Threads.Contains("K-34"));
    EXPECT_TRUE(l->Parent.expired());  // nothing said who started it
}

TEST(ProcessPasses, SixteenBitTasksHangBelowNtvdmWithTheirThreads) {
    EnumRig rig;
    rig.machine.AddProcess(0x1A4, 0, "Task owner.exe");  // K-1A4, as one of the tasks below
    auto& vdm = rig.machine.AddProcess(0x80, 0x1A4, "NTVDM.EXE");
    vdm.imagePath = "C:\\WINDOWS\\system32\\NTVDM.EXE";
    vdm.threads = {{0x84}, {0x88}, {0x8C}};
    vdm.tasks = {{0x88, 0x1F, 0x8001, "SOL", "C:\\WINDOWS\\SOL.EXE"},
                 {0x8C, 0x2F, 0x01A4, "CLOCK", "C:\\WINDOWS\\CLOCK.EXE"}};

    rig.engine.EnumerateProcesses();

    auto ntvdm = rig.Process(0x80);
    EXPECT_EQ(rig.engine.VdmProcess(), ntvdm);
    auto sol = rig.Process(-32767);
    ASSERT_TRUE(sol);
    EXPECT_EQ(sol->Key, "K-FFFF8001");
    EXPECT_EQ(sol->ProcessID, -32767);
    EXPECT_EQ(sol->Bits, "16");
    EXPECT_EQ(sol->FileName, "C:\\WINDOWS\\SOL.EXE");
    EXPECT_EQ(sol->BaseName, "SOL.EXE");
    EXPECT_EQ(sol->Parent.lock(), ntvdm);
    EXPECT_TRUE(sol->Threads.Contains("K-88"));
    EXPECT_EQ(sol->Threads.Get("K-88")->Parent.lock(), sol);
    // The thread that runs the task has left ntvdm.exe.
    EXPECT_FALSE(ntvdm->Threads.Contains("K-88"));

    // The clock task's key is taken in Processes, but not below ntvdm.exe.
    EXPECT_EQ(ChildKeys(*ntvdm), Seq("K-FFFF8001", "K-1A4"));
    EXPECT_EQ(rig.Process(0x1A4)->BaseName, "Task owner.exe");
    EXPECT_EQ(ntvdm->ChildProcesses.Get("K-1A4")->BaseName, "CLOCK.EXE");
    EXPECT_FALSE(ntvdm->Threads.Contains("K-8C"));
    EXPECT_TRUE(ntvdm->Threads.Contains("K-84"));
}

TEST(ProcessPasses, ReportsWhatItCannotDoAndGoesOn) {
    {
        EnumRig rig;
        rig.machine.kernel32Loads = false;
        rig.machine.AddWindow(0x40, 0x44, 0, "lonely");
        rig.engine.EnumerateProcesses();
        EXPECT_EQ(rig.Messages(), Seq("Failed to load library kernel32"));
        EXPECT_FALSE(rig.engine.HasToolhelp() || rig.engine.HasPsapi() || rig.engine.HasVdmDbg());
        // The window walk still runs and makes the owner known.
        ASSERT_TRUE(rig.Process(0x40));
        EXPECT_EQ(rig.Process(0x40)->ThreadCount, 1);
    }
    {
        EnumRig rig;
        rig.machine.toolhelpExported = false;
        rig.machine.psapiPresent = false;
        rig.machine.AddProcess(0x50, 0, "hidden.exe");
        rig.engine.EnumerateProcesses();
        EXPECT_EQ(rig.Messages(), Seq("No libraries to enumerate processes could be found"));
        EXPECT_FALSE(rig.Process(0x50));
    }
    {
        EnumRig rig;
        rig.machine.AddProcess(0x60, 0, "a.exe");
        rig.machine.failingSnapshots = {1, 2};
        rig.engine.EnumerateProcesses();
        EXPECT_EQ(rig.Messages(), Seq("Failed to create Module and Thread snapshot",
                                                "Failed to create Module and Thread snapshot"));
        EXPECT_EQ(rig.Process(0x60)->BaseName, "a.exe");  // psapi still saw it
        EXPECT_EQ(rig.Process(0x60)->ThreadCount, 0);
    }
    {
        EnumRig rig;
        rig.machine.AddProcess(0x70, 0, "b.exe").threads = {{0x74}};
        rig.machine.firstProcessEntryError = 18;
        rig.machine.firstThreadEntryError = 0xC0000005u;
        rig.engine.EnumerateProcesses();
        EXPECT_EQ(rig.Messages(), Seq("No processes: error 12", "No Threads: error C0000005"));
        EXPECT_EQ(rig.machine.OpenHandleCount(), 0u);
    }
}

TEST(ProcessPasses, ThreadCountsWithoutToolhelpComeFromTheWalkAndTasks) {
    EnumRig rig;
    rig.machine.toolhelpExported = false;
    auto& vdm = rig.machine.AddProcess(0x80, 0, "ntvdm.exe");
    vdm.threads = {{0x84}, {0x88}};
    vdm.tasks = {{0x88, 1, 0x0501, "WRITE", "C:\\WINDOWS\\WRITE.EXE"}};
    rig.machine.AddProcess(0x90, 0, "gui.exe").threads = {{0x94}, {0x98}};
    rig.machine.AddWindow(0x90, 0x94);
    rig.machine.AddWindow(0x90, 0x98);
    rig.machine.AddWindow(0x90, 0x98);

    rig.engine.EnumerateProcesses();

    EXPECT_EQ(rig.Process(0x90)->ThreadCount, 2);
    EXPECT_EQ(rig.Process(0x80)->ThreadCount, 0);
    EXPECT_EQ(rig.Process(0x501)->ThreadCount, 1);
    EXPECT_TRUE(rig.Process(0x501)->Parent.lock() == rig.Process(0x80));
}

TEST(ProcessPasses, ANewEnumerationReleasesTheOldTree) {
    EnumRig rig;
    rig.machine.AddProcess(0x20, 0x10, "a.exe").threads = {{0x24}};
    rig.machine.AddProcess(0x10, 0, "b.exe");
    const WindowHandle top = rig.machine.AddWindow(0x20, 0x24, 0, "top");
    rig.machine.AddWindow(0x20, 0x24, top, "child");

    rig.engine.EnumerateProcesses();
    std::weak_ptr<CProcess> a = rig.Process(0x20), b = rig.Process(0x10);
    std::weak_ptr<CThread> thread = a.lock()->Threads.At(0);
    std::weak_ptr<CWindow> window = thread.lock()->Windows.At(0);
    std::weak_ptr<CWindow> child = window.lock()->ChildWindows.At(0);
    rig.engine.EnumerateProcesses();

    EXPECT_TRUE(a.expired());
    EXPECT_TRUE(b.expired());
    EXPECT_TRUE(thread.expired());
    EXPECT_TRUE(window.expired());
    EXPECT_TRUE(child.expired());
}

}  // namespace
}  // namespace brakkis::test
