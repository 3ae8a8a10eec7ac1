// The launcher's own arguments cut out of its raw command line.
#include <gtest/gtest.h>

#include "platform/win32/program_arguments.h"

namespace brakkis {
namespace {

TEST(ArgumentsAfterProgramName, CutLikeWinMainsCommandLine) {
    EXPECT_EQ(ArgumentsAfterProgramName("C:\\UT\\Launcher.exe \t/SILENT"), "/SILENT");
    EXPECT_EQ(ArgumentsAfterProgramName("\"C:\\UT\\Brakkis Isle.exe\"   "), "");
    EXPECT_EQ(ArgumentsAfterProgramName("\"C:\\UT\\Brakkis Isle.exe\""), "");
    // A quote opened inside the name keeps blanks in it until it closes.
    EXPECT_EQ(ArgumentsAfterProgramName("C:\\\"Unreal Tournament\"\\Brakkis.exe \"a  b\""), "\"a  b\"");
    // The recovery entry names the program unquoted, blanks and all: its
    // switch must still arrive whole, or a crash is never repaired.
    const char* self = "C:\\Games\\UT 436\\System\\Brakkis Isle.exe";
    EXPECT_EQ(ArgumentsAfterProgramName("c:\\games\\ut 436\\system\\brakkis isle.exe /silent", self), "/silent");
    EXPECT_EQ(ArgumentsAfterProgramName("\"C:\\Games\\UT 436\\System\\Brakkis Isle.exe\"  DM-Deck16  x ", self),
              "DM-Deck16  x ");
    EXPECT_EQ(ArgumentsAfterProgramName("C:\\Games\\UT 436\\System\\Brakkis Isle.exe2 /silent", self),
              "436\\System\\Brakkis Isle.exe2 /silent");
}

}  // namespace
}  // namespace brakkis
