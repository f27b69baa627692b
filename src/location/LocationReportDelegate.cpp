#include "location/LocationReportDelegate.h"

#include "location/LocationHost.h"

namespace quorvela {

void LocationReportDelegate::LocationCallSuccess(bool successful, const std::optional<std::string>& message) {
    facade_->LocationCallSuccess(successful, message);
}

void LocationReportDelegate::LocationCallReturnedError(const std::optional<std::string>& message) {
    facade_->LocationCallReturnedError(message);
}

}  // namespace quorvela
