#pragma once
// System-wide named notifications, modelled on a notification centre that
// carries only a name: observers register for one name (or for all), and a
// post reaches every matching observer.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "quorvela/Export.h"

namespace quorvela {

class QUORVELA_EXPORT NetworkMonitor {
public:
    using ObserverId = std::uint64_t;
    /// Called with the notification's name, on a thread of the monitor's
    /// choosing (the poster's thread, or the monitor's own watch thread).
    /// Calls for different notifications may overlap.
    using Callback = std::function<void(const std::string& name)>;

    /// The name under which a change of the device's network configuration
    /// (a link going up or down, an address added or removed) is posted.
    static constexpr const char* kNetworkChange = "com.apple.system.config.network_change";

    virtual ~NetworkMonitor() = default;
    /// Observes notifications named `name` (every notification when absent).
    /// Returns a number for `removeObserver`, never 0.
    virtual ObserverId addObserver(const std::optional<std::string>& name, Callback callback) = 0;
    /// Stops an observer; an unknown number does nothing. A call already
    /// running may still finish after this returns.
    virtual void removeObserver(ObserverId observer) = 0;
    /// Posts a notification to every matching observer, on the caller's thread.
    virtual void post(const std::string& name) = 0;
};

}  // namespace quorvela
