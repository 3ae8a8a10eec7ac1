// The registry port's answers and the registry class, on the fake registry
// and, in the Windows build, on the system's (Wine's) as well, so that the
// fake cannot drift from the real thing; what only the fake can arrange, a
// user without the right to write or a listing that fails, runs on it alone.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "platform/error.h"
#include "registry/cregistry.h"
#include "registry/registry_errors.h"
#include "tests/fakes/fake_registry.h"
#ifdef _WIN32
#include "platform/win32/win32_registry_calls.h"
#include "platform/win32/windows_api.h"
#endif

namespace brakkis::test {
namespace {

using namespace std::string_literals;
const std::vector<std::string> kRegistries{"Fake",
#ifdef _WIN32
                                           "System"
#endif
};
using Codes = std::vector<std::int64_t>;  // braced, so that the calls in it run in order

constexpr RegKey kRoot = reg::kCurrentUser;
const std::string kTestsKey = "Software\\BrakkisIsleTests";
const std::string kSource = " Brakkis Isle.cRegistry: ";
const std::string kSetFailed = "Failed to set registry value Key: '";

// "number source: description" of what the call raised, or "nothing".
std::string Raised(const std::function<void()>& call) {
    try {
        call();
    } catch (const RaisedError& e) {
        return std::to_string(e.Number()) + " " + e.Source() + ": " + e.Description();
    }
    return "nothing";
}

// Works below kTestsKey, on the registry the parameter names; on the fake it
// also checks that no key handle was left open.
class Registry : public ::testing::TestWithParam<std::string> {
protected:
    Registry() {
        fake_.environment["BRAKKIS_TEST_DIR"] = "C:\\Games";
#ifdef _WIN32
        ::SetEnvironmentVariableA("BRAKKIS_TEST_DIR", "C:\\Games");
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kTestsKey.c_str());
#endif
        reg_.SetClassKey(static_cast<std::int32_t>(kRoot));
        At("");
    }
    ~Registry() override {
        EXPECT_EQ(0u, fake_.OpenHandleCount());
#ifdef _WIN32
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kTestsKey.c_str());
#endif
    }
    static std::string Sub(const std::string& sub) { return sub.empty() ? kTestsKey : kTestsKey + "\\" + sub; }
    // Stores exactly the bytes given: the one after them is no NUL, which the
    // ANSI call would take along with text.
    void Put(const std::string& name, std::uint32_t type, const std::string& bytes, const std::string& sub = "") {
        RegKey key = 0;
        port_.CreateKeyEx(kRoot, Sub(sub), 0, reg::kAllButDelete, &key, nullptr);
        const std::string buffer = bytes + 'X';
        port_.SetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(buffer.data()),
                         static_cast<std::uint32_t>(bytes.size()));
        port_.CloseKey(key);
    }
    void At(const std::string& sub, const std::string& value = "v") {
        reg_.SetSectionKey(Sub(sub));
        reg_.SetValueKey(value);
    }

    sim::FakeRegistry fake_;
#ifdef _WIN32
    Win32RegistryCalls system_;
    RegistryCalls& port_ = GetParam() == "System" ? static_cast<RegistryCalls&>(system_) : fake_;
#else
    RegistryCalls& port_ = fake_;
#endif
    CRegistry reg_{port_, "Brakkis Isle"};
};
using RegistryPort = Registry;
using RegistryOnFake = Registry;

TEST_P(RegistryPort, KeysAreMadeWholeFoundInAnyCaseAndDeletedOnlyWithoutSubkeys) {
    RegKey made = 0, opened = 0, missing = 0, tooLong = 0;
    EXPECT_EQ((Codes{port_.CreateKeyEx(kRoot, Sub("a\\B\\c"), 0, 0x3F, &made, nullptr),
                     port_.OpenKeyEx(kRoot, Sub("A\\b\\C"), 0, 1, &opened),
                     port_.OpenKeyEx(kRoot, Sub("a\\missing"), 0, 1, &missing), missing,
                     port_.CreateKeyEx(kRoot, Sub(std::string(256, 'n')), 0, 0x3F, &tooLong, nullptr), tooLong,
                     port_.CloseKey(made), port_.CloseKey(made), port_.CloseKey(opened),
                     port_.DeleteKey(kRoot, Sub("a\\missing")), port_.DeleteKey(kRoot, Sub("a")),
                     port_.DeleteKey(0, Sub("a\\b\\c")), port_.DeleteKey(kRoot, Sub("A\\B\\C"))}),
              (Codes{0, 0, 2, 0, 234, 0, 0, 6, 0, 2, 5, 6, 0}));
}

