// The ignore-and-continue mode: a failing step is skipped and the next one
// runs. Routines in that mode wrap each step in SkipOnError(); a condition
// that guards steps goes through UnlessFalse(), so that a condition which
// cannot even be evaluated lets the steps it guards run.
#pragma once

#include <exception>
#include <utility>

namespace brakkis {

// Runs one step. Returns false when it raised; nothing propagates.
template <class F>
bool SkipOnError(F&& step) noexcept {
    try {
        std::forward<F>(step)();
        return true;
    } catch (...) {
        return false;
    }
}

// The condition's value, or true when evaluating it raised.
template <class F>
bool UnlessFalse(F&& condition) noexcept {
    try {
        return static_cast<bool>(std::forward<F>(condition)());
    } catch (...) {
        return true;
    }
}

}  // namespace brakkis
