// The ignore-and-continue mode: a failing step is skipped and the next one
// runs. Routines in that mode wrap each step in Step(); a condition test goes
// through Test(), where a test that itself fails lets the guarded steps run.
#pragma once

#include <exception>
#include <utility>

namespace brakkis {

// Runs one step. Returns false when it raised; nothing propagates.
template <class F>
bool Step(F&& step) noexcept {
    try {
        std::forward<F>(step)();
        return true;
    } catch (...) {
        return false;
    }
}

// Evaluates one condition test. A test that cannot be made counts as passed,
// so the steps it guards still run.
template <class F>
bool Test(F&& condition) noexcept {
    try {
        return static_cast<bool>(std::forward<F>(condition)());
    } catch (...) {
        return true;
    }
}

}  // namespace brakkis
