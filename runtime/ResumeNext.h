#pragma once
// Handlers whose statements are guarded one by one: a statement that raises a
// run-time error has no further effect and the next statement runs. Only
// RuntimeError is caught; anything else (a programming error) propagates.
//
//   ResumeNext step;
//   step([&] { outputY = pulseCount * 5; });
//   step([&] { ... });

#include "runtime/RuntimeError.h"

#include <utility>

namespace tervalo {

class ResumeNext {
public:
    template <typename F> bool operator()(F &&statement)
    {
        try {
            std::forward<F>(statement)();
            return true;
        } catch (const RuntimeError &e) {
            ++failures_;
            lastError_ = e.number();
            return false;
        }
    }

    int failures() const { return failures_; }
    int lastError() const { return lastError_; }

private:
    int failures_ = 0;
    int lastError_ = 0;
};

} // namespace tervalo
