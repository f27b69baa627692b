#pragma once
#include <cstdint>
#include <functional>

#include "quorvela/Export.h"

namespace quorvela {

/// Grants of extra run time while the host is being suspended.
class QUORVELA_EXPORT BackgroundTasks {
public:
    using TaskId = std::uint64_t;
    static constexpr TaskId kInvalid = 0;

    virtual ~BackgroundTasks() = default;
    /// Begins a task (numbers start at 1); the platform may call `expiration`
    /// when the time runs out.
    virtual TaskId begin(std::function<void()> expiration) = 0;
    virtual void end(TaskId task) = 0;
};

}  // namespace quorvela
