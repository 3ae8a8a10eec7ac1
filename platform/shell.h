// Starting programs, in the shape of the scripting host's Run.
#pragma once

#include <cstdint>
#include <string>

namespace brakkis {

class Shell {
public:
    virtual ~Shell() = default;
    // Starts the command line exactly as given. With wait set, returns when
    // the process has ended, while the caller's window messages and timer
    // keep being serviced; the result is the exit code (0 without wait).
    virtual std::int32_t Run(const std::string& command, std::int16_t windowStyle, bool wait) = 0;
};

}  // namespace brakkis
