// Which call lists the modules of a process. A 64-bit program that asks the
// plain call about a 32-bit process (the game is one) sees only the few
// 64-bit modules of its WOW64 layer, so the extended call, asked for modules
// of both widths, is taken wherever the system has it. Free of <windows.h>,
// so the choice can be checked on any host.
#pragma once

#include <cstdint>

namespace brakkis::win32 {

inline constexpr std::uint32_t kListModulesAll = 3;

// listEx(args..., filter) and list(args...) stand for EnumProcessModulesEx
// and EnumProcessModules; either may be absent (null or empty).
template <class ListEx, class List, class... Args>
bool ListModules(const ListEx& listEx, const List& list, Args... args) {
    if (listEx) return listEx(args..., kListModulesAll) != 0;
    return list && list(args...) != 0;
}

}  // namespace brakkis::win32
