#pragma once
#include <string>

namespace quorvela {

/// A random (version 4) UUID from the system's secure random source, in
/// upper-case canonical form: "XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX".
std::string randomUuidString();

}  // namespace quorvela
