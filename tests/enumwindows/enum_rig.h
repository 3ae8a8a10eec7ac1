// A simulated machine with the enumeration engine over it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "enumwindows/mod_enum_windows.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_process_machine.h"

namespace brakkis::test {

template <class... Text>
std::vector<std::string> Seq(const Text&... texts) {
    return {std::string(texts)...};
}

template <class... Id>
std::vector<std::uint32_t> Pids(Id... ids) {
    return {static_cast<std::uint32_t>(ids)...};
}

struct EnumRig {
    sim::SimProcessMachine machine;
    sim::SimMachine launcherMachine;  // message boxes land here
    sim::SimRuntime runtime{launcherMachine};
    sim::SimProcessCalls calls{machine};
    sim::SimWindowEnumCalls windows{machine};
    ModEnumWindows engine{calls, windows, runtime};

    std::shared_ptr<CProcess> Process(std::int64_t id) const { return engine.Processes().Find(MakeKey(id)); }

    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& box : launcherMachine.messageBoxes) {
            EXPECT_EQ(box.style, 0);
            EXPECT_EQ(box.title, "");
            texts.push_back(box.text);
        }
        return texts;
    }
};

}  // namespace brakkis::test
