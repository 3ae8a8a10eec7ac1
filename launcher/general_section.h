// The [General] section of the game's UnrealTournament.int: the product name
// and the captions the game titles its windows with.
#pragma once

#include <array>
#include <string>

namespace brakkis {

using GeneralSection = std::array<const char*, 5>;

inline constexpr GeneralSection ModGeneralSection = {"[General]", "Start=Brakkis (Starting)", "Exit=Brakkis (Exiting)",
                                                     "Run=Brakkis (Running)", "Product=Brakkis"};

inline constexpr GeneralSection GameGeneralSection = {"[General]", "Start=Unreal Tournament (Starting)",
                                                      "Exit=Unreal Tournament (Exiting)",
                                                      "Run=Unreal Tournament (Running)", "Product=Unreal Tournament"};

// The file's bytes with its [General] section replaced by the five lines,
// each ended by CR LF, in the file's own encoding: ANSI, UTF-8 with a
// byte-order mark, or UTF-16 little-endian with one (the game reads all
// three). Every byte before and after the section stays as it was. A file
// without the section gets it before its first section, or at its end when
// it has none. A file that cannot be read safely in any of the three (other
// byte-order marks, UTF-16 cut in half, NUL bytes in ANSI text) becomes the
// five lines alone, in ANSI: never a mix of two encodings.
std::string WithGeneralSection(const std::string& content, const GeneralSection& lines);

}  // namespace brakkis
