// Windows as plain data: the lists the system hands out and the facts of each
// window. A handle listed but missing from `windows` is a window that went
// away after it was listed, and every call about it fails as the system's do.
#pragma once

#include <algorithm>
#include <map>
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
    bool hung = false;  // never answers a message
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
        processId = Facts(hwnd).processId;
        return Facts(hwnd).threadId;
    }
    WindowHandle GetParent(WindowHandle hwnd) override { return Facts(hwnd).parent; }
    std::string ClassName(WindowHandle hwnd) override { return Facts(hwnd).className; }
    std::intptr_t GetWindowLongPtr(WindowHandle hwnd, std::int32_t index) override {
        return index == -16 ? Facts(hwnd).style : index == -20 ? Facts(hwnd).exStyle : Facts(hwnd).instance;
    }
    bool GetWindowRect(WindowHandle hwnd, WindowRect& rect) override {
        if (windows.contains(hwnd)) rect = windows[hwnd].rect;
        return windows.contains(hwnd);
    }
    std::optional<std::intptr_t> TextLength(WindowHandle hwnd, std::uint32_t timeoutMs) override {
        if (!Answers(hwnd, timeoutMs)) return std::nullopt;
        return static_cast<std::intptr_t>(Facts(hwnd).text.size());
    }
    std::optional<std::string> Text(WindowHandle hwnd, std::intptr_t bufferSize, std::uint32_t timeoutMs) override {
        if (!Answers(hwnd, timeoutMs) || bufferSize <= 0) return std::nullopt;
        return Facts(hwnd).text.substr(0, static_cast<std::size_t>(bufferSize - 1));
    }
    std::string ModuleFileName(std::intptr_t module) override { return ownModules[module]; }
    std::intptr_t OwnInstance() override { return ownInstance; }
    bool IsDbcsLeadByte(std::uint8_t byte) override { return leadBytes.contains(byte); }

private:
    FakeWindow Facts(WindowHandle hwnd) const { return windows.contains(hwnd) ? windows.at(hwnd) : FakeWindow{}; }
    bool Answers(WindowHandle hwnd, std::uint32_t timeoutMs) {
        if (Facts(hwnd).hung) longestWaitMs = std::max(longestWaitMs, timeoutMs);
        return windows.contains(hwnd) && !Facts(hwnd).hung;
    }
};

}  // namespace brakkis::sim
