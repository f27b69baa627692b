#pragma once
// Texts handed to the C caller: allocated with malloc, so that quorvela_free
// (free) releases them whichever allocator the host's language uses.

#include <string>

namespace quorvela::c {

class OwnedText {
public:
    /// A NUL-terminated copy; null when memory runs out.
    static char* copy(const std::string& text);
    /// Stores a copy in `*out` when `out` is not null.
    static void store(char** out, const std::string& text);
};

}  // namespace quorvela::c