TEST_P(RegistryPort, ValuesAndListingsKeepFirstSpellingsAndRefuseSmallBuffersAndHandlesWithoutTheRight) {
    for (const char* name : {"alpha", "Multi", "MULTI"}) Put(name, 7, "a\0b\0\0"s);
    for (const char* sub : {"b", "A"}) Put("", 1, "", sub);
    RegKey key = 0, query = 0, list = 0;
    port_.OpenKeyEx(kRoot, kTestsKey, 0, reg::kAllButDelete, &key);
    port_.OpenKeyEx(kRoot, kTestsKey, 0, reg::kQueryValue, &query);
    port_.OpenKeyEx(kRoot, kTestsKey, 0, reg::kEnumerateSubKeys, &list);
    std::uint32_t absentType = 0, type = 0, size = 0, smallType = 0, small = 2, longest = 0, fits = 6, tooShort = 5;
    std::uint8_t data[5] = {};
    char name[6] = {}, sub[2] = {}, none[6];
    EXPECT_EQ((Codes{port_.QueryValueEx(key, "none", &absentType, nullptr, &size), absentType,
                     port_.QueryValueEx(key, "MULTI", &type, nullptr, &size), type, size,
                     port_.QueryValueEx(key, "multi", &smallType, data, &small), smallType, small,
                     port_.QueryValueEx(key, "multi", &type, data, &small), port_.DeleteValue(key, "none")}),
              (Codes{2, 0, 0, 7, 5, 234, 7, 5, 0, 2}));
    EXPECT_EQ((Codes{port_.QueryInfoKey(key, &longest), longest, port_.EnumValue(key, 1, name, &fits), fits,
                     port_.EnumValue(key, 0, none, &tooShort), port_.EnumValue(key, 2, none, &size),
                     port_.EnumKey(key, 1, sub, sizeof sub), port_.EnumKey(key, 0, none, 1),
                     port_.EnumKey(key, 2, none, sizeof none)}),
              (Codes{0, 5, 0, 5, 234, 259, 0, 234, 259}));
    EXPECT_EQ((Codes{port_.SetValueEx(query, "w", 1, data, 1), port_.DeleteValue(query, "alpha"),
                     port_.EnumKey(query, 0, none, sizeof none), port_.QueryValueEx(list, "alpha", &type, data, &small),
                     port_.EnumValue(list, 0, none, &size), port_.DeleteValue(key, "MULTI"),
                     port_.QueryValueEx(query, "multi", &type, data, &small)}),
              (Codes{5, 5, 5, 5, 5, 0, 2}));
    EXPECT_EQ("a\0b\0\0Multi b"s, std::string(data, data + 5) + name + " " + sub);
    for (const RegKey handle : {key, query, list}) port_.CloseKey(handle);
}

TEST_P(Registry, ReadGivesEachTypeItsShapeAndOnlyPlainTextCountsAsTheLaunchersValue) {
    const std::tuple<std::uint32_t, std::string, Variant> values[] = {
        {1, "abc\0"s, "abc"s},
        {1, "abc", "ab"s},  // the last byte goes, terminator or not
        {1, "", ""s},
        {7, "a\0b\0\0"s, "a\0b\0"s},
        {2, "%brakkis_test_dir%\\x 100%\0"s, "C:\\Games\\x 100%"s},
        {4, "\xFE\xFF\xFF\xFF", std::int32_t{-2}},
        {4, "\x02\x01", std::int32_t{0x0102}},
        {5, "\0\0\1\2"s, std::int32_t{0x0102}},
        {0, "\x7F", ByteArray{0x7F}},
        {3, "\1\0"s, ByteArray{1, 0}},
        {11, "", ByteArray{}}};
    std::string exists;
    for (const auto& [type, stored, read] : values) {
        const std::string name = std::to_string(exists.size());
        Put(name, type, stored);
        reg_.SetValueKey(name);
        exists += reg_.ValueExists() ? '1' : '0';
        EXPECT_EQ(read, reg_.GetValue()) << name;
        EXPECT_EQ(static_cast<std::int32_t>(type), reg_.ValueType()) << name;
    }
    EXPECT_EQ("11100000000", exists);

    reg_.SetValueKey("missing");
    EXPECT_FALSE(reg_.ValueExists());
    EXPECT_EQ(Variant(), reg_.GetValue());
    reg_.SetDefault("fallback"s);
    At("no\\such\\key", "0");
    EXPECT_FALSE(reg_.ValueExists() || reg_.KeyExists());
    EXPECT_EQ(Variant("fallback"s), reg_.GetValue());
    EXPECT_EQ(11, reg_.ValueType());  // as the last read that found a value left it
}

