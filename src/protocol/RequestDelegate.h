#pragma once
#include <string>

#include "protocol/RequestError.h"

namespace quorvela {

/// The outcome of one HttpRequest. Exactly one of the two is called, once, in
/// a job on the global queue (never the main thread); the request keeps its
/// delegate alive until then and lets go of it afterwards.
class RequestDelegate {
public:
    virtual ~RequestDelegate() = default;
    /// The whole reply body as UTF-8 text, whatever the HTTP status.
    virtual void response(const std::string& body) = 0;
    /// The transfer failed, the body was not text, or the request was refused
    /// before sending.
    virtual void requestError(const RequestError& error) = 0;
};

}  // namespace quorvela
