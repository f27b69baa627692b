#include "location/LocationReportLog.h"

#include "location/LocationHost.h"
#include "protocol/SignedUrl.h"

namespace quorvela {

void LocationReportLog::LocationCallSuccess(bool, const std::optional<std::string>& message) {
    host_.debugMessage("LocationDelegate: " + SignedUrl::render(message));
}

void LocationReportLog::LocationCallReturnedError(const std::optional<std::string>& message) {
    host_.debugMessage("LocationDelegate Error: " + SignedUrl::render(message));
}

}  // namespace quorvela
