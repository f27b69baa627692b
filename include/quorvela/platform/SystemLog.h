#pragma once
#include <functional>
#include <string>

namespace quorvela {

/// The platform log: one whole line per call, safe from any thread.
class SystemLog {
public:
    using Sink = std::function<void(const std::string&)>;
    virtual ~SystemLog() = default;
    virtual void write(const std::string& line) = 0;
};

}  // namespace quorvela
