// Name matching shared by the file-system adapters, so that a pattern picks
// the same files on every host: the game folder's names are compared without
// regard to letter case, and "*" and "?" behave as they do in a command
// prompt, minus the 8.3 short-name matches Windows would add on its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brakkis::path_names {

// The game's file names are ASCII; folding only A-Z keeps the comparison
// independent of the process locale and of the code page.
inline char FoldCase(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualNoCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

inline bool HasWildcard(std::string_view name) noexcept {
    return name.find_first_of("*?") != std::string_view::npos;
}

// '*' matches any run of characters, dots included; '?' exactly one.
inline bool WildcardMatch(std::string_view pattern, std::string_view name) noexcept {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            // Let the last star swallow one more character and retry.
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// A literal name compares without regard to case; one with wildcards matches
// as a pattern.
inline bool NameMatches(std::string_view patternOrName, std::string_view name) noexcept {
    return HasWildcard(patternOrName) ? WildcardMatch(patternOrName, name)
                                      : EqualNoCase(patternOrName, name);
}

inline bool EndsWithSeparator(const std::string& path) noexcept {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

}  // namespace brakkis::path_names
