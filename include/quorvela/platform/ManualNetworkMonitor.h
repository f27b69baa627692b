#pragma once
// A NetworkMonitor that only delivers what is posted to it: for tests, for
// hosts without a system source, and as the observer registry of the Linux
// monitor.

#include <map>
#include <mutex>

#include "quorvela/Export.h"
#include "quorvela/platform/NetworkMonitor.h"

namespace quorvela {

class QUORVELA_EXPORT ManualNetworkMonitor : public NetworkMonitor {
public:
    ObserverId addObserver(const std::optional<std::string>& name, Callback callback) override;
    void removeObserver(ObserverId observer) override;
    /// Calls the matching observers on the caller's thread, in the order they
    /// were added, outside the monitor's lock (an observer may add or remove
    /// observers).
    void post(const std::string& name) override;

    /// Number of observers registered now.
    std::size_t observerCount() const;

private:
    struct Observer {
        std::optional<std::string> name;
        Callback callback;
    };
    mutable std::mutex mutex_;
    ObserverId next_ = 1;
    std::map<ObserverId, Observer> observers_;
};

}  // namespace quorvela
