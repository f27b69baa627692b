#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/Database.h"

namespace quorvela::sandbox {

/// One location report a client sent: a position asked for by push
/// (sendLocation) or a region entry / exit (notifyRegionEvent). Values are
/// kept as the client wrote them.
struct LocationReport {
    std::int64_t time = 0;  ///< when the sandbox received it, milliseconds since 1970
    std::string operation;  ///< "sendLocation" or "notifyRegionEvent"
    std::string deviceId;
    std::string clientId;
    std::string timeStamp;  ///< the client's time stamp (milliseconds)
    std::string latitude;   ///< six decimals, as sent
    std::string longitude;
    std::optional<std::string> requestId;   ///< sendLocation only
    std::optional<std::string> region;      ///< notifyRegionEvent only (as the next four)
    std::optional<std::string> status;      ///< "ENTER" or "EXIT"
    std::optional<std::string> regionType;  ///< "GEOFENCE", "BEACON", "WIFI_BEACON"
    std::optional<std::string> appName;
    std::optional<std::string> platform;
};

/// The location reports in the sandbox's database and how the two endpoints
/// answer. Tables are created on first use.
class LocationStore {
public:
    /// "accept": successful true; "reject": successful false; "malformed": a
    /// body that is not well-formed XML.
    static constexpr const char* kModes[] = {"accept", "reject", "malformed"};

    explicit LocationStore(Database& db);

    void add(const LocationReport& report);
    std::vector<LocationReport> reports();
    void clear();

    std::string mode();
    /// false when `mode` is none of kModes.
    bool setMode(const std::string& mode);

private:
    Database& db_;
};

}  // namespace quorvela::sandbox
