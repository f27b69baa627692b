#include "quorvela/HostResults.h"

namespace quorvela {

std::string StartReport::describe() const {
    switch (status) {
    case Status::Configured: return "configured";
    case Status::FileMissing: return "no readable Quorvela-Info.plist in the bundle";
    case Status::KeysMissing: break;
    }
    std::string line = "missing keys:";
    for (const auto& key : missingKeys) line.append(" ").append(key);
    return line;
}

}  // namespace quorvela
