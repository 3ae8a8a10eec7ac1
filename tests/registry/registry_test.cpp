// CRegistry on the fake and, in the Windows build, also on Wine's registry, which holds the fake to the real thing.
#include <gtest/gtest.h>

#include <tuple>

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
const std::string kTests = "Software\\BrakkisIsleTests";
const std::string kSource = " Brakkis Isle.cRegistry: ";
const std::string kSetFailed = kSource + "Failed to set registry value Key: '";

// "number source: description" of what the call raised, or "nothing".
std::string Raised(const auto& call) try {
    call();
    return "nothing";
} catch (const RaisedError& e) {
    return std::to_string(e.Number()) + " " + e.Source() + ": " + e.Description();
}

// The class at HKEY_CURRENT_USER\Software\BrakkisIsleTests, value v; on Wine's registry (true) from a clean slate.
class Registry : public ::testing::TestWithParam<bool> {
protected:
    Registry() {
        reg_.SetClassKey(static_cast<std::int32_t>(reg::kCurrentUser));
        reg_.SetSectionKey(kTests);
        reg_.SetValueKey("v");
#ifdef _WIN32
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kTests.c_str());
#endif
    }
    ~Registry() override { EXPECT_TRUE(fake_.handles.empty()); }
    // A value as another program leaves it, and a subkey of its name (through the handle: Wine refuses long paths).
    void Put(const std::string& name, std::uint32_t type, const std::string& bytes) {
        RegKey key = 0, child = 0;
        port_.CreateKeyEx(reg::kCurrentUser, kTests, 0, reg::kAllButDelete, &key, nullptr);
        port_.SetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                         static_cast<std::uint32_t>(bytes.size()));
        port_.CreateKeyEx(key, name, 0, reg::kAllButDelete, &child, nullptr);
        port_.CloseKey(child);
        port_.CloseKey(key);
    }

    sim::FakeRegistry fake_;
#ifdef _WIN32
    Win32RegistryCalls system_;
    RegistryCalls& port_ = GetParam() ? static_cast<RegistryCalls&>(system_) : fake_;
#else
    RegistryCalls& port_ = fake_;
#endif
    CRegistry reg_{port_, "Brakkis Isle"};
};

TEST_P(Registry, ReadGivesEachTypeItsShapeAndOnlyPlainTextCountsAsTheLaunchersValue) {
    reg_.SetDefault("fallback"s);
    std::string seen;
    using R = std::tuple<std::uint32_t, std::string, Variant>;
    for (const auto& [type, stored, read] :
         {R(1, "", ""s), R(7, "a\0b\0\0"s, "a\0b\0"s), R(2, "%SystemRoot%\\x 100%\0"s, "C:\\windows\\x 100%"s),
          R(4, "\x02\x01", 0x0102), R(5, "\0\0\1\2"s, 0x0102), R(11, "", ByteArray{}), R(0, "", "fallback"s)}) {
        type ? Put("v", type, stored) : reg_.SetSectionKey(kTests + "\\none");  // 0: no key at all
        EXPECT_EQ(read, reg_.GetValue()) << type << ' ' << stored;
        seen += std::to_string(reg_.ValueType()) + (reg_.ValueExists() ? "+ " : " ");
    }
    EXPECT_EQ("1+ 7 2 4 5 11 11 ", seen);  // a read that finds nothing leaves the type
}

TEST_P(Registry, WritesMakeThePathAndStoreWhatTheTypeSelectsAndOnlyDeletingAValueNeverRaises) {
    const std::string section = kTests + "\\new\\key";
    reg_.SetSectionKey(section);
    EXPECT_FALSE(reg_.DeleteValue());
    EXPECT_EQ("26001" + kSource + "Failed to delete registry Key: '-2147483647',Section: '" + section,
              Raised([&] { reg_.DeleteKey(); }));
    // Text with a second "%" two or more places after the first is stored expandable, whichever text type was asked.
    using W = std::tuple<std::int32_t, Variant, std::string>;
    for (const auto& [type, written, read] :
         {W(4, "12"s, "4 "), W(4, 2.5, "4 "), W(1, "a%b%c"s, "2 a%b%c"), W(1, "%%"s, "1 %%"), W(2, "100%"s, "1 100%"),
          W(1, std::int16_t{-32768}, "1 -32768"), W(1, 2.5, "1 2.5"), W(1, true, "1 True"),
          W(1, ByteArray{10, 255, 7}, "1 0A FF 07"), W(5, 7, "4 7"), W(4, std::int16_t{-2}, "4 -2"),
          W(3, ByteArray{1, 0}, "3 01 00")}) {
        reg_.SetValueType(type);
        reg_.SetValue(written);
        EXPECT_EQ(read, std::to_string(reg_.ValueType()) + " " + VariantToText(reg_.GetValue()));
    }
    reg_.SetValueType(3);
    EXPECT_EQ("26001 Brakkis Isle: Application-defined or object-defined error", Raised([&] { reg_.SetValue("x"s); }));
    reg_.SetValueType(0);
    EXPECT_EQ("-2147194455" + kSetFailed + "-2147483647',Section: '" + section + "',Key: 'v' to value: 'x'",
              Raised([&] { reg_.SetValue("x"s); }));
    EXPECT_TRUE(reg_.DeleteValue() && !reg_.DeleteValue() && reg_.DeleteKey() && !reg_.KeyExists() &&
                reg_.CreateKey() && reg_.KeyExists());
    reg_.SetClassKey(0);
    EXPECT_EQ("26001" + kSource + "Failed to create registry Key: '" + section, Raised([&] { reg_.CreateKey(); }));
}

