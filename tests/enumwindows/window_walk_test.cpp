#include "tests/enumwindows/enum_rig.h"

namespace brakkis::test {
namespace {


std::vector<std::string> Keys(const KeyedCollection<CWindow>& c) {
    std::vector<std::string> keys;
    for (const auto& entry : c) keys.push_back(entry.key);
    return keys;
}

struct WalkRig : EnumRig {
    WalkRig() {
        auto& self = machine.AddProcess(0x10, 0, "Brakkis Isle.exe");
        self.modules = {{0x20000000, "C:\\WINDOWS\\system32\\COMCTL32.dll"}};
        machine.selfPid = 0x10;
        machine.AddProcess(0x20, 0x10, "app.exe").threads = {{0x24}, {0x28}};
        machine.DesktopWindow().processId = 0x30;  // the window system's own process
        machine.DesktopWindow().threadId = 0x34;
        machine.AddProcess(0x30, 0, "csrss.exe").threads = {{0x34}};
    }
};

TEST(WindowWalk, FilesTopLevelWindowsAndTheirDescendants) {
    WalkRig rig;
    const WindowHandle top = rig.machine.AddWindow(0x20, 0x28, 0, "Main\r\nwindow");
    rig.machine.Window(top)->instance = 0x20000000;  // a module the program has loaded too
    rig.machine.Window(top)->className = "MainClass";
    const WindowHandle panel = rig.machine.AddWindow(0x20, 0x28, top, "Panel\tone");
    const WindowHandle button = rig.machine.AddWindow(0x20, 0x24, panel, "OK");
    rig.machine.AddWindow(0x20, 0x28, top, "");
    const WindowHandle mine = rig.machine.AddWindow(0x20, 0x24, 0, "Shares our instance");
    rig.machine.Window(mine)->instance = rig.machine.selfInstance;

    rig.engine.EnumerateProcesses();

    auto app = rig.Process(0x20);
    auto thread = app->Threads.Get("K-28");
    ASSERT_EQ(Keys(thread->Windows), Seq(MakeKey(top)));
    auto w = thread->Windows.At(0);
    EXPECT_EQ(w->Caption, "Main\r\nwindow");
    EXPECT_EQ(w->Class, "MainClass");
    EXPECT_EQ(w->FileName, "C:\\WINDOWS\\system32\\COMCTL32.dll");
    EXPECT_EQ(w->BaseName, "COMCTL32.dll");
    EXPECT_EQ(w->ParentProcess.lock(), app);
    EXPECT_EQ(w->ParentThread.lock(), thread);
    EXPECT_TRUE(w->ParentWindow.expired());

    // Every descendant is under the top-level window; a nested one under its parent as well.
    ASSERT_EQ(w->ChildWindows.Count(), 3u);
    auto p = w->ChildWindows.Get(MakeKey(panel));
    auto b = w->ChildWindows.Get(MakeKey(button));
    EXPECT_EQ(p->Caption, "Panel");
    EXPECT_EQ(p->ParentWindow.lock(), w);
    EXPECT_EQ(Keys(p->ChildWindows), Seq(MakeKey(button)));
    EXPECT_EQ(b->ParentWindow.lock(), p);
    EXPECT_EQ(b->ThreadID, 0x24);
    EXPECT_EQ(b->ParentThread.lock(), thread);
    EXPECT_EQ(b->hModule, 0x20000000);
    EXPECT_EQ(b->FileName, w->FileName);
    EXPECT_EQ(b->BaseName, "");
    EXPECT_EQ(w->ChildWindows.At(2)->Caption, "");

    auto other = app->Threads.Get("K-24")->Windows.Get(MakeKey(mine));
    EXPECT_EQ(other->FileName, "");
    EXPECT_EQ(other->BaseName, "");
}

TEST(WindowWalk, DesktopAndItsChildren) {
    WalkRig rig;
    const WindowHandle onDesktop = rig.machine.AddWindow(0x20, 0x24, sim::SimProcessMachine::kDesktop, "Tool\x01tip");
    rig.machine.AddWindow(0x20, 0x24, onDesktop, "never visited");
    const WindowHandle top = rig.machine.AddWindow(0x20, 0x28, 0, "after");

    rig.engine.EnumerateProcesses();

    auto desktop = rig.engine.DesktopWindow();
    ASSERT_TRUE(desktop);
    EXPECT_EQ(desktop->hwnd(), sim::SimProcessMachine::kDesktop);
    EXPECT_EQ(desktop->Class, "#32769");
    EXPECT_TRUE(desktop->ParentWindow.expired());
    auto csrssThread = rig.Process(0x30)->Threads.Get("K-34");
    EXPECT_EQ(csrssThread->Windows.Get(desktop->Key), desktop);

    ASSERT_EQ(Keys(desktop->ChildWindows), Seq(MakeKey(onDesktop)));
    auto tip = desktop->ChildWindows.At(0);
    EXPECT_EQ(tip->Caption, "Tool");
    EXPECT_EQ(tip->ParentWindow.lock(), desktop);
    EXPECT_EQ(tip->ParentProcess.lock(), rig.Process(0x30));
    EXPECT_EQ(tip->ProcessID, 0x20);
    EXPECT_EQ(tip->ThreadID, 0x24);
    auto appThread = rig.Process(0x20)->Threads.Get("K-24");
    EXPECT_EQ(appThread->DesktopOwnedWindows.Get(tip->Key), tip);
    EXPECT_TRUE(appThread->Windows.Empty());
    EXPECT_TRUE(tip->ChildWindows.Empty());
    // The next top-level window starts afresh.
    EXPECT_TRUE(rig.Process(0x20)->Threads.Get("K-28")->Windows.Get(MakeKey(top))->ParentWindow.expired());
    EXPECT_FALSE(rig.engine.CurrentTopWindow());
}

TEST(WindowWalk, WindowsOfSixteenBitTasksAndOfUnknownProcesses) {
    WalkRig rig;
    auto& vdm = rig.machine.AddProcess(0x80, 0x10, "ntvdm.exe");
    vdm.threads = {{0x84}, {0x88}};
    vdm.tasks = {{0x88, 1, 0x8001, "SOL", "C:\\WINDOWS\\SOL.EXE"}};
    const WindowHandle solitaire = rig.machine.AddWindow(0x80, 0x88, 0, "Solitaire");
    const WindowHandle console = rig.machine.AddWindow(0x80, 0x84, 0, "Console");
    const WindowHandle stranger = rig.machine.AddWindow(0x7770, 0x7774, 0, "from nowhere");

    rig.engine.EnumerateProcesses();

    auto task = rig.Process(-32767);
    ASSERT_TRUE(task);
    auto w = task->Threads.Get("K-88")->Windows.Get(MakeKey(solitaire));
    EXPECT_EQ(w->ParentProcess.lock(), task);
    EXPECT_EQ(w->ProcessID, 0x80);
    EXPECT_TRUE(rig.Process(0x80)->Threads.Get("K-84")->Windows.Contains(MakeKey(console)));
    EXPECT_FALSE(rig.Process(0x80)->Threads.Contains("K-88"));

    auto unknown = rig.Process(0x7770);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->Key, "K-7770");
    EXPECT_EQ(unknown->BaseName, "");
    EXPECT_TRUE(unknown->Parent.expired());
    EXPECT_TRUE(unknown->Threads.Get("K-7774")->Windows.Contains(MakeKey(stranger)));
}

TEST(WindowWalk, CaptionsOfHungLongAndDoubleByteWindows) {
    WalkRig rig;
    const WindowHandle hung = rig.machine.AddWindow(0x20, 0x24, 0, "Not Responding");
    rig.machine.Window(hung)->hung = true;
    const WindowHandle hungChild = rig.machine.AddWindow(0x20, 0x24, hung, "also stuck");
    rig.machine.Window(hungChild)->hung = true;
    const WindowHandle longOne = rig.machine.AddWindow(0x20, 0x24, 0, std::string(30005, 'x'));
    rig.machine.AddWindow(0x20, 0x24, longOne, std::string(30005, 'y'));
    const WindowHandle japanese = rig.machine.AddWindow(0x20, 0x28, 0, "Title \x83\x65\x83\x58\x83\x67");
    rig.machine.AddWindow(0x20, 0x28, japanese, "Label \x83\x65\x83\x58\x83\x67");
    rig.machine.leadBytes = {0x81, 0x82, 0x83};
    const WindowHandle last = rig.machine.AddWindow(0x20, 0x28, 0, "still walked");

    rig.engine.EnumerateProcesses();

    auto t24 = rig.Process(0x20)->Threads.Get("K-24");
    auto h = t24->Windows.Get(MakeKey(hung));
    EXPECT_EQ(h->Caption, "");
    EXPECT_EQ(h->ChildWindows.Get(MakeKey(hungChild))->Caption, "");
    EXPECT_GE(rig.machine.hungWindowsAsked, 2);
    EXPECT_GT(rig.machine.longestTextWaitMs, 0u);
    EXPECT_LE(rig.machine.longestTextWaitMs, 200u);

    auto l = t24->Windows.Get(MakeKey(longOne));
    EXPECT_EQ(l->Caption, std::string(30000, 'x'));
    EXPECT_EQ(l->ChildWindows.At(0)->Caption, std::string(30000, 'y'));

    auto t28 = rig.Process(0x20)->Threads.Get("K-28");
    auto j = t28->Windows.Get(MakeKey(japanese));
    EXPECT_EQ(j->Caption, "Title \x83\x65\x83\x58\x83\x67");
    EXPECT_EQ(j->ChildWindows.At(0)->Caption, "Label ");
    EXPECT_TRUE(t28->Windows.Contains(MakeKey(last)));
}

TEST(WindowWalk, AWindowThatGoesAwayMidWalkIsStillFiled) {
    WalkRig rig;
    const WindowHandle fleeting = rig.machine.AddWindow(0x20, 0x24, 0, "bye");
    rig.machine.onWindowListed = [&](WindowHandle hwnd) {
        if (hwnd == fleeting) rig.machine.DestroyWindow(hwnd);
    };

    rig.engine.EnumerateProcesses();

    // The system no longer knows its owner: it is filed under identifier 0.
    auto w = rig.Process(0)->Threads.Get("K-0")->Windows.Get(MakeKey(fleeting));
    EXPECT_EQ(w->Caption, "");
    EXPECT_EQ(w->Class, "");
    EXPECT_EQ(w->Style | w->ExStyle | w->Left | w->Top | w->Right | w->Bottom, 0);
}

}  // namespace
}  // namespace brakkis::test
