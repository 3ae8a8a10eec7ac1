// The record the stand-in game appends to a log beside itself each time it
// starts, so a test can read how the launcher started it and what the
// launcher had set up by then. Lines end in CR LF; a record is complete once
// its end line is there. Also the name of the behaviour file it reads.
#pragma once

#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace brakkis::standin {

inline constexpr char kLogName[] = "standin.log";
inline constexpr char kBehaviourName[] = "standin.cfg";

inline constexpr char kStart[] = "start=";          // 1 for the first start in this folder, then 2, ...
inline constexpr char kCommandLine[] = "command=";  // followed by the raw command line
inline constexpr char kRunValue[] = "run-value=";   // followed by the data, when the value exists
inline constexpr char kRunValueMissing[] = "run-value-missing";
inline constexpr char kFiles[] = "files=";  // the .ini/.int names beside it, sorted, '|' between
inline constexpr char kRecordEnd[] = "end";

// Both files are read whole and taken line by line, CR LF or LF.
inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// One start as its record tells it. Only complete records count: the
// stand-in writes each in one piece.
struct GameStart {
    std::string number;
    std::string commandLine;
    std::optional<std::string> runValue;
    std::vector<std::string> files;  // the .ini/.int names the game could see
};

inline std::vector<GameStart> GameStarts(const std::string& folder) {
    std::vector<GameStart> starts;
    GameStart start;
    for (const std::string& line : Lines(ReadWhole(folder + "\\" + kLogName))) {
        const auto value = [&](const char* key) { return line.substr(std::strlen(key)); };
        if (line.rfind(kStart, 0) == 0) start.number = value(kStart);
        if (line.rfind(kCommandLine, 0) == 0) start.commandLine = value(kCommandLine);
        if (line.rfind(kRunValue, 0) == 0) start.runValue = value(kRunValue);
        if (line.rfind(kFiles, 0) == 0) {
            std::istringstream names(value(kFiles));
            for (std::string name; std::getline(names, name, '|');) start.files.push_back(name);
        }
        if (line == kRecordEnd) starts.push_back(std::exchange(start, GameStart{}));
    }
    return starts;
}

}  // namespace brakkis::standin
