// Windows as plain data; a handle listed but not described went away after it was listed: its facts read empty.
#pragma once

#include <map>
#include <set>

#include "platform/window_enum_calls.h"

namespace brakkis::sim {

struct FakeWindow {
    std::uint32_t processId = 0, threadId = 0;
    WindowHandle parent = 0;               // as GetParent reports it
    std::optional<std::string> text = "";  // none: it never answers
    std::string className{};
    std::intptr_t instance = 0;
    std::int32_t style = 0, exStyle = 0;
    WindowRect rect{};
};

struct FakeWindowTree final : WindowEnumCalls {
    std::vector<WindowHandle> topLevel;
    std::map<WindowHandle, std::vector<WindowHandle>> descendants;  // depth first
    std::map<WindowHandle, FakeWindow> windows;
    std::map<std::intptr_t, std::string> ownModules;  // by instance; this program's own is 0x400000
    std::set<std::uint8_t> leadBytes;
    std::uint32_t longestWaitMs = 0;  // for a text

    WindowHandle GetDesktopWindow() override { return 0x10010; }
    std::vector<WindowHandle> TopLevelWindows() override { return topLevel; }
    std::vector<WindowHandle> DescendantWindows(WindowHandle parent) override { return descendants[parent]; }
    std::uint32_t GetWindowThreadProcessId(WindowHandle hwnd, std::uint32_t& processId) override {
        return processId = windows[hwnd].processId, windows[hwnd].threadId;
    }
    WindowHandle GetParent(WindowHandle hwnd) override { return windows[hwnd].parent; }
    std::string ClassName(WindowHandle hwnd) override { return windows[hwnd].className; }
    std::intptr_t GetWindowLongPtr(WindowHandle hwnd, std::int32_t index) override {
        return index == -16 ? windows[hwnd].style : index == -20 ? windows[hwnd].exStyle : windows[hwnd].instance;
    }
    bool GetWindowRect(WindowHandle hwnd, WindowRect& rect) override { return rect = windows[hwnd].rect, true; }
    std::optional<std::intptr_t> TextLength(WindowHandle hwnd, std::uint32_t timeoutMs) override {
        const auto text = Text(hwnd, 1 << 30, timeoutMs);
        return text ? std::optional<std::intptr_t>(text->size()) : std::nullopt;
    }
    std::optional<std::string> Text(WindowHandle hwnd, std::intptr_t bufferSize, std::uint32_t timeoutMs) override {
        if (timeoutMs > longestWaitMs) longestWaitMs = timeoutMs;
        const auto& text = windows[hwnd].text;
        return text ? std::optional(text->substr(0, static_cast<std::size_t>(bufferSize - 1))) : std::nullopt;
    }
    std::string ModuleFileName(std::intptr_t module) override { return ownModules[module]; }
    std::intptr_t OwnInstance() override { return 0x400000; }
    bool IsDbcsLeadByte(std::uint8_t byte) override { return leadBytes.contains(byte); }
};

}  // namespace brakkis::sim
