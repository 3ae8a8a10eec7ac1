// Windows as plain data: the lists the system hands out and the facts of each
// window. A handle listed but not described is a window that went away after
// it was listed: all its facts read as empty, as the system's calls answer.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/window_enum_calls.h"

namespace brakkis::sim {

struct FakeWindow {
    std::uint32_t processId = 0, threadId = 0;
    WindowHandle parent = 0;  // as GetParent reports it
    std::string text{}, className{};
    std::intptr_t instance = 0;
    std::int32_t style = 0, exStyle = 0;
    WindowRect rect{};
    bool hung = false;                         // never answers a message
    std::optional<std::intptr_t> length = {};  // what it answers for its text's length, when not the truth
};

struct FakeWindowTree final : WindowEnumCalls {
    WindowHandle desktop = 0x10010;
    std::vector<WindowHandle> topLevel;
    std::map<WindowHandle, std::vector<WindowHandle>> descendants;  // depth first
    std::map<WindowHandle, FakeWindow> windows;
    std::intptr_t ownInstance = 0x400000;
    std::map<std::intptr_t, std::string> ownModules;  // their paths as 100 characters hold them
    std::set<std::uint8_t> leadBytes;
    std::uint32_t longestWaitMs = 0;  // for a hung window's text

    WindowHandle GetDesktopWindow() override { return desktop; }
    std::vector<WindowHandle> TopLevelWindows() override { return topLevel; }
    std::vector<WindowHandle> DescendantWindows(WindowHandle parent) override { return descendants[parent]; }
    std::uint32_t GetWindowThreadProcessId(WindowHandle hwnd, std::uint32_t& processId) override {
        processId = windows[hwnd].processId;
        return windows[hwnd].threadId;
    }
    WindowHandle GetParent(WindowHandle hwnd) override { return windows[hwnd].parent; }
    std::string ClassName(WindowHandle hwnd) override { return windows[hwnd].className; }
    std::intptr_t GetWindowLongPtr(WindowHandle hwnd, std::int32_t index) override {
        return index == -16 ? windows[hwnd].style : index == -20 ? windows[hwnd].exStyle : windows[hwnd].instance;
    }
    bool GetWindowRect(WindowHandle hwnd, WindowRect& rect) override {
        rect = windows[hwnd].rect;
        return true;
    }
    std::optional<std::intptr_t> TextLength(WindowHandle hwnd, std::uint32_t timeoutMs) override {
        if (Hung(hwnd, timeoutMs)) return std::nullopt;
        return windows[hwnd].length.value_or(static_cast<std::intptr_t>(windows[hwnd].text.size()));
    }
    std::optional<std::string> Text(WindowHandle hwnd, std::intptr_t bufferSize, std::uint32_t timeoutMs) override {
        if (Hung(hwnd, timeoutMs)) return std::nullopt;
        return windows[hwnd].text.substr(0, static_cast<std::size_t>(bufferSize - 1));
    }
    std::string ModuleFileName(std::intptr_t module) override { return ownModules[module]; }
    std::intptr_t OwnInstance() override { return ownInstance; }
    bool IsDbcsLeadByte(std::uint8_t byte) override { return leadBytes.contains(byte); }

private:
    bool Hung(WindowHandle hwnd, std::uint32_t timeoutMs) {
        if (windows[hwnd].hung) longestWaitMs = std::max(longestWaitMs, timeoutMs);
        return windows[hwnd].hung;
    }
};

}  // namespace brakkis::sim
