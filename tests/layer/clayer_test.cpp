// CLayer on the simulated machine, whose windows, like user32's, refuse layered attributes until they are layered.
#include <gtest/gtest.h>

#include "layer/clayer.h"
#include "tests/fakes/sim_machine.h"

namespace brakkis {
namespace {

constexpr std::int32_t kToolWindow = 0x80;

TEST(CLayer, OneWindowIsLayeredOnceWithAColourKeyOrAnOpacityAndItsTaskbarButtonChangesAroundAHide) {
    sim::SimMachine machine;
    CLayer layer{machine};
    const WindowHandle splash = machine.CreateWindow("", true), other = machine.CreateWindow("", true);
    sim::SimWindow& w = *machine.Window(splash);
    w.exStyle = kToolWindow;
    layer.ShowTaskbarWindow(splash);
    EXPECT_EQ(w.exStyle, kToolWindow | win::kWsExAppWindow);
    layer.HideTaskbarWindow(splash);
    EXPECT_EQ(w.exStyle, kToolWindow);
    layer.MoveWindows(splash);
    EXPECT_EQ(machine.calls,
              (std::vector<std::string>{"ShowWindow 0", "SetWindowLong -20", "ShowWindow 5", "ShowWindow 0",
                                        "SetWindowLong -20", "ShowWindow 5", "ReleaseCapture",
                                        "SendMessage 161 2 0 to " + std::to_string(splash)}));

    EXPECT_EQ(layer.OpacityLevel(), 100.0f);
    layer.SetInvisibleColorKey(splash, 0x00FF00FF);
    EXPECT_EQ(std::tuple(w.exStyle, w.layeredKey, w.layeredFlags),
              std::tuple(kToolWindow | win::kWsExLayered, 0x00FF00FFu, win::kLwaColorKey));
    for (int a = 0; a <= 255; ++a) {
        layer.SetOpacity(splash, static_cast<std::uint8_t>(a));
        ASSERT_EQ(layer.OpacityLevel(), static_cast<float>((a * 20000 + 255) / 510) / 100.0f) << "opacity " << a;
    }
    EXPECT_EQ(std::tuple(w.layeredAlpha, w.layeredFlags), std::tuple(255, win::kLwaAlpha));
    layer.SetInvisibleColorKey(splash, 0x8000000F);  // system colour 15, as the machine has it
    EXPECT_EQ(std::tuple(w.layeredKey, w.layeredFlags), std::tuple(0x00F0F0F0u, win::kLwaColorKey));
    // One window per object: a second never gets the style, so the system refuses its key and its opacity.
    layer.SetInvisibleColorKey(other, 0x00FF00FF);
    layer.SetOpacity(other, 7);
    EXPECT_EQ(machine.Window(other)->exStyle | static_cast<std::int32_t>(machine.Window(other)->layeredFlags), 0);
    // Nothing is checked: a dead handle still counts as layered and keeps its level.
    CLayer fresh{machine};
    fresh.SetOpacity(0x7777, 128);
    EXPECT_TRUE(fresh.WindowLayered() && fresh.OpacityLevel() == 50.2f);
}

}  // namespace
}  // namespace brakkis
