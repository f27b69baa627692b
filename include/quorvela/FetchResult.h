#pragma once
// The one unsigned number that every completion handler receives: the
// platform's background-fetch result.
#include <functional>

namespace quorvela {

inline constexpr unsigned long kFetchResultNewData = 0;  ///< the reply was read
inline constexpr unsigned long kFetchResultNoData = 1;   ///< nothing to fetch (the geo-push check)
inline constexpr unsigned long kFetchResultFailed = 2;   ///< the request or the parse failed

/// A completion handler; an empty function means none was given.
using FetchCompletion = std::function<void(unsigned long)>;

}  // namespace quorvela
