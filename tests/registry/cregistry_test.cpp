// The registry class over the simulated registry and, in the Windows build,
// the system's; on the simulated one every test also checks that no key
// handle was left open.
#include <gtest/gtest.h>

#include <map>
#include <new>

#include "registry/cregistry.h"
#include "tests/registry/sandbox.h"

namespace brakkis::test {
namespace {

constexpr std::int32_t kLocalMachine = static_cast<std::int32_t>(0x80000002u);
const std::string kSource = " Brakkis Isle.cRegistry: ";

class Registry : public OnEachRegistry {
protected:
    void SetUp() override {
        reg_.SetClassKey(static_cast<std::int32_t>(kRoot));
        At("");
    }
    void At(const std::string& sub, const std::string& value = "v") {
        reg_.SetSectionKey(sub.empty() ? path_ : path_ + "\\" + sub);
        reg_.SetValueKey(value);
    }

    CRegistry reg_{*calls_, "Brakkis Isle"};
};

TEST_P(Registry, ReadGivesEachTypeItsShapeAndOnlyPlainTextExists) {
    SetEnvironment("BRAKKIS_TEST_DIR", "C:\\Games");
    const struct {
        const char* name;
        std::int32_t type;
        std::string bytes;
        Variant read;
    } values[] = {
        {"sz", 1, std::string("abc\0", 4), std::string("abc")},
        {"cut", 1, "abc", std::string("ab")},
        {"empty", 1, "", std::string()},
        {"multi", 7, std::string("a\0b\0\0", 5), std::string("a\0b\0", 4)},
        {"expand", 2, std::string("%BRAKKIS_TEST_DIR%\\x %BRAKKIS_UNSET%\0", 37),
         std::string("C:\\Games\\x %BRAKKIS_UNSET%")},
        {"dword", 4, std::string("\xFE\xFF\xFF\xFF", 4), std::int32_t{-2}},
        {"big", 5, std::string("\0\0\1\2", 4), std::int32_t{258}},
        {"other", 9, std::string("\0\x7F", 2), ByteArray{0, 0x7F}},
    };
    for (const auto& value : values) Put(value.name, static_cast<std::uint32_t>(value.type), value.bytes);
    std::string exists;
    for (const auto& value : values) {
        reg_.SetValueKey(value.name);
        exists += reg_.ValueExists() ? "1" : "0";
        EXPECT_EQ(value.read, reg_.GetValue()) << value.name;
        EXPECT_EQ(value.type, reg_.ValueType()) << value.name;
    }
    EXPECT_EQ("11100000", exists);
    reg_.SetValueKey("SZ");
    EXPECT_TRUE(reg_.ValueExists());

    At("", "missing");
    EXPECT_FALSE(reg_.ValueExists());
    EXPECT_EQ(Variant(), reg_.GetValue());  // the default, the type left as it was
    reg_.SetDefault(std::string("fallback"));
    At("no\\such\\key", "sz");
    EXPECT_FALSE(reg_.ValueExists() || reg_.KeyExists());
    EXPECT_EQ(Variant(std::string("fallback")), reg_.GetValue());
    EXPECT_EQ(9, reg_.ValueType());
}

TEST_P(Registry, WriteCreatesThePathAndStoresTheSelectedShape) {
    At("new\\deep\\key");
    const auto write = [&](std::int32_t type, const Variant& value) {
        reg_.SetValueType(type);
        reg_.SetValue(value);
        return Get(*calls_, kRoot, reg_.SectionKey(), "v");
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
    EXPECT_EQ("26001" + kSource + "Failed to delete registry Key: '-2147483647',Section: '" + reg_.SectionKey(),
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
    EXPECT_EQ(1, count);
    RegKey parent = 0;  // whole paths to a name this long are too long for Wine
    calls_->OpenKeyEx(kRoot, path_, 0, 0x3F, &parent);
    for (const auto& sub : {std::string("a"), std::string(255, 'b'), std::string("c")}) {
        CreatePath(*calls_, parent, sub);
    }
    calls_->CloseKey(parent);
    EXPECT_TRUE(reg_.EnumerateSections(names, count));  // ended by the name that does not fit
    EXPECT_EQ((std::vector<std::string>{"a"}), names);
    EXPECT_EQ(1, count);
}

INSTANTIATE_TEST_SUITE_P(Registries, Registry, ::testing::ValuesIn(kRegistries),
                         [](const auto& info) { return info.param; });

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
    EXPECT_EQ("26001" + kSource + "Failed to create registry Key: 'Run", Raised([&] { reg.CreateKey(); }));
    EXPECT_EQ(0u, sim.OpenHandleCount());
}

TEST(RegistryListingFailure, IsRaisedUnderItsOwnNumberWithTheKeyClosed) {
    struct OutOfMemory : sim::SimRegistry {
        std::int32_t EnumKey(RegKey, std::uint32_t, char*, std::uint32_t) override { throw std::bad_alloc(); }
    } sim;
    CRegistry reg(sim, "Brakkis Isle");
    reg.SetClassKey(kLocalMachine);
    std::vector<std::string> names;
    std::int32_t count = 0;
    EXPECT_EQ("-2147194454" + kSource + std::bad_alloc().what(), Raised([&] { reg.EnumerateSections(names, count); }));
    EXPECT_EQ(0u, sim.OpenHandleCount());
}

TEST(BinaryArray, CountsHexDigitsByTheirCharacterCodes) {
    const auto s = [](const char* text) { return Variant(std::string(text)); };
    EXPECT_EQ((ByteArray{10, 255, 7, 0, 0, 42, 0x16, 0}),
              CRegistry::InitBinaryArray({s("0A"), s("FF"), s("7"), s("-1"), s(" 1"), s("a"), 16, s("100000000")}));
    EXPECT_EQ("6 : Overflow", Raised([&] { CRegistry::InitBinaryArray({s("1FF")}); }));
    EXPECT_EQ("6 : Overflow", Raised([&] { CRegistry::InitBinaryArray({s("ff")}); }));
    EXPECT_EQ("9 : Subscript out of range", Raised([] { CRegistry::InitBinaryArray({}); }));
}

// File-type registration: every key below the classes root, with its
// default value as "type:data" or "missing".
using Tree = std::map<std::string, std::string>;

class Associations : public ::testing::Test {
protected:
    Tree Written(const std::string& path = "") {
        Tree tree;
        RegKey key = 0;
        sim_.OpenKeyEx(reg::kClassesRoot, path, 0, reg::kEnumerateSubKeys, &key);
        char name[256];
        for (std::uint32_t i = 0; sim_.EnumKey(key, i, name, sizeof name) == 0; ++i) {
            const std::string child = path.empty() ? name : path + "\\" + name;
            tree[child] = Get(sim_, reg::kClassesRoot, child, "");
            tree.merge(Written(child));
        }
        sim_.CloseKey(key);
        return tree;
    }
    void TearDown() override { EXPECT_EQ(0u, sim_.OpenHandleCount()); }

    sim::SimRegistry sim_;
    CRegistry reg_{sim_, "Brakkis Isle"};
};

std::string Sz(const std::string& text) { return "1:" + text + '\0'; }

TEST_F(Associations, PlainRegistrationWritesTheOpenVerbOnly) {
    reg_.CreateEXEAssociation("C:\\Tools\\app.exe", "ToolFile", "Tool file", "tfx");
    EXPECT_EQ((Tree{{".tfx", Sz("ToolFile")},
                    {"ToolFile", Sz("Tool file")},
                    {"ToolFile\\shell", "missing"},
                    {"ToolFile\\shell\\open", Sz("&Open")},
                    {"ToolFile\\shell\\open\\command", Sz("\"C:\\Tools\\app.exe\" \"%1\"")}}),
              Written());
    EXPECT_EQ(static_cast<std::int32_t>(0x80000000u), reg_.ClassKey());
    EXPECT_EQ("ToolFile\\shell\\open\\command", reg_.SectionKey());
    EXPECT_EQ(1, reg_.ValueType());
}

TEST_F(Associations, EveryOptionAddsItsVerbAndTheIcon) {
    reg_.CreateEXEAssociation("  \"C:\\a.exe\"  ", "C", "D", ".x", "", true, "", true, "", true, "", 0);
    const std::string exe = "\"C:\\a.exe\"";
    EXPECT_EQ((Tree{{"..x", Sz("C")},
                    {"C", Sz("D")},
                    {"C\\DefaultIcon", Sz(exe + ",0")},
                    {"C\\shell", "missing"},
                    {"C\\shell\\add", Sz("&Install .x")},
                    {"C\\shell\\add\\command", Sz(exe + " /a \"%1\"")},
                    {"C\\shell\\new", Sz("&New")},
                    {"C\\shell\\new\\command", Sz(exe + " /n \"%1\"")},
                    {"C\\shell\\open", Sz("&Open")},
                    {"C\\shell\\open\\command", Sz(exe + " \"%1\"")},
                    {"C\\shell\\print", Sz("&Print")},
                    {"C\\shell\\print\\command", Sz(exe + " /p \"%1\"")}}),
              Written());

    // A "%" in the path pairs with the one of %1.
    reg_.CreateEXEAssociation("C:\\100%\\a.exe", "C", "D", "x", "Run");
    EXPECT_EQ(Sz("Run"), Written().at("C\\shell\\open"));
    EXPECT_EQ("2" + Sz("\"C:\\100%\\a.exe\" \"%1\"").substr(1), Written().at("C\\shell\\open\\command"));
    reg_.CreateEXEAssociation("", "C", "D", "x");
    EXPECT_EQ(Sz("\" \"%1\""), Written().at("C\\shell\\open\\command"));
}

TEST_F(Associations, AdditionalVerbsNeedTripletsAndAnExistingClass) {
    const std::vector<Variant> edit{std::string("edit"), std::string("&Edit"), std::string("notepad.exe %1")};
    reg_.CreateAdditionalEXEAssociations("C", edit);  // root still 0: no class there
    EXPECT_TRUE(Written().empty());

    reg_.CreateEXEAssociation("a.exe", "C", "D", "x");
    const Tree before = Written();
    reg_.CreateAdditionalEXEAssociations("C", {1, 2, 3, 4});
    reg_.CreateAdditionalEXEAssociations("C", {});
    reg_.CreateAdditionalEXEAssociations("Undefined", edit);
    EXPECT_EQ(before, Written());

    reg_.SetValueType(0);
    reg_.CreateAdditionalEXEAssociations("C", edit);
    Tree after = Written();
    EXPECT_EQ(Sz("&Edit"), after["C\\shell\\edit"]);
    EXPECT_EQ(Sz("notepad.exe %1"), after["C\\shell\\edit\\command"]);
    EXPECT_EQ(before.size() + 2, after.size());

    sim_.DenyWrites(reg::kClassesRoot);  // each failed write is passed over
    reg_.CreateAdditionalEXEAssociations("C", edit);
    EXPECT_EQ("C\\shell\\edit\\command", reg_.SectionKey());
}

}  // namespace
}  // namespace brakkis::test
