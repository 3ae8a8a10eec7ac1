// Name matching shared by the file-system adapters, so that a pattern picks
// the same files on every host: the game folder's names are compared without
// regard to letter case, and "*" and "?" behave as they do in a command
// prompt, minus the 8.3 short-name matches Windows would add on its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/ascii_case.h"

namespace brakkis::path_names {

inline bool HasWildcard(std::string_view name) noexcept { return name.find_first_of("*?") != std::string_view::npos; }

// '*' matches any run of characters, dots included; '?' exactly one.
inline bool WildcardMatch(std::string_view pattern, std::string_view name) noexcept {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || ascii::FoldCase(pattern[p]) == ascii::FoldCase(name[n]))) {
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
    return HasWildcard(patternOrName) ? WildcardMatch(patternOrName, name) : ascii::EqualNoCase(patternOrName, name);
}

inline bool EndsWithSeparator(const std::string& path) noexcept {
    return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

}  // namespace brakkis::path_names
