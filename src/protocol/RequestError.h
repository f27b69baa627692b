#pragma once
#include <string>

#include "quorvela/Value.h"

namespace quorvela {

/// A failed request or parse: what the loaders log and pass on.
struct RequestError {
    std::string localizedDescription;
    Value::Dictionary userInfo;
    /// The parser's or transport's error number; 0 when it has none.
    long code = 0;

    /// "%@ %@" of the description and the user information.
    std::string text() const;
};

}  // namespace quorvela
