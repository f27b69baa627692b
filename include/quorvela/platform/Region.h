#pragma once
// A region the location manager can monitor. Geometry and identifier are fixed
// at creation; the entry / exit notification flags are set before the region
// is handed to the manager.

#include <atomic>
#include <memory>
#include <string>

#include "quorvela/Export.h"

namespace quorvela {

class QUORVELA_EXPORT Region {
public:
    enum class Kind { Circular, Beacon };

    virtual ~Region() = default;
    Region(const Region&) = delete;
    Region& operator=(const Region&) = delete;

    virtual Kind kind() const = 0;
    const std::string& identifier() const { return identifier_; }

    bool notifyOnEntry() const { return notifyOnEntry_.load(); }
    void setNotifyOnEntry(bool value) { notifyOnEntry_.store(value); }
    bool notifyOnExit() const { return notifyOnExit_.load(); }
    void setNotifyOnExit(bool value) { notifyOnExit_.store(value); }

    /// Same kind, identifier and geometry (the notification flags are not
    /// compared).
    virtual bool isEqual(const Region& other) const = 0;
    /// A readable one-line description.
    virtual std::string description() const = 0;

protected:
    explicit Region(std::string identifier) : identifier_(std::move(identifier)) {}

private:
    const std::string identifier_;
    std::atomic<bool> notifyOnEntry_{true};
    std::atomic<bool> notifyOnExit_{true};
};

}  // namespace quorvela
