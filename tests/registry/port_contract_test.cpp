// The status codes the registry class relies on from the registry port, on
// the simulated registry and, in the Windows build, the system's, so that
// the two cannot drift apart. Listing and reading back values are pinned on
// both through the registry class's own suite.
#include "tests/registry/sandbox.h"

namespace brakkis::test {
namespace {

using Codes = std::vector<std::int64_t>;

class RegistryPort : public OnEachRegistry {
protected:
    std::string At(const std::string& sub) const { return path_ + "\\" + sub; }
    RegistryCalls& port() { return *calls_; }
};

TEST_P(RegistryPort, CreatesTellNewKeysFromOldAndTextTakesTheTerminatorThatFollowsIt) {
    RegKey key = 0, again = 0;
    std::uint32_t created = 0, opened = 0;
    ASSERT_EQ(0, port().CreateKeyEx(kRoot, At("a\\B\\c"), 0, 0x3F, &key, &created));
    ASSERT_EQ(0, port().CreateKeyEx(kRoot, At("A\\b\\C"), 0, 0x3F, &again, &opened));
    const auto bytes = [](const char* text) { return reinterpret_cast<const std::uint8_t*>(text); };
    port().SetValueEx(key, "nul", 1, bytes("abc\0"), 3);  // as the ANSI call does, it looks one byte further
    port().SetValueEx(key, "more", 1, bytes("abcd"), 3);
    port().SetValueEx(key, "bytes", 3, bytes("abc\0"), 3);
    EXPECT_EQ((Codes{created, opened, port().CloseKey(key), port().CloseKey(key), port().CloseKey(again)}),
              (Codes{1, 2, 0, 6, 0}));
    const auto stored = [&](const char* name) { return Get(port(), kRoot, At("a\\b\\c"), name); };
    EXPECT_EQ(stored("nul") + stored("more") + stored("bytes"), std::string("1:abc\0" "1:abc" "3:abc", 16));
}

TEST_P(RegistryPort, QueriesReportTypeAndSizeAndRefuseSmallBuffers) {
    Put("Multi", 7, std::string("a\0b\0", 5));
    Put("empty", 1, "");
    RegKey key = 0;
    ASSERT_EQ(0, port().OpenKeyEx(kRoot, path_, 0, 1, &key));
    std::uint32_t missingType = 0, type = 0, size = 0, moreType = 0, small = 0, emptySize = 0;
    std::uint8_t data[5] = {};
    EXPECT_EQ((Codes{port().QueryValueEx(key, "", &missingType, nullptr, &size), missingType,
                     port().QueryValueEx(key, "MULTI", &type, nullptr, &size), size,
                     port().QueryValueEx(key, "multi", &moreType, data, &small), moreType, small,
                     port().QueryValueEx(key, "multi", &type, data, &small),
                     port().QueryValueEx(key, "empty", &type, data, &emptySize)}),
              (Codes{2, 0, 0, 5, 234, 7, 5, 0, 0}));
    EXPECT_EQ(std::string("a\0b\0", 5), std::string(data, data + 5));
    port().CloseKey(key);
    EXPECT_EQ(6, port().QueryValueEx(key, "multi", &type, nullptr, &size));
}

TEST_P(RegistryPort, DeletesOnlyKeysWithoutSubkeysAndExistingValues) {
    test::Put(port(), kRoot, At("p\\leaf"), "v", 1, "x");
    RegKey leaf = 0;
    ASSERT_EQ(0, port().OpenKeyEx(kRoot, At("p\\leaf"), 0, 0x3F, &leaf));
    EXPECT_EQ((Codes{port().DeleteValue(leaf, "w"), port().DeleteValue(leaf, "V"),
                     port().DeleteKey(kRoot, At("p\\missing")), port().DeleteKey(kRoot, At("p")),
                     port().DeleteKey(0, At("p")), port().DeleteKey(kRoot, At("P\\LEAF"))}),
              (Codes{2, 0, 2, 5, 6, 0}));
    port().CloseKey(leaf);
}

TEST_P(RegistryPort, ExpandsDefinedEnvironmentVariablesOnly) {
    SetEnvironment("BRAKKIS_TEST_DIR", "C:\\Games");
    const std::string source = "%brakkis_test_dir%\\x %BRAKKIS_UNSET% %% 100%";
    std::string buffer(port().ExpandEnvironmentStrings(source, nullptr, 0), '?');
    port().ExpandEnvironmentStrings(source, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    EXPECT_EQ(std::string("C:\\Games\\x %BRAKKIS_UNSET% %% 100%") + '\0', buffer);
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryPort, ::testing::ValuesIn(kRegistries),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace brakkis::test