TEST_P(Registry, ListingsStartAfreshEndAtANameThatDoesNotFitAndKeepWhatTheyFound) {
    std::vector<std::string> values{"stale"}, sections{"stale"};
    std::int32_t valueCount = 9, sectionCount = 9;
    EXPECT_TRUE(reg_.EnumerateValues(values, valueCount) && reg_.EnumerateSections(sections, sectionCount) &&
                values.empty() && sections.empty() && valueCount == 0 && sectionCount == 0);  // no key yet
    const std::vector<std::string> names{"a", std::string(255, 'b'), "c"};
    for (const std::string& name : names) Put(name, 1, "");
    EXPECT_TRUE(reg_.EnumerateValues(values, valueCount) && reg_.EnumerateSections(sections, sectionCount) &&
                values == names && sections == std::vector<std::string>{"a"} && valueCount == 3 && sectionCount == 1);
    if (GetParam()) return;  // only the fake breaks a listing off
    fake_.listingBreaksAt = 1;
    EXPECT_TRUE(reg_.EnumerateValues(values, valueCount) && values == std::vector<std::string>{"a"} && valueCount == 1);
    EXPECT_EQ("-2147194454" + kSource + std::bad_alloc().what(),
              Raised([&] { reg_.EnumerateSections(sections, sectionCount); }));
}

TEST_P(Registry, AssociationsWriteTheirVerbsUntilAWriteFailsAndAdditionalOnesNeedTripletsAndAClass) {
    if (GetParam()) GTEST_SKIP();  // the machine's own file types stay as they are
    fake_.DenyWrites(reg::kClassesRoot, "C\\shell\\add");
    EXPECT_EQ("26001" + kSetFailed + "-2147483648',Section: 'C\\shell\\add',Key: '' to value: '&Install .x'",
              Raised([&] {
                  reg_.CreateEXEAssociation("  \"C:\\100%\"  ", "C", "D", ".x", "Go", true, "", true, "", true, "", 0);
              }));
    reg_.CreateEXEAssociation("", "G", "H", "g", "", false, "", true, "", false, "", 0);
    const std::vector<Variant> verbs{"edit"s, "&Edit"s, "notepad.exe %1"s, "view"s, "&View"s, 3};
    reg_.CreateAdditionalEXEAssociations("G", {1, 2, 3, 4});
    reg_.CreateAdditionalEXEAssociations("Undefined", verbs);
    // Swallowed where they are raised, the numbers of those two refusals can only be pinned.
    static_assert(registry_error::kAssociationItems == -2147194452 && registry_error::kAssociationClass == -2147194451);
    fake_.DenyWrites(reg::kClassesRoot, "G\\shell\\edit\\command");
    reg_.SetValueType(0);
    reg_.SetValueKey("stray");
    reg_.CreateAdditionalEXEAssociations("G", verbs);
    // Every key below the classes root, each value as name=text ("=(2)" for expandable text).
    std::string written;
    for (const auto& [path, values] : fake_.keys) {
        if (!path.starts_with("-2147483648\\")) continue;
        written += "|" + path.substr(12);
        for (const auto& [name, v] : values) written += name + (v.first == 2 ? "=(2)" : "=") + v.second.c_str();
    }
    EXPECT_EQ(
        "|..x=C|.g=G|C=D|C\\shell|C\\shell\\open=Go|C\\shell\\open\\command=(2)\"C:\\100%\" \"%1\""
        "|C\\shell\\print=&Print|C\\shell\\print\\command=(2)\"C:\\100%\" /p \"%1\"|G=H|G\\DefaultIcon=\",0|G\\shell"
        "|G\\shell\\edit=&Edit|G\\shell\\new=&New|G\\shell\\new\\command=\" /n \"%1\"|G\\shell\\open=&Open"
        "|G\\shell\\open\\command=\" \"%1\"|G\\shell\\view=&View|G\\shell\\view\\command=3",
        written);
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(FakeAndSystem, Registry, ::testing::Bool());
#else
INSTANTIATE_TEST_SUITE_P(Fake, Registry, ::testing::Values(false));
#endif

TEST(RegistryBinaryArray, CountsEachCharacterByItsCode) {
    // Past 0-9 a character counts its code less 55; a text that fails, by a sign, a blank or too large a sum, counts 0.
    EXPECT_EQ((ByteArray{10, 255, 7, 0, 0, 42, 16, 0x16, 0, 0, 0, 1, 0}),
              CRegistry::InitBinaryArray({"0A"s, "FF"s, "7"s, "-1"s, " 1"s, "a"s, "G"s, 16, Variant(), "100000000"s,
                                          std::string(256, '0') + "1", std::string(255, '0') + "1", ""s}));
    EXPECT_EQ("6 : Overflow|9 : Subscript out of range", Raised([] { CRegistry::InitBinaryArray({"1FF"s}); }) + "|" +
                                                             Raised([] { CRegistry::InitBinaryArray({}); }));
}

}  // namespace
}  // namespace brakkis::test