TEST_P(Registry, WriteMakesThePathAndStoresWhatTheTypeSelects) {
    At("new\\deep\\key");
    // Text is expandable when a second "%" stands two or more places after
    // the first, whichever text type was asked for; a word takes integers
    // only, in machine order whatever the type, and keeps what it held.
    const std::tuple<std::int32_t, Variant, std::int32_t, Variant> writes[] = {
        {1, "a%b%c"s, 2, "a%b%c"s},
        {1, "a%%b%"s, 2, "a%%b%"s},
        {2, "100%"s, 1, "100%"s},
        {1, "%%"s, 1, "%%"s},
        {1, std::int16_t{-5}, 1, "-5"s},
        {5, std::int32_t{7}, 4, std::int32_t{7}},
        {4, std::int16_t{-2}, 4, std::int32_t{-2}},
        {4, "12"s, 4, std::int32_t{-2}},
        {4, 2.5, 4, std::int32_t{-2}},
        {3, ByteArray{1, 0}, 3, ByteArray{1, 0}}};
    for (const auto& [type, value, storedType, read] : writes) {
        reg_.SetValueType(type);
        reg_.SetValue(value);
        EXPECT_EQ(read, reg_.GetValue()) << VariantToText(value);
        EXPECT_EQ(storedType, reg_.ValueType()) << VariantToText(value);
    }
    EXPECT_EQ("26001 Brakkis Isle: Application-defined or object-defined error",
              Raised([&] { reg_.SetValue("text"s); }));
    At("made");
    for (const std::int32_t unsupported : {0, 6, 7, 8}) {
        reg_.SetValueType(unsupported);
        EXPECT_EQ(
            "-2147194455" + kSource + kSetFailed + "-2147483647',Section: '" + Sub("made") + "',Key: 'v' to value: 'x'",
            Raised([&] { reg_.SetValue("x"s); }));
    }
    EXPECT_TRUE(reg_.KeyExists());  // the key the refused write made stays
}

TEST_P(Registry, DeleteValueAnswersFalseWhereDeleteKeyRaises) {
    Put("v", 1, "x");
    EXPECT_TRUE(reg_.DeleteValue());
    EXPECT_FALSE(reg_.DeleteValue());
    At("parent\\child");
    EXPECT_FALSE(reg_.DeleteValue());
    EXPECT_TRUE(reg_.CreateKey());
    At("parent");
    EXPECT_EQ("26001" + kSource + "Failed to delete registry Key: '-2147483647',Section: '" + Sub("parent"),
              Raised([&] { reg_.DeleteKey(); }));
    At("parent\\child");
    EXPECT_TRUE(reg_.DeleteKey());
    EXPECT_FALSE(reg_.KeyExists());
}

TEST_P(Registry, ListingsStartAfreshAndEndAtANameThatDoesNotFit) {
    std::vector<std::string> values{"stale"}, sections{"stale"};
    std::int32_t valueCount = 9, sectionCount = 9;
    At("missing");
    EXPECT_TRUE(reg_.EnumerateValues(values, valueCount) && reg_.EnumerateSections(sections, sectionCount));
    EXPECT_TRUE(values.empty() && sections.empty() && valueCount == 0 && sectionCount == 0);
    At("");
    for (const char* name : {"a", "Bb", "c"}) Put(name, 1, "");
    RegKey parent = 0;  // whole paths to a name this long are too long for Wine
    port_.OpenKeyEx(kRoot, kTestsKey, 0, reg::kAllButDelete, &parent);
    for (RegKey sub = 0; const std::string& name : {"a"s, std::string(255, 'b'), "c"s}) {
        port_.CreateKeyEx(parent, name, 0, reg::kAllButDelete, &sub, nullptr);
        port_.CloseKey(sub);
    }
    port_.CloseKey(parent);
    sections = {"stale"};
    EXPECT_TRUE(reg_.EnumerateValues(values, valueCount) && reg_.EnumerateSections(sections, sectionCount));
    EXPECT_EQ((std::vector<std::string>{"a", "Bb", "c"}), values);
    EXPECT_EQ((std::vector<std::string>{"a"}), sections);
    EXPECT_EQ("3 1", std::to_string(valueCount) + " " + std::to_string(sectionCount));
}

