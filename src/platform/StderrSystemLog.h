#pragma once
// The platform log: standard error unless a host installs its own sink.
// Lines from several threads never interleave.

#include <mutex>

#include "quorvela/platform/SystemLog.h"

namespace quorvela {

class StderrSystemLog : public SystemLog {
public:
    void write(const std::string& line) override;
    /// Sends every later line to `sink`; an empty sink restores standard error.
    /// The sink is called under the log's lock, one line at a time, and must
    /// not write to this log itself.
    void setSink(Sink sink);

private:
    std::mutex mutex_;
    Sink sink_;
};

}  // namespace quorvela
