#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/posix/posix_shell.h"

namespace brakkis {
namespace {

using Args = std::vector<std::string>;

TEST(PosixShell, WaitingRunGivesTheExitCodeKeepsTheCallerServicedAndNoWaitReturnsAtOnce) {
    int serviced = 0;
    auto shell = CreatePosixShell([&] { ++serviced; });
    EXPECT_EQ(shell->Run("/bin/sh -c \"sleep 0.2; exit 3\"", 0, true), 3);
    EXPECT_GT(serviced, 2);
    EXPECT_EQ(CreatePosixShell()->Run("sh -c \"exit 0\"", 0, true), 0);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(shell->Run("/bin/sh -c \"sleep 1\"", 0, false), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));

    try {
        shell->Run("\"C:\\Games\\UT\\System\\No Such Game.exe\" -log", 0, true);
        ADD_FAILURE() << "no error raised";
    } catch (const RaisedError& error) {
        EXPECT_EQ(error.Number(), errnum::kFileNotFound);
        EXPECT_EQ(error.Source(), "Shell");
    }
}

TEST(PosixShell, CommandLinesSplitAsAWindowsProgramSeesThem) {
    EXPECT_EQ(SplitCommandLine("\"C:\\UT\\System\\UnrealTournament.exe\" Brakkis.unr?Game=x -INI=..\\Brakkis.ini"),
              (Args{"C:\\UT\\System\\UnrealTournament.exe", "Brakkis.unr?Game=x", "-INI=..\\Brakkis.ini"}));
    EXPECT_EQ(SplitCommandLine("  prog  \"a b\"\tc\\\\\"d e\" f\\\"g \"h\"\"i\" \"\""),
              (Args{"prog", "a b", "c\\d e", "f\"g", "h\"i", ""}));
    EXPECT_EQ(SplitCommandLine("C:\\a\\\"b c"), (Args{"C:\\a\\\"b", "c"}));
    EXPECT_EQ(SplitCommandLine("   "), Args{});
}

}  // namespace
}  // namespace brakkis
