// The registry class over the simulated registry and, in the Windows build,
// the system's; on the simulated one every test also checks that no key
// handle was left open.
#include <gtest/gtest.h>

#include <new>

#include "registry/cregistry.h"
#include "tests/registry/sandbox.h"

namespace brakkis::test {
namespace {

constexpr std::int32_t kLocalMachine = static_cast<std::int32_t>(0x80000002u);
const std::string kSource = " Brakkis Isle.cRegistry: ";

class Registry : public ::testing::TestWithParam<SandboxFactory> {
protected:
    void SetUp() override {
        reg_.SetClassKey(static_cast<std::int32_t>(kSandboxRoot));
        At("");
    }
    void TearDown() override {
        if (const auto* sim = box_->Sim()) {
            EXPECT_EQ(0u, sim->OpenHandleCount());
        }
    }
    void At(const std::string& sub, const std::string& value = "v") {
        reg_.SetSectionKey(sub.empty() ? box_->path : box_->path + "\\" + sub);
        reg_.SetValueKey(value);
    }
    void Put(const std::string& name, std::uint32_t type, const std::string& bytes) {
        test::Put(box_->Calls(), kSandboxRoot, box_->path, name, type, bytes);
    }
    Variant Read(const std::string& name) {
        reg_.SetValueKey(name);
        return reg_.GetValue();
    }