TEST_P(RegistryOnFake, AUserWithoutTheRightToWriteStillReads) {
    Put("v", 1, "x\0"s);
    fake_.DenyWrites(kRoot);
    EXPECT_TRUE(reg_.ValueExists());
    EXPECT_FALSE(reg_.DeleteValue());
    EXPECT_EQ("26001" + kSource + kSetFailed + "-2147483647',Section: '" + kTestsKey + "',Key: 'v' to value: 'True'",
              Raised([&] { reg_.SetValue(true); }));
    EXPECT_EQ("26001" + kSource + "Failed to create registry Key: '" + kTestsKey, Raised([&] { reg_.CreateKey(); }));
}

TEST_P(RegistryOnFake, AFailingListingKeepsTheNamesFoundOrRaisesItsOwnNumber) {
    for (const char* name : {"a", "b", "c"}) Put(name, 1, "");
    fake_.valueListingFaults[1] = reg::kAccessDenied;
    std::vector<std::string> names;
    std::int32_t count = 0;
    EXPECT_TRUE(reg_.EnumerateValues(names, count));
    EXPECT_EQ((std::vector<std::string>{"a"}), names);
    EXPECT_EQ(1, count);
    struct OutOfMemory : sim::FakeRegistry {
        std::int32_t EnumKey(RegKey, std::uint32_t, char*, std::uint32_t) override { throw std::bad_alloc(); }
    } failing;
    CRegistry reg(failing, "Brakkis Isle");
    reg.SetClassKey(static_cast<std::int32_t>(kRoot));
    EXPECT_EQ("-2147194454" + kSource + std::bad_alloc().what(), Raised([&] { reg.EnumerateSections(names, count); }));
    EXPECT_EQ(0u, failing.OpenHandleCount());
}

// Every key below the classes root as its path, with "=" and the text of its
// default value when it has one ("=(2)" for expandable text).
std::string Written(const sim::FakeRegistry& fake) {
    std::string written;
    const std::string root = sim::FakeRegistry::Path(reg::kClassesRoot) + "\\";
    for (const auto& [path, values] : fake.keys) {
        if (path.rfind(root, 0) != 0) continue;
        written += "|" + path.substr(root.size());
        if (const auto value = values.find(""); value != values.end()) {
            const std::vector<std::uint8_t>& text = value->second.data;
            written += (value->second.type == 1 ? "=" : "=(2)") + std::string(text.begin(), text.end() - 1);
        }
    }
    return written;
}

TEST_P(RegistryOnFake, AnAssociationWritesTheOpenVerbAndNoMore) {
    reg_.SetValueKey("stray");
    reg_.CreateEXEAssociation("C:\\Tools\\app.exe", "ToolFile", "Tool file", "tfx");
    EXPECT_EQ(
        "|.tfx=ToolFile|ToolFile=Tool file|ToolFile\\shell|ToolFile\\shell\\open=&Open"
        "|ToolFile\\shell\\open\\command=\"C:\\Tools\\app.exe\" \"%1\"",
        Written(fake_));
    EXPECT_EQ("-2147483648 ToolFile\\shell\\open\\command 1",
              std::to_string(reg_.ClassKey()) + " " + reg_.SectionKey() + " " + std::to_string(reg_.ValueType()));
}

TEST_P(RegistryOnFake, EveryOptionAddsItsVerbUntilAWriteFailsAndAPercentInThePathMakesCommandsExpandable) {
    fake_.DenyWrites(reg::kClassesRoot, "C\\shell\\add");
    EXPECT_EQ("26001" + kSource + kSetFailed + "-2147483648',Section: 'C\\shell\\add',Key: '' to value: '&Install .x'",
              Raised([&] {
                  reg_.CreateEXEAssociation("  \"C:\\a.exe\"  ", "C", "D", ".x", "", true, "", true, "", true, "", 0);
              }));
    EXPECT_EQ(
        "|..x=C|C=D|C\\shell|C\\shell\\open=&Open|C\\shell\\open\\command=\"C:\\a.exe\" \"%1\""
        "|C\\shell\\print=&Print|C\\shell\\print\\command=\"C:\\a.exe\" /p \"%1\"",
        Written(fake_));

    reg_.CreateEXEAssociation("C:\\100%\\a.exe", "E", "F", "e", "Go", false, "", true, "", false, "", 7);
    reg_.CreateEXEAssociation("", "G", "H", "g");
    EXPECT_NE(std::string::npos,
              Written(fake_).find("|E=F|E\\DefaultIcon=\"C:\\100%\\a.exe\",7|E\\shell|E\\shell\\new=&New"
                                  "|E\\shell\\new\\command=(2)\"C:\\100%\\a.exe\" /n \"%1\"|E\\shell\\open=Go"
                                  "|E\\shell\\open\\command=(2)\"C:\\100%\\a.exe\" \"%1\"|G=H|G\\shell"
                                  "|G\\shell\\open=&Open|G\\shell\\open\\command=\" \"%1\""));
}

