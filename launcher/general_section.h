// The [General] section of the game's UnrealTournament.int: the product name
// and the captions the game titles its windows with.
#pragma once

#include <array>
#include <string>

namespace brakkis {

using GeneralSection = std::array<const char*, 5>;

inline constexpr GeneralSection ModGeneralSection = {
    "[General]", "Start=Brakkis (Starting)", "Exit=Brakkis (Exiting)", "Run=Brakkis (Running)",
    "Product=Brakkis"};

inline constexpr GeneralSection GameGeneralSection = {
    "[General]", "Start=Unreal Tournament (Starting)", "Exit=Unreal Tournament (Exiting)",
    "Run=Unreal Tournament (Running)", "Product=Unreal Tournament"};

// Where the [General] section sits in a file's bytes: everything before it
// and everything after it survive a rewrite untouched. A file without the
// section gets it before its first section, or at its end when it has none
// (after a line end of its own if its last line lacks one); leading UTF-8
// byte-order marks are dropped, because the game reads the file as 8-bit text.
struct GeneralSectionSplit {
    std::string before;
    std::string after;
};
GeneralSectionSplit SplitAroundGeneralSection(const std::string& content);

}  // namespace brakkis
