// File-type registration: the exact keys and default values it leaves under
// the classes root of the simulated registry.
#include <gtest/gtest.h>

#include <map>

#include "registry/cregistry.h"
#include "tests/registry/sandbox.h"

namespace brakkis::test {
namespace {

using Tree = std::map<std::string, std::string>;

// Every key below path, with its default value as "type:data" or "missing".
void Dump(RegistryCalls& calls, const std::string& path, Tree& tree) {
    RegKey key = 0;
    calls.OpenKeyEx(reg::kClassesRoot, path, 0, reg::kEnumerateSubKeys, &key);
    char name[256];
    for (std::uint32_t i = 0; calls.EnumKey(key, i, name, sizeof name) == 0; ++i) {
        const std::string child = path.empty() ? name : path + "\\" + name;
        tree[child] = Get(calls, reg::kClassesRoot, child, "");
        Dump(calls, child, tree);
    }
    calls.CloseKey(key);
}

std::string Sz(const std::string& text) { return "1:" + text + '\0'; }

class Associations : public ::testing::Test {
protected:
    Tree Written() {
        Tree tree;
        Dump(sim_, "", tree);
        return tree;
    }
    void TearDown() override { EXPECT_EQ(0u, sim_.OpenHandleCount()); }

    sim::SimRegistry sim_;
    CRegistry reg_{sim_, "Brakkis Isle"};
};

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
    reg_.CreateEXEAssociation("  \"C:\\a.exe\"  ", "C", "D", ".x", "", true, "", true, "", true,
                              "", 0);
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
    EXPECT_EQ("2" + Sz("\"C:\\100%\\a.exe\" \"%1\"").substr(1),
              Written().at("C\\shell\\open\\command"));
    reg_.CreateEXEAssociation("", "C", "D", "x");
    EXPECT_EQ(Sz("\" \"%1\""), Written().at("C\\shell\\open\\command"));
}

TEST_F(Associations, AdditionalVerbsNeedTripletsAndAnExistingClass) {
    const std::vector<Variant> edit{std::string("edit"), std::string("&Edit"),
                                    std::string("notepad.exe %1")};
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
