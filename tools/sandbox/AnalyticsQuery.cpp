#include "AnalyticsQuery.h"

#include <algorithm>

#include "PercentCoding.h"

namespace quorvela::sandbox {

const std::vector<std::string>& AnalyticsQuery::eventKeys() {
    static const std::vector<std::string> keys{"deviceid",  "client",   "app",           "platform",
                                               "eventtype", "latitude", "longitude",     "mobile",
                                               "extrainfo", "address",  "campaign_name", "version"};
    return keys;
}

std::optional<AnalyticsQuery::Pairs> AnalyticsQuery::parse(std::string_view query) {
    if (query.empty()) return std::nullopt;
    // Raw (still encoded) pairs first, so a merged value is decoded as a whole.
    std::vector<std::pair<std::string, std::string>> raw;
    std::size_t start = 0;
    const auto& known = eventKeys();
    for (;;) {
        const std::size_t amp = query.find('&', start);
        const std::string_view piece = query.substr(
            start, amp == std::string_view::npos ? std::string_view::npos : amp - start);
        const std::size_t equals = piece.find('=');
        const std::string key(piece.substr(0, equals));
        const bool isKey = equals != std::string_view::npos &&
                           std::find(known.begin(), known.end(), key) != known.end();
        if (isKey || raw.empty()) {
            if (equals == std::string_view::npos) {
                raw.emplace_back(std::string(piece), std::string());
            } else {
                raw.emplace_back(key, std::string(piece.substr(equals + 1)));
            }
        } else {
            raw.back().second += "&";
            raw.back().second += piece;
        }
        if (amp == std::string_view::npos) break;
        start = amp + 1;
    }
    Pairs out;
    for (const auto& [key, value] : raw) {
        auto decodedKey = PercentCoding::decode(key);
        auto decodedValue = PercentCoding::decode(value);
        if (!decodedKey || !decodedValue || decodedKey->empty()) return std::nullopt;
        out.emplace_back(std::move(*decodedKey), std::move(*decodedValue));
    }
    return out;
}

}  // namespace quorvela::sandbox
