#pragma once
// The default platform log: lines at or above a minimum level go to standard
// error, or to the host's sink when it gave one. Lines from several threads
// never interleave.
#include <mutex>

#include "quorvela/platform/SystemLog.h"

namespace quorvela {

class StderrSystemLog : public SystemLog {
public:
    explicit StderrSystemLog(LogLevel minimum = LogLevel::Debug, LevelSink sink = {})
        : minimum_(minimum), sink_(std::move(sink)) {}

    /// A line without a level counts as Info.
    void write(const std::string& line) override;
    /// The sink is called under the log's lock, one line at a time, and must
    /// not write to this log itself.
    void writeAt(LogLevel level, const std::string& line) override;

private:
    const LogLevel minimum_;
    std::mutex mutex_;
    const LevelSink sink_;
};

}  // namespace quorvela
