#include "platform/Nl80211WifiInfo.h"

#include <linux/nl80211.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/netlink.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <functional>
#include <memory>

#include <fmt/format.h>

namespace quorvela {

namespace {

struct Interface {
    std::string name;
    int index = 0;
    std::optional<std::string> ssid;
};

struct SocketDeleter {
    void operator()(nl_sock* socket) const { nl_socket_free(socket); }
};
using Socket = std::unique_ptr<nl_sock, SocketDeleter>;

struct CallbackDeleter {
    void operator()(nl_cb* callbacks) const { nl_cb_put(callbacks); }
};

struct MessageDeleter {
    void operator()(nl_msg* message) const { nlmsg_free(message); }
};

// A connected generic-netlink socket and the nl80211 family number; nothing
// when the kernel has no nl80211 (no Wi-Fi) or netlink is not available.
std::optional<std::pair<Socket, int>> openNl80211() {
    Socket socket(nl_socket_alloc());
    if (!socket || genl_connect(socket.get()) < 0) return std::nullopt;
    // A kernel that does not answer must not hang the caller.
    timeval timeout{2, 0};
    ::setsockopt(nl_socket_get_fd(socket.get()), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    int family = genl_ctrl_resolve(socket.get(), "nl80211");
    if (family < 0) return std::nullopt;
    return std::make_pair(std::move(socket), family);
}

using Visitor = std::function<void(nlattr** attributes)>;

int onValid(nl_msg* message, void* argument) {
    auto* header = static_cast<genlmsghdr*>(nlmsg_data(nlmsg_hdr(message)));
    nlattr* attributes[NL80211_ATTR_MAX + 1] = {};
    if (nla_parse(attributes, NL80211_ATTR_MAX, genlmsg_attrdata(header, 0), genlmsg_attrlen(header, 0), nullptr) == 0)
        (*static_cast<Visitor*>(argument))(attributes);
    return NL_OK;
}

int onFinish(nl_msg*, void* argument) {
    *static_cast<int*>(argument) = 0;
    return NL_SKIP;
}

int onError(sockaddr_nl*, nlmsgerr* error, void* argument) {
    *static_cast<int*>(argument) = error->error < 0 ? error->error : -1;
    return NL_STOP;
}

// Sends one dump request and feeds every reply to `visit`; false when the
// request failed.
bool dump(nl_sock* socket, int family, std::uint8_t command, std::optional<int> interfaceIndex, Visitor visit) {
    std::unique_ptr<nl_msg, MessageDeleter> message(nlmsg_alloc());
    if (!message) return false;
    if (!genlmsg_put(message.get(), NL_AUTO_PORT, NL_AUTO_SEQ, family, 0, NLM_F_DUMP, command, 0)) return false;
    if (interfaceIndex &&
        nla_put_u32(message.get(), NL80211_ATTR_IFINDEX, static_cast<std::uint32_t>(*interfaceIndex)) < 0)
        return false;
    std::unique_ptr<nl_cb, CallbackDeleter> callbacks(nl_cb_alloc(NL_CB_DEFAULT));
    if (!callbacks) return false;
    int state = 1;
    nl_cb_set(callbacks.get(), NL_CB_VALID, NL_CB_CUSTOM, onValid, &visit);
    nl_cb_set(callbacks.get(), NL_CB_FINISH, NL_CB_CUSTOM, onFinish, &state);
    nl_cb_set(callbacks.get(), NL_CB_ACK, NL_CB_CUSTOM, onFinish, &state);
    nl_cb_err(callbacks.get(), NL_CB_CUSTOM, onError, &state);
    if (nl_send_auto(socket, message.get()) < 0) return false;
    while (state > 0)
        if (nl_recvmsgs(socket, callbacks.get()) < 0) return false;
    return state == 0;
}

std::vector<Interface> interfaces(nl_sock* socket, int family) {
    std::vector<Interface> found;
    dump(socket, family, NL80211_CMD_GET_INTERFACE, std::nullopt, [&found](nlattr** attributes) {
        if (!attributes[NL80211_ATTR_IFNAME] || !attributes[NL80211_ATTR_IFINDEX]) return;
        Interface entry;
        entry.name = nla_get_string(attributes[NL80211_ATTR_IFNAME]);
        entry.index = static_cast<int>(nla_get_u32(attributes[NL80211_ATTR_IFINDEX]));
        if (nlattr* ssid = attributes[NL80211_ATTR_SSID]; ssid && nla_len(ssid) > 0)
            entry.ssid = std::string(static_cast<const char*>(nla_data(ssid)), static_cast<std::size_t>(nla_len(ssid)));
        found.push_back(std::move(entry));
    });
    std::sort(found.begin(), found.end(), [](const Interface& a, const Interface& b) { return a.name < b.name; });
    return found;
}

}  // namespace

std::optional<std::string> Nl80211WifiInfo::hardwareAddress(const unsigned char* bytes, int length) {
    if (!bytes || length != 6) return std::nullopt;
    return fmt::format("{:02x}:{:02x}:{:02x}:{:02x}:{:02x}:{:02x}", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
                       bytes[5]);
}

std::optional<std::string> Nl80211WifiInfo::ssidFromElements(const unsigned char* bytes, int length) {
    if (!bytes) return std::nullopt;
    int at = 0;
    while (at + 2 <= length) {
        int id = bytes[at];
        int size = bytes[at + 1];
        if (at + 2 + size > length) return std::nullopt;
        if (id == 0) return std::string(reinterpret_cast<const char*>(bytes + at + 2), static_cast<std::size_t>(size));
        at += 2 + size;
    }
    return std::nullopt;
}

std::vector<std::string> Nl80211WifiInfo::supportedInterfaces() {
    auto opened = openNl80211();
    if (!opened) return {};
    std::vector<std::string> names;
    for (auto& entry : interfaces(opened->first.get(), opened->second)) names.push_back(std::move(entry.name));
    return names;
}

std::optional<Value::Dictionary> Nl80211WifiInfo::currentNetworkInfo(const std::string& interfaceName) {
    auto opened = openNl80211();
    if (!opened) return std::nullopt;
    auto& [socket, family] = *opened;
    auto all = interfaces(socket.get(), family);
    auto entry = std::find_if(all.begin(), all.end(), [&](const Interface& i) { return i.name == interfaceName; });
    if (entry == all.end()) return std::nullopt;

    std::optional<std::string> bssid;
    std::optional<std::string> announcedSsid;
    dump(socket.get(), family, NL80211_CMD_GET_SCAN, entry->index, [&](nlattr** attributes) {
        if (bssid || !attributes[NL80211_ATTR_BSS]) return;
        nla_policy policy[NL80211_BSS_MAX + 1] = {};
        policy[NL80211_BSS_STATUS].type = NLA_U32;
        nlattr* bss[NL80211_BSS_MAX + 1] = {};
        if (nla_parse_nested(bss, NL80211_BSS_MAX, attributes[NL80211_ATTR_BSS], policy) != 0) return;
        if (!bss[NL80211_BSS_STATUS] || !bss[NL80211_BSS_BSSID]) return;
        auto status = nla_get_u32(bss[NL80211_BSS_STATUS]);
        if (status != NL80211_BSS_STATUS_ASSOCIATED && status != NL80211_BSS_STATUS_IBSS_JOINED) return;
        bssid = hardwareAddress(static_cast<const unsigned char*>(nla_data(bss[NL80211_BSS_BSSID])),
                                nla_len(bss[NL80211_BSS_BSSID]));
        if (nlattr* elements = bss[NL80211_BSS_INFORMATION_ELEMENTS])
            announcedSsid = ssidFromElements(static_cast<const unsigned char*>(nla_data(elements)), nla_len(elements));
    });

    std::optional<std::string> ssid = entry->ssid ? entry->ssid : announcedSsid;
    if (!ssid && !bssid) return std::nullopt;
    Value::Dictionary record;
    if (ssid) record["SSID"] = Value(*ssid);
    if (bssid) record["BSSID"] = Value(*bssid);
    return record;
}

}  // namespace quorvela
