#pragma once
// The results a completion handler was called with, from any thread.
#include <mutex>
#include <vector>

#include "core/QuorvelaCore.h"

namespace quorvela::test {

class Results {
public:
    QuorvelaCore::Completion handler() {
        return [this](unsigned long result) {
            std::lock_guard lock(mutex_);
            values_.push_back(result);
        };
    }
    std::vector<unsigned long> values() const {
        std::lock_guard lock(mutex_);
        return values_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<unsigned long> values_;
};

}  // namespace quorvela::test
