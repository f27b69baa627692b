#include "platform/StderrSystemLog.h"

#include <cstdio>

namespace quorvela {

void StderrSystemLog::write(const std::string& line) {
    std::lock_guard lock(mutex_);
    if (sink_) {
        sink_(line);
        return;
    }
    std::string whole = line;
    if (whole.empty() || whole.back() != '\n') whole += '\n';
    std::fwrite(whole.data(), 1, whole.size(), stderr);
    std::fflush(stderr);
}

void StderrSystemLog::setSink(Sink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

}  // namespace quorvela
