#pragma once
#include <functional>
#include <string>

#include "quorvela/Export.h"

namespace quorvela {

/// The platform log: one whole line per call, safe from any thread.
class QUORVELA_EXPORT SystemLog {
public:
    using Sink = std::function<void(const std::string&)>;
    virtual ~SystemLog() = default;
    virtual void write(const std::string& line) = 0;
};

}  // namespace quorvela
