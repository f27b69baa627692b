#include "platform/NetlinkNetworkMonitor.h"

#include <linux/if_link.h>
#include <linux/rtnetlink.h>
#include <netlink/msg.h>
#include <netlink/netlink.h>
#include <netlink/socket.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <fmt/format.h>

namespace quorvela {

namespace {

// Marks `changed` for link and address changes.
int onMessage(nl_msg* message, void* changed) {
    nlmsghdr* header = nlmsg_hdr(message);
    switch (header->nlmsg_type) {
    case RTM_NEWLINK:
    case RTM_DELLINK:
        // Wireless events ride on link messages; they change no configuration.
        if (header->nlmsg_type == RTM_NEWLINK && nlmsg_find_attr(header, sizeof(ifinfomsg), IFLA_WIRELESS)) break;
        *static_cast<bool*>(changed) = true;
        break;
    case RTM_NEWADDR:
    case RTM_DELADDR: *static_cast<bool*>(changed) = true; break;
    default: break;
    }
    return NL_OK;
}

}  // namespace

NetlinkNetworkMonitor::NetlinkNetworkMonitor(std::shared_ptr<SystemLog> log) : log_(std::move(log)) {
    auto fail = [this](const std::string& why) {
        if (log_) log_->writeAt(LogLevel::Warning, "Quorvela: network changes are not watched (" + why + ")");
        if (socket_) nl_socket_free(socket_);
        socket_ = nullptr;
        if (wakeFd_ >= 0) ::close(wakeFd_);
        wakeFd_ = -1;
    };
    socket_ = nl_socket_alloc();
    if (!socket_) {
        fail("no netlink socket");
        return;
    }
    nl_socket_disable_seq_check(socket_);
    nl_socket_modify_cb(socket_, NL_CB_VALID, NL_CB_CUSTOM, &onMessage, nullptr);
    if (int error = nl_connect(socket_, NETLINK_ROUTE); error < 0) {
        fail(nl_geterror(error));
        return;
    }
    if (int error = nl_socket_add_memberships(socket_, RTNLGRP_LINK, RTNLGRP_IPV4_IFADDR, RTNLGRP_IPV6_IFADDR, 0);
        error < 0) {
        fail(nl_geterror(error));
        return;
    }
    if (int error = nl_socket_set_nonblocking(socket_); error < 0) {
        fail(nl_geterror(error));
        return;
    }
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        fail("no eventfd");
        return;
    }
    watching_ = true;
    thread_ = std::thread([this] { watch(); });
}

NetlinkNetworkMonitor::~NetlinkNetworkMonitor() {
    if (thread_.joinable()) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
        // The last owner may let go from inside an observer call.
        if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
        else thread_.join();
    }
    if (socket_) nl_socket_free(socket_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

NetworkMonitor::ObserverId NetlinkNetworkMonitor::addObserver(const std::optional<std::string>& name,
                                                              Callback callback) {
    return observers_.addObserver(name, std::move(callback));
}

void NetlinkNetworkMonitor::removeObserver(ObserverId observer) { observers_.removeObserver(observer); }

void NetlinkNetworkMonitor::post(const std::string& name) { observers_.post(name); }

// Reads what is waiting on the socket; true when it held a change (or when
// the kernel dropped messages, which may have been changes).
bool NetlinkNetworkMonitor::readBatch() {
    bool changed = false;
    nl_socket_modify_cb(socket_, NL_CB_VALID, NL_CB_CUSTOM, &onMessage, &changed);
    for (int round = 0; round < 64; ++round) {
        int result = nl_recvmsgs_default(socket_);
        if (result == -NLE_AGAIN) break;
        if (result == -NLE_NOMEM) changed = true;  // receive buffer overrun
        if (result < 0 && result != -NLE_NOMEM) break;
    }
    return changed;
}

void NetlinkNetworkMonitor::watch() {
    pollfd fds[2] = {{nl_socket_get_fd(socket_), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    while (true) {
        int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents || (fds[0].revents & POLLNVAL)) break;
        // An overrun shows as an error on the socket; reading clears it.
        if ((fds[0].revents & (POLLIN | POLLERR)) && readBatch()) post(kNetworkChange);
    }
    watching_ = false;
}

}  // namespace quorvela
