#include "FuzzChecks.h"

#include <cstdio>
#include <cstdlib>

namespace quorvela::fuzz {

const std::map<std::string, Check>& checks() {
    static const std::map<std::string, Check> table{
        {"archive_reader", archiveReader}, {"geofence_list", geofenceList}, {"pending_messages", pendingMessages},
        {"plist_reader", plistReader},     {"push_payload", pushPayload},   {"replay_route", replayRoute},
        {"single_message", singleMessage}, {"xml_reader", xmlReader},
    };
    return table;
}

void broken(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace quorvela::fuzz
