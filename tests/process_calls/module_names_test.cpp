// The adapter names modules without asking psapi for every one; whatever it
// answers must be what psapi itself answers, for every module of every
// process on the machine, in a roomy buffer and in a cramped one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_process_calls.h"
#include "platform/win32/windows_api.h"

#include <psapi.h>

// The adapter's method names; keep psapi's macros off them.
#undef EnumProcessModules
#undef GetModuleFileNameEx
#undef GetModuleBaseName

namespace {

using brakkis::KernelHandle;
using brakkis::ModuleHandle;
using brakkis::win::kProcessQueryAndRead;

struct Text {
    std::uint32_t copied = 0;
    std::string bytes;  // the whole buffer, so a missing terminator shows too
    bool operator==(const Text&) const = default;
};

template <class Call>
Text Read(Call call, std::uint32_t size) {
    std::vector<char> buffer(size + 8, '#');
    Text text;
    text.copied = call(buffer.data(), size);
    text.bytes.assign(buffer.begin(), buffer.end());
    return text;
}

std::vector<DWORD> ProcessIds() {
    std::vector<DWORD> ids(1000);
    DWORD bytes = 0;
    if (!::EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return {};
    ids.resize(bytes / sizeof(DWORD));
    return ids;
}

TEST(ModuleNames, EveryModuleOfEveryProcessIsNamedAsPsapiNamesIt) {
    const auto calls = brakkis::CreateWin32ProcessCalls();
    int processesSeen = 0, modulesSeen = 0;
    for (const DWORD pid : ProcessIds()) {
        const KernelHandle process = calls->OpenProcess(kProcessQueryAndRead, false, pid);
        if (process == 0) continue;
        std::vector<ModuleHandle> modules(1000);
        std::uint32_t count = 0;
        if (calls->EnumProcessModules(process, modules.data(), static_cast<std::uint32_t>(modules.size()), count)) {
            ++processesSeen;
            const HANDLE raw = reinterpret_cast<HANDLE>(process);
            for (std::uint32_t j = 0; j < count && j < modules.size(); ++j) {
                const auto module = reinterpret_cast<HMODULE>(modules[j]);
                for (const std::uint32_t size : {300u, 260u, 12u, 3u, 1u}) {
                    SCOPED_TRACE("process " + std::to_string(pid) + ", module " + std::to_string(j) + ", buffer " +
                                 std::to_string(size));
                    EXPECT_EQ(Read([&](char* b, std::uint32_t n) { return calls->GetModuleFileNameEx(process, modules[j], b, n); }, size),
                              Read([&](char* b, std::uint32_t n) { return ::GetModuleFileNameExA(raw, module, b, n); }, size));
                    EXPECT_EQ(Read([&](char* b, std::uint32_t n) { return calls->GetModuleBaseName(process, modules[j], b, n); }, size),
                              Read([&](char* b, std::uint32_t n) { return ::GetModuleBaseNameA(raw, module, b, n); }, size));
                }
                ++modulesSeen;
            }
        }
        calls->CloseHandle(process);
    }
    EXPECT_GT(processesSeen, 1);
    EXPECT_GT(modulesSeen, 10);
}

// A handle value comes back for another process once the first is closed,
// and every 64-bit program tends to load at the same base: names asked
// through the new handle must be the new process's own.
TEST(ModuleNames, AHandleClosedAndReusedNamesTheNewProcessModules) {
    const auto calls = brakkis::CreateWin32ProcessCalls();
    char ownPath[MAX_PATH];
    const DWORD ownLength = ::GetModuleFileNameA(nullptr, ownPath, MAX_PATH);
    const auto ownModule = reinterpret_cast<ModuleHandle>(::GetModuleHandleA(nullptr));
    int checked = 0;
    for (const DWORD pid : ProcessIds()) {
        if (pid == ::GetCurrentProcessId()) continue;
        const KernelHandle process = calls->OpenProcess(kProcessQueryAndRead, false, pid);
        if (process == 0) continue;
        std::vector<ModuleHandle> modules(1000);
        std::uint32_t count = 0;
        calls->EnumProcessModules(process, modules.data(), 1000, count);
        calls->CloseHandle(process);

        const KernelHandle own = calls->OpenProcess(kProcessQueryAndRead, false, ::GetCurrentProcessId());
        ASSERT_NE(own, 0);
        char name[300];
        const std::uint32_t copied = calls->GetModuleFileNameEx(own, ownModule, name, sizeof name);
        EXPECT_EQ(std::string(name, copied), std::string(ownPath, ownLength)) << "after process " << pid;
        calls->CloseHandle(own);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
