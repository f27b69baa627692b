#pragma once
// Data tasks of the shared session: the endpoints that take the raw reply
// bytes and handle transport errors themselves.
#include <functional>
#include <memory>
#include <string>

#include "quorvela/platform/Platform.h"

namespace quorvela {

class SharedSession {
public:
    using Completion = std::function<void(const HttpResult&)>;

    /// Starts one GET (300 s time-out) and returns at once. `completion` runs
    /// once, in a job on the global queue (never the caller's thread), with the
    /// transfer's outcome; it holds whatever it captured until then.
    static void dataTask(const std::shared_ptr<Platform>& platform, const std::string& url, Completion completion);

    /// Reports a request refused before sending: `completion` runs the same
    /// way with a failed result carrying `error`.
    static void fail(const std::shared_ptr<Platform>& platform, const std::string& error, Completion completion);
};

}  // namespace quorvela
