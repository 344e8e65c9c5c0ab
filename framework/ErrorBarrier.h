// Entry points that the operating system calls (COM methods, window
// procedures) must not let an exception escape: unwinding through foreign
// frames is undefined. They run their body through CallBarrier.
#pragma once

#include <utility>

// Runs body and returns its result, or onError when it throws anything.
template <class Result, class Body>
Result CallBarrier(Result onError, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return onError;
    }
}
