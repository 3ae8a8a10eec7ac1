// Pictures of the screen, for the demo's photograph of the splash and the
// tests that compare it with the committed art.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace brakkis::screen {

// The pixels of a part of the screen as 0x00RRGGBB, top row first.
// CAPTUREBLT: on Windows a plain copy from the screen leaves layered
// windows, the splash among them, out.
inline std::vector<std::uint32_t> Capture(const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return {};
    const HDC screen = ::GetDC(nullptr), memory = ::CreateCompatibleDC(screen);
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    win32::ScopedGdiObject canvas(::CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    const HGDIOBJ before = ::SelectObject(memory, canvas.Get());
    ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
    ::GdiFlush();
    std::vector<std::uint32_t> pixels(static_cast<std::uint32_t*>(bits),
                                      static_cast<std::uint32_t*>(bits) + width * height);
    ::SelectObject(memory, before);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    for (auto& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

// A 24-bit bitmap file of captured pixels.
inline bool Save(const std::vector<std::uint32_t>& pixels, int width, const std::string& path) {
    const int height = width > 0 ? static_cast<int>(pixels.size()) / width : 0, stride = (width * 3 + 3) & ~3;
    std::string file(54 + static_cast<std::size_t>(stride) * height, '\0');
    const auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<char>(value >> (8 * i));
    };
    put(0, 0x4D42, 2), put(2, static_cast<std::uint32_t>(file.size()), 4), put(10, 54, 4), put(14, 40, 4);
    put(18, width, 4), put(22, height, 4), put(26, 1, 2), put(28, 24, 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) put(54 + (height - 1 - y) * stride + 3 * x, pixels[y * width + x], 3);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out << file);
}

}  // namespace brakkis::screen
