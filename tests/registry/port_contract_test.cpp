// The status codes the registry class relies on from each call of the
// registry port, run against the simulated registry and, in the Windows
// build, the system's, so that the two cannot drift apart.
#include <gtest/gtest.h>

#include <set>

#include "tests/registry/sandbox.h"

namespace brakkis::test {
namespace {

class RegistryPort : public ::testing::TestWithParam<SandboxFactory> {
protected:
    void SetUp() override { box_ = GetParam().second(); }
    std::string At(const std::string& sub) const { return box_->path + "\\" + sub; }
    RegKey Open(const std::string& path, std::uint32_t access) {
        RegKey key = 0;
        EXPECT_EQ(0, port().OpenKeyEx(kSandboxRoot, path, 0, access, &key)) << path;
        return key;
    }
    std::string Stored(const std::string& name) {
        return Get(port(), kSandboxRoot, box_->path, name);
    }
    RegistryCalls& port() { return box_->Calls(); }

    std::unique_ptr<Sandbox> box_;
};

const std::uint8_t* Bytes(const char* text) { return reinterpret_cast<const std::uint8_t*>(text); }

TEST_P(RegistryPort, OpensCreatesAndClosesKeys) {
    RegKey key = 77;
    std::uint32_t disposition = 0;
    EXPECT_EQ(2, port().OpenKeyEx(kSandboxRoot, At("a"), 0, 1, &key));
    EXPECT_EQ(0, key);
    ASSERT_EQ(0, port().CreateKeyEx(kSandboxRoot, At("a\\B\\c"), 0, 0x3F, &key, &disposition));
    EXPECT_EQ(1u, disposition);
    EXPECT_EQ(0, port().CloseKey(key));
    EXPECT_EQ(6, port().CloseKey(key));
    EXPECT_EQ(6, port().OpenKeyEx(key, "", 0, 1, &key));
    EXPECT_EQ(6, port().CloseKey(0));
    EXPECT_EQ(0, port().CloseKey(kSandboxRoot));
    EXPECT_EQ(0, port().CreateKeyEx(kSandboxRoot, At("A\\b\\C"), 0, 0x3F, &key, &disposition));
    EXPECT_EQ(2u, disposition);
    port().CloseKey(key);
}

TEST_P(RegistryPort, QueriesReportTypeAndSizeAndRefuseSmallBuffers) {
    Put(port(), kSandboxRoot, box_->path, "Multi", 7, std::string("a\0b\0", 5));
    Put(port(), kSandboxRoot, box_->path, "empty", 1, "");
    const RegKey key = Open(box_->path, 1);
    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(2, port().QueryValueEx(key, "", &type, nullptr, &size));
    EXPECT_EQ(0u, type);
    EXPECT_EQ(0, port().QueryValueEx(key, "MULTI", &type, nullptr, &size));
    EXPECT_EQ(5u, size);
    std::uint8_t data[5] = {};
    type = size = 0;
    EXPECT_EQ(234, port().QueryValueEx(key, "multi", &type, data, &size));
    EXPECT_EQ(7u, type);
    EXPECT_EQ(5u, size);
    EXPECT_EQ(0, port().QueryValueEx(key, "multi", &type, data, &size));
    EXPECT_EQ(std::string("a\0b\0", 5), std::string(data, data + 5));
    size = 0;
    EXPECT_EQ(0, port().QueryValueEx(key, "empty", &type, data, &size));
    port().CloseKey(key);
    EXPECT_EQ(6, port().QueryValueEx(key, "multi", &type, nullptr, &size));
}

TEST_P(RegistryPort, StoresTextWithATerminatorThatFollowsIt) {
    const RegKey key = Open(box_->path, 0x3F);
    for (const std::uint32_t type : {1u, 3u}) {
        port().SetValueEx(key, "nul" + std::to_string(type), type, Bytes("abc\0"), 3);
        port().SetValueEx(key, "more" + std::to_string(type), type, Bytes("abcd"), 3);
    }
    port().CloseKey(key);
    EXPECT_EQ(std::string("1:abc\0", 6), Stored("nul1"));
    EXPECT_EQ("3:abc", Stored("nul3"));
    EXPECT_EQ("1:abc", Stored("more1"));
}

TEST_P(RegistryPort, EnumeratesUntilNoMoreItems) {
    for (const char* sub : {"beta", "Alpha"}) CreatePath(port(), kSandboxRoot, At(sub));
    Put(port(), kSandboxRoot, box_->path, "Second", 1, "");
    Put(port(), kSandboxRoot, box_->path, "first", 1, "");
    const RegKey key = Open(box_->path, 0x3F);
    CreatePath(port(), key, std::string(255, 'b'));  // the longest name a key may have

    char name[256];
    std::vector<std::string> keys;
    for (std::uint32_t i = 0; i < 4; ++i) {
        const auto status = port().EnumKey(key, i, name, 255);
        keys.push_back(status == 0 ? std::string(name) : std::to_string(status));
    }
    EXPECT_EQ((std::vector<std::string>{"Alpha", "234", "beta", "259"}), keys);
    EXPECT_EQ(0, port().EnumKey(key, 1, name, 256));

    std::uint32_t length = 0;
    EXPECT_EQ(0, port().QueryInfoKey(key, &length));
    EXPECT_EQ(6u, length);
    // Windows lists values in creation order, Wine sorted: only the set is
    // common to both.
    std::set<std::string> values;
    for (std::uint32_t i = 0; length = 7, port().EnumValue(key, i, name, &length) == 0; ++i) {
        values.emplace(name, length);
    }
    EXPECT_EQ((std::set<std::string>{"Second", "first"}), values);
    length = 5;  // in either order, the first name needs more
    EXPECT_EQ(234, port().EnumValue(key, 0, name, &length));
    port().CloseKey(key);
}

TEST_P(RegistryPort, DeletesOnlyKeysWithoutSubkeysAndExistingValues) {
    Put(port(), kSandboxRoot, At("p\\leaf"), "v", 1, "x");
    const RegKey leaf = Open(At("p\\leaf"), 0x3F);
    EXPECT_EQ(2, port().DeleteValue(leaf, "w"));
    EXPECT_EQ(0, port().DeleteValue(leaf, "V"));
    EXPECT_EQ(2, port().DeleteKey(kSandboxRoot, At("p\\missing")));
    EXPECT_EQ(5, port().DeleteKey(kSandboxRoot, At("p")));
    EXPECT_EQ(6, port().DeleteKey(0, At("p")));
    EXPECT_EQ(0, port().DeleteKey(kSandboxRoot, At("P\\LEAF")));
    port().CloseKey(leaf);
}

TEST_P(RegistryPort, ExpandsDefinedEnvironmentVariablesOnly) {
    box_->SetEnvironment("BRAKKIS_TEST_DIR", "C:\\Games");
    const std::string source = "%brakkis_test_dir%\\x %BRAKKIS_UNSET% %% 100%";
    std::string buffer(port().ExpandEnvironmentStrings(source, nullptr, 0), '?');
    port().ExpandEnvironmentStrings(source, buffer.data(),
                                    static_cast<std::uint32_t>(buffer.size()));
    EXPECT_EQ(std::string("C:\\Games\\x %BRAKKIS_UNSET% %% 100%") + '\0', buffer);
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryPort, ::testing::ValuesIn(Sandboxes()),
                         [](const auto& info) { return info.param.first; });

}  // namespace
}  // namespace brakkis::test