    std::unique_ptr<Sandbox> box_ = GetParam().second();
    CRegistry reg_{box_->Calls(), "Brakkis Isle"};
};

TEST_P(Registry, ReadGivesEachTypeItsShape) {
    box_->SetEnvironment("BRAKKIS_TEST_DIR", "C:\\Games");
    Put("sz", 1, std::string("abc\0", 4));
    Put("cut", 1, "abc");
    Put("empty", 1, "");
    Put("multi", 7, std::string("a\0b\0\0", 5));
    Put("expand", 2, std::string("%BRAKKIS_TEST_DIR%\\x\0", 21));
    Put("dword", 4, std::string("\xFE\xFF\xFF\xFF", 4));
    Put("big", 5, std::string("\0\0\1\2", 4));
    Put("other", 9, std::string("\0\x7F", 2));
    EXPECT_EQ(Variant(std::string("abc")), Read("sz"));
    EXPECT_EQ(Variant(std::string("ab")), Read("cut"));
    EXPECT_EQ(Variant(std::string()), Read("empty"));
    EXPECT_EQ(Variant(std::string("a\0b\0", 4)), Read("multi"));
    EXPECT_EQ(Variant(std::string("C:\\Games\\x")), Read("expand"));
    EXPECT_EQ(Variant(std::int32_t{-2}), Read("dword"));
    EXPECT_EQ(Variant(std::int32_t{258}), Read("big"));
    EXPECT_EQ(5, reg_.ValueType());
    EXPECT_EQ(Variant(ByteArray{0, 0x7F}), Read("other"));
    EXPECT_EQ(9, reg_.ValueType());

    EXPECT_EQ(Variant(), Read("missing"));  // the default, the type left as it was
    reg_.SetDefault(std::string("fallback"));
    At("no\\such\\key", "sz");
    EXPECT_EQ(Variant(std::string("fallback")), reg_.GetValue());
    EXPECT_EQ(9, reg_.ValueType());
}

TEST_P(Registry, ValueExistsOnlyForPlainText) {
    Put("sz", 1, std::string("x\0", 2));
    Put("empty", 1, "");
    Put("expand", 2, std::string("%x%\0", 4));
    Put("dword", 4, std::string(4, '\0'));
    std::string found;
    for (const char* name : {"SZ", "empty", "expand", "dword", "missing"}) {
        reg_.SetValueKey(name);
        found += reg_.ValueExists() ? "1" : "0";
    }
    EXPECT_EQ("11000", found);
    At("missing", "sz");
    EXPECT_FALSE(reg_.ValueExists());
    EXPECT_FALSE(reg_.KeyExists());
}

TEST_P(Registry, WriteCreatesThePathAndStoresTheSelectedShape) {
    At("new\\deep\\key");
    const auto write = [&](std::int32_t type, const Variant& value) {
        reg_.SetValueType(type);
        reg_.SetValue(value);
        return Get(box_->Calls(), kSandboxRoot, reg_.SectionKey(), "v");
    };
    // Text is expandable exactly when a second "%" follows the first with
    // room for a name between them, whatever type was selected.
    EXPECT_EQ(std::string("2:%TEMP%\\x\0", 11), write(1, std::string("%TEMP%\\x")));
    EXPECT_EQ(std::string("2:a%b%c\0", 8), write(1, std::string("a%b%c")));
    EXPECT_EQ(std::string("1:100%\0", 7), write(2, std::string("100%")));
    EXPECT_EQ(std::string("1:%%\0", 5), write(1, std::string("%%")));
    EXPECT_EQ(std::string("1:-5\0", 5), write(2, std::int16_t{-5}));
    EXPECT_EQ(std::string("4:\x07\0\0\0", 6), write(5, std::int32_t{7}));
    EXPECT_EQ(std::string("4:\x07\0\0\0", 6), write(4, std::string("12")));  // not written
    EXPECT_EQ(std::string("3:\x01\0", 4), write(3, ByteArray{1, 0}));
    EXPECT_EQ("26001 Brakkis Isle: Application-defined or object-defined error",
              Raised([&] { write(3, std::string("text")); }));
    At("made");
    EXPECT_EQ("-2147194455" + kSource + "Failed to set registry value Key: '-2147483647',"
              "Section: '" + reg_.SectionKey() + "',Key: 'v' to value: '0A FF'",
              Raised([&] { write(0, ByteArray{0x0A, 0xFF}); }));
    EXPECT_TRUE(reg_.KeyExists());  // the key it created stays
}

TEST_P(Registry, DeleteValueAnswersFalseWhereDeleteKeyRaises) {
    Put("v", 1, "x");
    EXPECT_TRUE(reg_.DeleteValue());
    EXPECT_FALSE(reg_.DeleteValue());
    At("parent\\child");
    EXPECT_FALSE(reg_.DeleteValue());
    EXPECT_TRUE(reg_.CreateKey());
    At("parent");
    EXPECT_EQ("26001" + kSource + "Failed to delete registry Key: '-2147483647',Section: '" +
                  reg_.SectionKey(),
              Raised([&] { reg_.DeleteKey(); }));
    At("parent\\child");
    EXPECT_TRUE(reg_.DeleteKey());
    EXPECT_FALSE(reg_.KeyExists());
}

TEST_P(Registry, EnumerationsListAndCountNames) {
    std::vector<std::string> names{"stale"};
    std::int32_t count = 9;
    At("missing");
    EXPECT_TRUE(reg_.EnumerateValues(names, count));
    EXPECT_EQ(0, count);
    EXPECT_TRUE(names.empty());

    At("");
    Put("Only", 1, "");
    EXPECT_TRUE(reg_.EnumerateValues(names, count));
    EXPECT_EQ((std::vector<std::string>{"Only"}), names);
    RegKey parent = 0;  // whole paths to a name this long are too long for Wine
    box_->Calls().OpenKeyEx(kSandboxRoot, box_->path, 0, 0x3F, &parent);
    for (const auto& sub : {std::string("a"), std::string(255, 'b'), std::string("c")}) {
        CreatePath(box_->Calls(), parent, sub);
    }
    box_->Calls().CloseKey(parent);
    EXPECT_TRUE(reg_.EnumerateSections(names, count));  // ended by the name that does not fit
    EXPECT_EQ((std::vector<std::string>{"a"}), names);
    EXPECT_EQ(1, count);
}

INSTANTIATE_TEST_SUITE_P(Registries, Registry, ::testing::ValuesIn(Sandboxes()),
                         [](const auto& info) { return info.param.first; });

TEST(RegistryDenied, ReadsStillWorkAndWritesRaise) {
    sim::SimRegistry sim;
    Put(sim, reg::kLocalMachine, "Run", "Brakkis", 1, std::string("x\0", 2));
    sim.DenyWrites(reg::kLocalMachine);
    CRegistry reg(sim, "Brakkis Isle");
    reg.SetClassKey(kLocalMachine);
    reg.SetSectionKey("Run");
    reg.SetValueKey("Brakkis");
    reg.SetValueType(1);
    EXPECT_TRUE(reg.ValueExists());
    EXPECT_FALSE(reg.DeleteValue());
    EXPECT_EQ("26001" + kSource + "Failed to set registry value Key: '-2147483646',Section: "
              "'Run',Key: 'Brakkis' to value: 'True'",
              Raised([&] { reg.SetValue(true); }));
    EXPECT_EQ("26001" + kSource + "Failed to create registry Key: 'Run",
              Raised([&] { reg.CreateKey(); }));
    EXPECT_EQ(0u, sim.OpenHandleCount());
}

TEST(RegistryListingFailure, IsRaisedUnderItsOwnNumberWithTheKeyClosed) {
    struct OutOfMemory : sim::SimRegistry {
        std::int32_t EnumKey(RegKey, std::uint32_t, char*, std::uint32_t) override {
            throw std::bad_alloc();
        }
    } sim;
    CRegistry reg(sim, "Brakkis Isle");
    reg.SetClassKey(kLocalMachine);
    std::vector<std::string> names;
    std::int32_t count = 0;
    EXPECT_EQ("-2147194454" + kSource + std::bad_alloc().what(),
              Raised([&] { reg.EnumerateSections(names, count); }));
    EXPECT_EQ(0u, sim.OpenHandleCount());
}

TEST(BinaryArray, CountsHexDigitsByTheirCharacterCodes) {
    const auto s = [](const char* text) { return Variant(std::string(text)); };
    EXPECT_EQ((ByteArray{10, 255, 7, 0, 0, 42, 0x16, 0}),
              CRegistry::InitBinaryArray(
                  {s("0A"), s("FF"), s("7"), s("-1"), s(" 1"), s("a"), 16, s("100000000")}));
    EXPECT_EQ("6 : Overflow", Raised([&] { CRegistry::InitBinaryArray({s("1FF")}); }));
    EXPECT_EQ("6 : Overflow", Raised([&] { CRegistry::InitBinaryArray({s("ff")}); }));
    EXPECT_EQ("9 : Subscript out of range", Raised([] { CRegistry::InitBinaryArray({}); }));
}

}  // namespace
}  // namespace brakkis::test
