#pragma once
// libplist 2.2 reads, copies, writes and frees property lists recursively,
// so a deeply nested file (easy to make: a few bytes per level) overflows the
// stack. This looks at the raw bytes first and says whether the nesting of
// arrays and dictionaries stays within a limit, without building anything.

#include <cstddef>
#include <string_view>

namespace quorvela {

inline constexpr std::size_t kMaxPlistNesting = 512;

/// XML form: counts <array>/<dict> openings and closings outside comments,
/// CDATA sections and processing instructions.
bool xmlPlistNestingWithin(std::string_view bytes, std::size_t maxDepth = kMaxPlistNesting);
/// Binary form ("bplist00"): walks the object table from the top object;
/// false also for a table that is out of range or refers back to itself.
bool binaryPlistNestingWithin(std::string_view bytes, std::size_t maxDepth = kMaxPlistNesting);

}  // namespace quorvela