TEST_P(RegistryOnFake, AdditionalVerbsNeedTripletsAndAClassAndPassOverAFailedWrite) {
    const std::vector<Variant> verbs{"edit"s, "&Edit"s, "notepad.exe %1"s, "view"s, "&View"s, 3};
    reg_.CreateEXEAssociation("a.exe", "C", "D", "x");
    const std::string before = Written(fake_);
    reg_.CreateAdditionalEXEAssociations("C", {1, 2, 3, 4});
    reg_.CreateAdditionalEXEAssociations("Undefined", verbs);
    EXPECT_EQ(before, Written(fake_));
    // Those two reports are swallowed where they are raised; only their
    // numbers can be pinned.
    EXPECT_EQ(-2147194452, registry_error::kAssociationItems);
    EXPECT_EQ(-2147194451, registry_error::kAssociationClass);

    fake_.DenyWrites(reg::kClassesRoot, "C\\shell\\edit\\command");
    reg_.SetValueType(0);
    reg_.SetValueKey("stray");
    reg_.CreateAdditionalEXEAssociations("C", verbs);
    EXPECT_EQ(
        "|.x=C|C=D|C\\shell|C\\shell\\edit=&Edit|C\\shell\\open=&Open|C\\shell\\open\\command=\"a.exe\" \"%1\""
        "|C\\shell\\view=&View|C\\shell\\view\\command=3",
        Written(fake_));
}

const auto kName = [](const auto& info) { return info.param; };
INSTANTIATE_TEST_SUITE_P(Registries, RegistryPort, ::testing::ValuesIn(kRegistries), kName);
INSTANTIATE_TEST_SUITE_P(Registries, Registry, ::testing::ValuesIn(kRegistries), kName);
INSTANTIATE_TEST_SUITE_P(Registries, RegistryOnFake, ::testing::Values("Fake"), kName);

TEST(RegistryText, NumbersInDecimalBooleansInWordsBytesInHexPairs) {
    std::string texts;
    for (const Variant& value :
         {Variant(), Variant("x"s), Variant(std::int16_t{-32768}), Variant(std::int32_t{-7}), Variant(2.5),
          Variant(-1e21), Variant(true), Variant(false), Variant(ByteArray{10, 255, 7})}) {
        texts += VariantToText(value) + "|";
    }
    EXPECT_EQ("|x|-32768|-7|2.5|-1e+21|True|False|0A FF 07|", texts);
}

TEST(RegistryBinaryArray, CountsEachCharacterByItsCode) {
    // Past 0-9 a character counts its code less 55: A-F are right, lowercase
    // letters count 42 and up, and a sign or a blank fails the text, which
    // then counts 0, as does one past 2^31 - 1 or 16^255.
    EXPECT_EQ((ByteArray{10, 255, 7, 0, 0, 42, 16, 0x16, 0, 0, 0, 1, 0}),
              CRegistry::InitBinaryArray({"0A"s, "FF"s, "7"s, "-1"s, " 1"s, "a"s, "G"s, 16, Variant(), "100000000"s,
                                          std::string(256, '0') + "1", std::string(255, '0') + "1", ""s}));
    EXPECT_EQ("6 : Overflow", Raised([] { CRegistry::InitBinaryArray({"1FF"s}); }));
    EXPECT_EQ("6 : Overflow", Raised([] { CRegistry::InitBinaryArray({"ff"s}); }));
    EXPECT_EQ("9 : Subscript out of range", Raised([] { CRegistry::InitBinaryArray({}); }));
}

}  // namespace
}  // namespace brakkis::test
