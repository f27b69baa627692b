#include "location/GeoPushTarget.h"

#include <vector>

#include "platform/LenientNumber.h"

namespace quorvela {

namespace {

std::vector<std::string> splitFields(const std::string& text) {
    std::vector<std::string> fields;
    std::string::size_type at = 0;
    for (;;) {
        auto colon = text.find(':', at);
        fields.push_back(text.substr(at, colon == std::string::npos ? std::string::npos : colon - at));
        if (colon == std::string::npos) return fields;
        at = colon + 1;
    }
}

}  // namespace

std::optional<GeoPushTarget> GeoPushTarget::parse(const std::string& msgID) {
    auto fields = splitFields(msgID);
    if (fields.size() < 5) return std::nullopt;
    GeoPushTarget target;
    target.messageId = fields[1];
    target.latitude = LenientNumber::leading(fields[2]);
    target.longitude = LenientNumber::leading(fields[3]);
    target.radius = LenientNumber::leading(fields[4]);
    return target;
}

}  // namespace quorvela
