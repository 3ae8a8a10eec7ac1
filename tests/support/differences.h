// Folders compared file by file, by relative path.
#pragma once

#include <map>
#include <string>

namespace brakkis {

using Files = std::map<std::string, std::string>;

// The names whose presence or bytes differ: a failure names files, never prints them.
inline std::string Differences(const Files& expected, const Files& actual) {
    std::string out;
    for (const auto& [path, bytes] : expected)
        out += !actual.contains(path) ? " missing:" + path : actual.at(path) != bytes ? " changed:" + path : "";
    for (const auto& [path, bytes] : actual) out += expected.contains(path) ? "" : " extra:" + path;
    return out;
}

// A text of single bytes as UTF-16LE with its byte-order mark.
inline std::string Utf16(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) bytes.append({c, '\0'});
    return bytes;
}

}  // namespace brakkis
