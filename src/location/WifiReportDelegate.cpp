#include "location/WifiReportDelegate.h"

#include "location/LocationHost.h"
#include "protocol/SignedUrl.h"

namespace quorvela {

void WifiReportDelegate::LocationCallSuccess(bool, const std::optional<std::string>& message) {
    facade_->debugMessage("LocationDelegate: " + SignedUrl::render(message));
}

void WifiReportDelegate::LocationCallReturnedError(const std::optional<std::string>& message) {
    facade_->debugMessage("LocationDelegate Error: " + SignedUrl::render(message));
}

}  // namespace quorvela
