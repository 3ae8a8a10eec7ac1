// A private key under HKEY_CURRENT_USER for one test, in the simulated
// registry or, in the Windows build, the system's, so the same tests run on
// both; and helpers that reach the registry through the port itself.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/registry_calls.h"
#include "tests/fakes/sim_registry.h"
#ifdef _WIN32
#include "platform/win32/win32_registry_calls.h"
#include "platform/win32/windows_api.h"
#endif

namespace brakkis::test {

inline constexpr RegKey kRoot = reg::kCurrentUser;
inline const std::string kTestsKey = "Software\\BrakkisIsleTests";

inline void CreatePath(RegistryCalls& calls, RegKey parent, const std::string& path) {
    RegKey key = 0;
    calls.CreateKeyEx(parent, path, 0, reg::kAllButDelete, &key, nullptr);
    calls.CloseKey(key);
}

// Stores exactly the bytes given, whatever the type.
inline void Put(RegistryCalls& calls, RegKey root, const std::string& path, const std::string& name,
                std::uint32_t type, const std::string& bytes) {
    RegKey key = 0;
    calls.CreateKeyEx(root, path, 0, reg::kAllButDelete, &key, nullptr);
    // Not followed by a NUL, which text types would otherwise take along.
    const std::string buffer = bytes + 'X';
    calls.SetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(buffer.data()),
                     static_cast<std::uint32_t>(bytes.size()));
    calls.CloseKey(key);
}

// "type:data", or "missing".
inline std::string Get(RegistryCalls& calls, RegKey root, const std::string& path, const std::string& name) {
    RegKey key = 0;
    calls.OpenKeyEx(root, path, 0, reg::kQueryValue, &key);
    std::uint32_t type = 0, size = 0;
    std::string data = "missing";
    if (calls.QueryValueEx(key, name, &type, nullptr, &size) == reg::kSuccess) {
        data.assign(size, '\0');
        calls.QueryValueEx(key, name, &type, reinterpret_cast<std::uint8_t*>(data.data()), &size);
        data = std::to_string(type) + ":" + data;
    }
    if (key != 0) calls.CloseKey(key);
    return data;
}

// Relative to each parent's handle: whole paths to long names can exceed
// what the ANSI calls accept.
inline void RemoveTree(RegistryCalls& calls, RegKey parent, const std::string& path) {
    RegKey key = 0;
    if (calls.OpenKeyEx(parent, path, 0, reg::kEnumerateSubKeys, &key) != reg::kSuccess) return;
    std::vector<std::string> children;
    char name[257];
    while (calls.EnumKey(key, static_cast<std::uint32_t>(children.size()), name, sizeof name) == reg::kSuccess) {
        children.emplace_back(name);
    }
    for (const auto& child : children) RemoveTree(calls, key, child);
    calls.CloseKey(key);
    calls.DeleteKey(parent, path);
}

// "number source: description" of what the call raised, or "nothing".
inline std::string Raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const RaisedError& e) {
        return std::to_string(e.Number()) + " " + e.Source() + ": " + e.Description();
    }
    return "nothing";
}

// A test that runs once on each registry, "Sim" or "System", in a key of
// this process's own below kTestsKey that goes again afterwards. On the
// simulated one it also checks that no key handle was left open.
class OnEachRegistry : public ::testing::TestWithParam<std::string> {
protected:
    OnEachRegistry() {
#ifdef _WIN32
        static int counter = 0;
        if (GetParam() == "System") {
            calls_ = std::make_unique<Win32RegistryCalls>();
            path_ = kTestsKey + "\\" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++);
        }
#endif
        if (!calls_) calls_.reset(sim_ = new sim::SimRegistry());
        CreatePath(*calls_, kRoot, path_);
    }
    void TearDown() override {
        if (sim_) {
            EXPECT_EQ(0u, sim_->OpenHandleCount());
        }
    }
    ~OnEachRegistry() override {
        RemoveTree(*calls_, kRoot, path_);
        calls_->DeleteKey(kRoot, kTestsKey);  // refused while another run has a key there
    }
    void SetEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
        if (!sim_) ::SetEnvironmentVariableA(name.c_str(), value.c_str());
#endif
        if (sim_) sim_->SetEnvironment(name, value);
    }
    void Put(const std::string& name, std::uint32_t type, const std::string& bytes) {
        test::Put(*calls_, kRoot, path_, name, type, bytes);
    }

    std::unique_ptr<RegistryCalls> calls_;
    sim::SimRegistry* sim_ = nullptr;
    std::string path_ = kTestsKey + "\\Sim";
};

#ifdef _WIN32
inline const std::vector<std::string> kRegistries{"Sim", "System"};
#else
inline const std::vector<std::string> kRegistries{"Sim"};
#endif

}  // namespace brakkis::test
