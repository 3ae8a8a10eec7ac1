#include "platform/win32/win32_launcher_instances.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/ascii_case.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_window_runtime.h"
#include "platform/win32/windows_api.h"

namespace brakkis {
namespace {

using win32::ScopedKernelHandle;

// A stuck launcher must not hold every other one for good; past this, the
// files are worked on regardless, as they were before launchers met at all.
constexpr DWORD kFilesWaitMs = 30000;

std::string MutexName(const char* role, const std::string& gameFolder) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : ascii::LowerCase(gameFolder)) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char name[96];
    std::snprintf(name, sizeof name, "Global\\BrakkisIsle.%s.%016llx", role, static_cast<unsigned long long>(hash));
    return name;
}

std::string FolderOfProcess(DWORD processId) {
    ScopedKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    char path[MAX_PATH * 4];
    DWORD size = sizeof path;
    if (!process || !::QueryFullProcessImageNameA(process.Get(), 0, path, &size)) return {};
    const std::string full(path, size);
    return full.substr(0, full.find_last_of('\\'));
}

struct SplashSearch {
    std::string gameFolder;
    HWND found = nullptr;
};

// A named callback: x86's stdcall does not take a lambda's conversion.
BOOL CALLBACK FindSplash(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<SplashSearch*>(param);
    char className[64] = {};
    DWORD processId = 0;
    ::GetClassNameA(window, className, sizeof className);
    ::GetWindowThreadProcessId(window, &processId);
    if (std::string(className) == kSplashClassName && ::IsWindowVisible(window) &&
        ascii::EqualNoCase(FolderOfProcess(processId), search.gameFolder)) {
        search.found = window;
    }
    return search.found == nullptr;
}

class Win32LauncherInstances final : public LauncherInstances {
public:
    bool ClaimRun(const std::string& gameFolder) override {
        ScopedKernelHandle claim(::CreateMutexA(nullptr, FALSE, MutexName("Run", gameFolder).c_str()));
        if (::GetLastError() == ERROR_ALREADY_EXISTS) return false;
        run_ = std::move(claim);  // held until the process ends, however it ends
        return true;
    }

    bool RunClaimed(const std::string& gameFolder) override {
        return ScopedKernelHandle(::OpenMutexA(SYNCHRONIZE, FALSE, MutexName("Run", gameFolder).c_str())).IsValid();
    }

    void LockFiles(const std::string& gameFolder) override {
        files_.Reset(::CreateMutexA(nullptr, FALSE, MutexName("Files", gameFolder).c_str()));
        // An abandoned lock is a launcher that died mid-way: ours now.
        if (files_) ::WaitForSingleObject(files_.Get(), kFilesWaitMs);
    }

    void UnlockFiles(const std::string&) override {
        if (files_) ::ReleaseMutex(files_.Get());
        files_.Reset();
    }

    void BringRunToFront(const std::string& gameFolder) override {
        SplashSearch search{gameFolder};
        HWND window = ::FindWindowA(nullptr, "Brakkis");
        if (!window) ::EnumWindows(FindSplash, reinterpret_cast<LPARAM>(&search)), window = search.found;
        if (!window) return;
        if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
        ::SetForegroundWindow(window);
    }

private:
    ScopedKernelHandle run_;
    ScopedKernelHandle files_;
};

}  // namespace

std::unique_ptr<LauncherInstances> CreateWin32LauncherInstances() { return std::make_unique<Win32LauncherInstances>(); }

}  // namespace brakkis
