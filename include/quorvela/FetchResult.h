#pragma once
// The one unsigned number that every completion handler receives: the
// platform's background-fetch result, and its typed form.
#include <functional>
#include <optional>

namespace quorvela {

/// What a completion handler's number means. A handler receives the
/// platform's `unsigned long` (0, 1 or 2); `fetchResultOf` reads it back.
enum class FetchResult : unsigned long {
    NewData = 0,  ///< the reply was read
    NoData = 1,   ///< nothing was started or there was nothing to fetch
    Failed = 2,   ///< the request or the parse failed
};

/// The platform's number for `result`.
constexpr unsigned long toPlatformValue(FetchResult result) { return static_cast<unsigned long>(result); }

/// The result a handler's number stands for; nothing for a number other than
/// 0, 1 or 2.
constexpr std::optional<FetchResult> fetchResultOf(unsigned long value) {
    if (value > toPlatformValue(FetchResult::Failed)) return std::nullopt;
    return static_cast<FetchResult>(value);
}

inline constexpr unsigned long kFetchResultNewData = toPlatformValue(FetchResult::NewData);
inline constexpr unsigned long kFetchResultNoData = toPlatformValue(FetchResult::NoData);
inline constexpr unsigned long kFetchResultFailed = toPlatformValue(FetchResult::Failed);

/// A completion handler; an empty function means none was given.
using FetchCompletion = std::function<void(unsigned long)>;

}  // namespace quorvela
