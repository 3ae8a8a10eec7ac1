// The record the stand-in game appends to a log beside itself each time it
// starts, so a test can read how the launcher started it and what the
// launcher had set up by then. Lines end in CR LF; a record is complete once
// its end line is there. Also the name of the behaviour file it reads.
#pragma once

namespace brakkis::standin {

inline constexpr char kLogName[] = "standin.log";
inline constexpr char kBehaviourName[] = "standin.cfg";

inline constexpr char kStart[] = "start=";               // 1 for the first start in this folder, then 2, ...
inline constexpr char kCommandLine[] = "command=";       // followed by the raw command line
inline constexpr char kRunValue[] = "run-value=";        // followed by the data, when the value exists
inline constexpr char kRunValueMissing[] = "run-value-missing";
inline constexpr char kFiles[] = "files=";               // the .ini/.int names beside it, sorted, '|' between
inline constexpr char kRecordEnd[] = "end";

}  // namespace brakkis::standin
