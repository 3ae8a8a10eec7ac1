// Stands in for UnrealTournament.exe where the real game cannot be run: it
// records its start (see standin_log.h) and exits.
#include <string>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"
#include "tools/standin-game/standin_log.h"

namespace {

using brakkis::win32::ScopedKernelHandle;
using brakkis::win32::ScopedRegKey;

std::string OwnFolder() {
    char path[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string full(path, length < sizeof path ? length : 0);
    return full.substr(0, full.find_last_of('\\'));
}

std::string RunValueLine() {
    ScopedRegKey run;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 0, KEY_QUERY_VALUE,
                        run.Receive()) == ERROR_SUCCESS) {
        char data[2048];
        DWORD size = sizeof data - 1;
        DWORD type = 0;
        if (::RegQueryValueExA(run.Get(), "Brakkis", nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
            ERROR_SUCCESS) {
            data[size] = '\0';  // the stored data need not carry its terminator
            return brakkis::standin::kRunValue + std::string(data);
        }
    }
    return brakkis::standin::kRunValueMissing;
}

}  // namespace

int main() {
    namespace log = brakkis::standin;
    const std::string record = log::kCommandLine + std::string(::GetCommandLineA()) + "\r\n" + RunValueLine() +
                               "\r\n" + log::kRecordEnd + "\r\n";
    // One appending write per start: a reader never sees half a record
    // followed by another one.
    ScopedKernelHandle file(::CreateFileA((OwnFolder() + "\\" + log::kLogName).c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr)) {
        return 1;
    }
    return 0;
}
