#pragma once
// quorvela-host --demo: starts an embedded sandbox on loopback with its own
// CA, seeds it, writes a temporary bundle, and plays a story through the
// real library over real HTTPS, one checked step at a time; ends with a
// summary of what the sandbox received and what the host saw. With
// `linger`, the sandbox and its console stay open until Ctrl-C.

namespace quorvela::host {

class Demo {
public:
    /// 0 when every step happened, 1 otherwise.
    int run(bool linger = false);
};

}  // namespace quorvela::host
