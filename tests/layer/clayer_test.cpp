// CLayer on the simulated machine, whose windows refuse layered attributes
// until they carry the layered style, as user32's do.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "layer/clayer.h"
#include "tests/fakes/sim_machine.h"

namespace brakkis {
namespace {

constexpr std::int32_t kWsExToolWindow = 0x80;

struct LayerRig {
    sim::SimMachine machine;
    sim::SimWindowCalls windows{machine};
    CLayer layer{windows};

    WindowHandle NewWindow(std::int32_t exStyle, bool visible = true) {
        const WindowHandle hwnd = machine.CreateWindow("", visible);
        machine.Window(hwnd)->exStyle = exStyle;
        return hwnd;
    }
    long ExStyleWrites() const {
        return std::count(windows.calls.begin(), windows.calls.end(), "SetWindowLong -20");
    }
};

TEST(CLayer, ColourKeyLayersTheFirstWindowOnceAndResolvesSystemColours) {
    LayerRig rig;
    const WindowHandle splash = rig.NewWindow(kWsExToolWindow);
    const sim::SimWindow& w = *rig.machine.Window(splash);

    rig.layer.SetInvisibleColorKey(splash, 0x00FF00FF);
    EXPECT_TRUE(rig.layer.WindowLayered());
    EXPECT_EQ(w.exStyle, kWsExToolWindow | win::kWsExLayered);
    EXPECT_EQ(w.layeredKey, 0x00FF00FFu);
    EXPECT_EQ(w.layeredFlags, win::kLwaColorKey);

    rig.layer.SetInvisibleColorKey(splash, 0x8000000F);
    EXPECT_EQ(w.layeredKey, 0x00F0F0F0u) << "system colour 15 as the machine has it";
    EXPECT_EQ(rig.ExStyleWrites(), 1);

    // The object has layered its one window: a second one never gets the
    // style, so the system refuses its key.
    const WindowHandle other = rig.NewWindow(0);
    rig.layer.SetInvisibleColorKey(other, 0x00FF00FF);
    EXPECT_EQ(rig.machine.Window(other)->exStyle, 0);
    EXPECT_EQ(rig.machine.Window(other)->layeredFlags, 0u);
}

TEST(CLayer, OpacityIsAPercentageToTwoDecimalsAndTakesOverFromTheKey) {
    LayerRig rig;
    const WindowHandle splash = rig.NewWindow(0);
    const sim::SimWindow& w = *rig.machine.Window(splash);
    EXPECT_EQ(rig.layer.OpacityLevel(), 100.0f);

    rig.layer.SetInvisibleColorKey(splash, 0x00FF00FF);
    for (int a = 0; a <= 255; ++a) {
        rig.layer.SetOpacity(splash, static_cast<std::uint8_t>(a));
        const int hundredths = (a * 20000 + 255) / 510;  // a / 255 * 100, to the nearest hundredth
        ASSERT_EQ(rig.layer.OpacityLevel(), static_cast<float>(hundredths) / 100.0f) << "opacity " << a;
    }
    EXPECT_EQ(w.layeredFlags, win::kLwaAlpha);
    EXPECT_EQ(w.layeredAlpha, 255);
    rig.layer.SetOpacity(splash, 128);
    EXPECT_EQ(rig.layer.OpacityLevel(), 50.2f);

    rig.layer.SetOpacity(splash, 0);
    EXPECT_TRUE(w.visible) << "fully transparent, but there";
    rig.layer.SetInvisibleColorKey(splash, 0x00FF00FF);
    EXPECT_EQ(w.layeredFlags, win::kLwaColorKey);
    EXPECT_EQ(rig.ExStyleWrites(), 1);

    // Nothing is checked: a dead handle still counts as layered and leaves its level.
    LayerRig fresh;
    fresh.layer.SetOpacity(0x7777, 128);
    EXPECT_TRUE(fresh.layer.WindowLayered());
    EXPECT_EQ(fresh.layer.OpacityLevel(), 50.2f);
}

TEST(CLayer, TaskbarButtonChangesAroundAHideAndLeavesTheWindowShown) {
    LayerRig rig;
    const WindowHandle splash = rig.NewWindow(kWsExToolWindow | win::kWsExLayered, false);
    const sim::SimWindow& w = *rig.machine.Window(splash);

    rig.layer.ShowTaskbarWindow(splash);
    EXPECT_EQ(w.exStyle, kWsExToolWindow | win::kWsExLayered | win::kWsExAppWindow);
    EXPECT_TRUE(w.visible);
    EXPECT_EQ(rig.windows.calls, (std::vector<std::string>{"ShowWindow 0", "SetWindowLong -20", "ShowWindow 5"}));

    rig.windows.ShowWindow(splash, win::kSwHide);
    rig.layer.HideTaskbarWindow(splash);
    EXPECT_EQ(w.exStyle, kWsExToolWindow | win::kWsExLayered);
    EXPECT_TRUE(w.visible);

    // A drag by the body: the capture goes first, or the system would not start it.
    rig.windows.calls.clear();
    rig.layer.MoveWindows(splash);
    EXPECT_EQ(rig.windows.calls, (std::vector<std::string>{"ReleaseCapture", "SendMessage 161 2 0 to " +
                                                                                 std::to_string(splash)}));
}

}  // namespace
}  // namespace brakkis
