#pragma once
// Standard output of quorvela-host: one whole line per call, flushed at once,
// safe from any thread (delegate calls and completion handlers arrive on the
// library's threads).

#include <cstdio>
#include <mutex>
#include <string>

namespace quorvela::host {

class Output {
public:
    explicit Output(std::FILE* stream = stdout) : stream_(stream) {}
    void line(const std::string& text);

private:
    std::mutex mutex_;
    std::FILE* stream_;
};

}  // namespace quorvela::host
