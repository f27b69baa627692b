#pragma once
// A SystemLog that keeps every line for the test to inspect. Thread-safe.

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/platform/SystemLog.h"

namespace quorvela::test {

class CapturingLog : public SystemLog {
public:
    void write(const std::string& line) override { writeAt(LogLevel::Info, line); }
    void writeAt(LogLevel level, const std::string& line) override {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
        levels_.push_back(level);
    }
    /// The level of the first line that contains `text`, if any.
    std::optional<LogLevel> levelOf(const std::string& text) const {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < lines_.size(); ++i)
            if (lines_[i].find(text) != std::string::npos) return levels_[i];
        return std::nullopt;
    }
    /// A copy of the lines written so far, in order.
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    /// How many lines contain `text`.
    std::size_t count(const std::string& text) const {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        }));
    }
    bool contains(const std::string& text) const { return count(text) > 0; }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
        levels_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::vector<LogLevel> levels_;
};

}  // namespace quorvela::test
