// Letter case of what the launcher compares by name: file and program names,
// configuration keys and section headers, window titles. All are ASCII where
// it matters, and folding only A-Z keeps every comparison independent of the
// process locale and of the code page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brakkis::ascii {

inline char FoldCase(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = FoldCase(c);
    return lower;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) noexcept {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace brakkis::ascii
