// A private key under HKEY_CURRENT_USER for one test, in the simulated
// registry or, in the Windows build, the system's, so the same tests run on
// both; and helpers that reach the registry through the port itself.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry_calls.h"
#include "platform/sim/sim_registry.h"

namespace brakkis::test {

inline constexpr RegKey kSandboxRoot = reg::kCurrentUser;

struct Sandbox {
    virtual ~Sandbox() = default;
    virtual RegistryCalls& Calls() = 0;
    virtual void SetEnvironment(const std::string& name, const std::string& value) = 0;
    virtual sim::SimRegistry* Sim() { return nullptr; }  // the test hooks, when simulated
    std::string path;
};

using SandboxFactory = std::pair<std::string, std::function<std::unique_ptr<Sandbox>()>>;
std::vector<SandboxFactory> Sandboxes();

void CreatePath(RegistryCalls& calls, RegKey parent, const std::string& path);
// Stores exactly the bytes given, whatever the type.
void Put(RegistryCalls& calls, RegKey root, const std::string& path, const std::string& name,
         std::uint32_t type, const std::string& bytes);
// "type:data", or "missing".
std::string Get(RegistryCalls& calls, RegKey root, const std::string& path,
                const std::string& name);
void RemoveTree(RegistryCalls& calls, RegKey parent, const std::string& path);
// "number source: description" of what the call raised, or "nothing".
std::string Raised(const std::function<void()>& call);

}  // namespace brakkis::test
