// The game folder and the recovery value as the stand-in game, the demo's
// narrator and the Wine tests see them from outside the launcher, through
// the ANSI calls the launcher itself uses.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "tools/standin-game/standin_log.h"

namespace brakkis::outside {

inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The data of HKLM's Run value "Brakkis", whatever its type.
inline std::optional<std::string> RunValue() {
    win32::ScopedRegKey run;
    char data[2048];
    DWORD size = sizeof data - 1, type = 0;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE, run.Receive()) ||
        ::RegQueryValueExA(run.Get(), "Brakkis", nullptr, &type, reinterpret_cast<BYTE*>(data), &size)) {
        return std::nullopt;
    }
    data[size] = '\0';  // the stored data need not carry its terminator
    return std::string(data);
}

// Every file below the folder but the stand-in's log, by relative path, with its bytes.
inline void AddFiles(const std::string& folder, std::map<std::string, std::string>& files,
                     const std::string& prefix = "") {
    WIN32_FIND_DATAA found;
    win32::ScopedFindHandle search(::FindFirstFileA((folder + "\\*").c_str(), &found));
    for (bool more = search.IsValid(); more; more = ::FindNextFileA(search.Get(), &found)) {
        const std::string name = found.cFileName, path = folder + "\\" + name;
        if (name == "." || name == ".." || prefix + name == standin::kLogName) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            AddFiles(path, files, prefix + name + "\\");
        } else {
            files[prefix + name] = standin::ReadWhole(path);
        }
    }
}
inline std::map<std::string, std::string> FolderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    AddFiles(folder, files);
    return files;
}

}  // namespace brakkis::outside
