#include "tests/registry/sandbox.h"

#include "platform/error.h"
#ifdef _WIN32
#include "platform/win32/win32_registry_calls.h"
#include "platform/win32/windows_api.h"
#endif

namespace brakkis::test {
namespace {

struct SimSandbox : Sandbox {
    SimSandbox() {
        path = "Software\\BrakkisIsleTests\\Sim";
        CreatePath(sim, kSandboxRoot, path);
    }
    RegistryCalls& Calls() override { return sim; }
    void SetEnvironment(const std::string& name, const std::string& value) override {
        sim.SetEnvironment(name, value);
    }
    sim::SimRegistry* Sim() override { return &sim; }

    sim::SimRegistry sim;
};

#ifdef _WIN32
// The system's registry (Wine's, in the cross build), in a key of this
// process's own that goes again afterwards.
struct SystemSandbox : Sandbox {
    static constexpr const char* kParent = "Software\\BrakkisIsleTests";
    SystemSandbox() {
        static int counter = 0;
        path = std::string(kParent) + "\\" + std::to_string(::GetCurrentProcessId()) + "-" +
               std::to_string(counter++);
        RemoveTree(calls, kSandboxRoot, path);
        CreatePath(calls, kSandboxRoot, path);
    }
    ~SystemSandbox() override {
        RemoveTree(calls, kSandboxRoot, path);
        calls.DeleteKey(kSandboxRoot, kParent);  // refused while another run has a key there
    }
    RegistryCalls& Calls() override { return calls; }
    void SetEnvironment(const std::string& name, const std::string& value) override {
        ::SetEnvironmentVariableA(name.c_str(), value.c_str());
    }

    Win32RegistryCalls calls;
};
#endif

}  // namespace

std::vector<SandboxFactory> Sandboxes() {
    std::vector<SandboxFactory> all{{"Sim", [] { return std::make_unique<SimSandbox>(); }}};
#ifdef _WIN32
    all.emplace_back("System", [] { return std::make_unique<SystemSandbox>(); });
#endif
    return all;
}

void CreatePath(RegistryCalls& calls, RegKey parent, const std::string& path) {
    RegKey key = 0;
    calls.CreateKeyEx(parent, path, 0, reg::kAllButDelete, &key, nullptr);
    calls.CloseKey(key);
}

void Put(RegistryCalls& calls, RegKey root, const std::string& path, const std::string& name,
         std::uint32_t type, const std::string& bytes) {
    RegKey key = 0;
    calls.CreateKeyEx(root, path, 0, reg::kAllButDelete, &key, nullptr);
    // Not followed by a NUL, which text types would otherwise take along.
    const std::string buffer = bytes + 'X';
    calls.SetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(buffer.data()),
                     static_cast<std::uint32_t>(bytes.size()));
    calls.CloseKey(key);
}

std::string Get(RegistryCalls& calls, RegKey root, const std::string& path,
                const std::string& name) {
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
void RemoveTree(RegistryCalls& calls, RegKey parent, const std::string& path) {
    RegKey key = 0;
    if (calls.OpenKeyEx(parent, path, 0, reg::kEnumerateSubKeys, &key) != reg::kSuccess) return;
    std::vector<std::string> children;
    char name[257];
    while (calls.EnumKey(key, static_cast<std::uint32_t>(children.size()), name, sizeof name) ==
           reg::kSuccess) {
        children.emplace_back(name);
    }
    for (const auto& child : children) RemoveTree(calls, key, child);
    calls.CloseKey(key);
    calls.DeleteKey(parent, path);
}

std::string Raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const RaisedError& e) {
        return std::to_string(e.Number()) + " " + e.Source() + ": " + e.Description();
    }
    return "nothing";
}

}  // namespace brakkis::test
