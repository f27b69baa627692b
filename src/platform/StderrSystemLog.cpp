#include "platform/StderrSystemLog.h"

#include <cstdio>

namespace quorvela {

const char* logLevelName(LogLevel level) {
    switch (level) {
    case LogLevel::Debug: return "debug";
    case LogLevel::Info: return "info";
    case LogLevel::Warning: return "warning";
    case LogLevel::Error: return "error";
    }
    return "info";
}

void StderrSystemLog::write(const std::string& line) { writeAt(LogLevel::Info, line); }

void StderrSystemLog::writeAt(LogLevel level, const std::string& line) {
    if (level < minimum_) return;
    std::lock_guard lock(mutex_);
    if (sink_) {
        sink_(level, line);
        return;
    }
    // The line as the library words it; the level shows only in the filter.
    std::string whole = line;
    if (whole.empty() || whole.back() != '\n') whole += '\n';
    std::fwrite(whole.data(), 1, whole.size(), stderr);
    std::fflush(stderr);
}

}  // namespace quorvela
