#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvela::sandbox {

/// Reads the query of an events request into its pairs, in order, decoded.
/// The client leaves "&" and "=" inside values unencoded, so a piece whose key
/// is not one of the event keys belongs to the value before it.
class AnalyticsQuery {
public:
    using Pairs = std::vector<std::pair<std::string, std::string>>;

    static const std::vector<std::string>& eventKeys();
    /// The pairs, or nothing for an empty or malformed query.
    static std::optional<Pairs> parse(std::string_view query);
};

}  // namespace quorvela::sandbox
