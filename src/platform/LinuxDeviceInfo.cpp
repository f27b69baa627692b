#include "platform/LinuxDeviceInfo.h"

#include <sys/utsname.h>

#include <fstream>
#include <map>

namespace quorvela {

namespace {

// KEY=value lines; values may be quoted.
std::map<std::string, std::string> readOsRelease(const std::string& path) {
    std::map<std::string, std::string> fields;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos || line.empty() || line[0] == '#') continue;
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        fields[line.substr(0, eq)] = value;
    }
    return fields;
}

}  // namespace

LinuxDeviceInfo::LinuxDeviceInfo(const std::string& osRelease) {
    auto fields = readOsRelease(osRelease);
    struct utsname names {};
    bool haveUname = uname(&names) == 0;
    systemName_ = fields.count("NAME") ? fields["NAME"] : (haveUname ? names.sysname : "Linux");
    systemVersion_ = fields.count("VERSION_ID") ? fields["VERSION_ID"] : (haveUname ? names.release : "");
    model_ = haveUname ? names.machine : "unknown";
}

}  // namespace quorvela
