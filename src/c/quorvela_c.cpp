// The C entry points: each checks its arguments, leases the handle and hands
// the work to its CSession.
#include "quorvela/quorvela_c.h"

#include <chrono>
#include <cstdlib>

#include "c/ArgumentCheck.h"
#include "c/CSession.h"
#include "c/CallAnswer.h"
#include "c/HandleOpener.h"
#include "c/HandleRegistry.h"
#include "c/PlatformSetup.h"

using quorvela::c::answer;
using quorvela::c::ArgumentCheck;
using quorvela::c::CallError;
using quorvela::c::HandleRegistry;

namespace {

std::chrono::milliseconds timeoutOf(std::int64_t timeoutMs) {
    if (timeoutMs < 0) throw quorvela::c::InvalidArgument("timeout_ms is negative");
    return std::chrono::milliseconds(timeoutMs);
}

void refuseInCallback(const char* call) {
    if (quorvela::c::CallbackBridge::insideCallback())
        throw CallError(QUORVELA_ERR_IN_CALLBACK, std::string(call) + " may not be called from a callback");
}

// Runs `body` with the session behind `handle`.
template <typename Body>
quorvela_status_t withSession(quorvela_handle_t* handle, char** error, Body&& body) noexcept {
    return answer(error, [&] {
        auto session = HandleRegistry::instance().acquire(handle);
        body(*session);
    });
}

void storeText(char** out, const std::string& text) {
    *out = quorvela::c::OwnedText::copy(text);
    if (!*out) throw std::bad_alloc();
}

}  // namespace

extern "C" {

quorvela_handle_t* quorvela_init(const quorvela_options_t* options, const quorvela_callbacks_t* callbacks,
                                 char** error) {
    quorvela_handle_t* handle = nullptr;
    answer(error, [&] {
        ArgumentCheck::present(options, "options");
        handle = quorvela::c::HandleOpener::open(
            callbacks, [options](const auto& bridge) { return quorvela::c::PlatformSetup::make(*options, bridge); });
    });
    return handle;
}

quorvela_status_t quorvela_close(quorvela_handle_t* handle, int64_t timeout_ms, char** error) {
    return answer(error, [&] {
        const auto timeout = timeoutOf(timeout_ms);
        refuseInCallback("quorvela_close");
        auto& registry = HandleRegistry::instance();
        auto session = registry.withdraw(handle);
        bool finished = false;
        try {
            finished = session->close(timeout);
        } catch (...) {
            registry.released();
            throw;
        }
        session.reset();
        registry.released();
        if (!finished) throw CallError(QUORVELA_ERR_TIMEOUT, "work was still running when the time ran out");
    });
}

void quorvela_free(char* text) { std::free(text); }

const char* quorvela_status_name(quorvela_status_t status) {
    switch (ArgumentCheck::enumValue(status)) {
    case QUORVELA_OK: return "ok";
    case QUORVELA_ERR_INVALID_ARGUMENT: return "invalid argument";
    case QUORVELA_ERR_CLOSED: return "closed handle";
    case QUORVELA_ERR_BUSY: return "busy";
    case QUORVELA_ERR_CONFIGURATION: return "configuration";
    case QUORVELA_ERR_NOT_FOUND: return "not found";
    case QUORVELA_ERR_UNSUPPORTED: return "unsupported";
    case QUORVELA_ERR_IN_CALLBACK: return "in callback";
    case QUORVELA_ERR_TIMEOUT: return "timeout";
    case QUORVELA_ERR_INTERNAL: return "internal";
    }
    return "unknown status";
}

const char* quorvela_version(void) {
    static const std::string version = quorvela::Quorvela::getSDKVersionString();
    return version.c_str();
}

quorvela_status_t quorvela_register_user(quorvela_handle_t* handle, const char* user_id,
                                         quorvela_registration_callback_t done, void* user_data, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        session.registerUser(ArgumentCheck::required(user_id, "user_id"), done, user_data);
    });
}

quorvela_status_t quorvela_unregister_user(quorvela_handle_t* handle, quorvela_registration_callback_t done,
                                           void* user_data, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) { session.unregisterUser(done, user_data); });
}

quorvela_status_t quorvela_set_push_token(quorvela_handle_t* handle, const uint8_t* token, size_t size, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        ArgumentCheck::present(token, "token");
        session.setPushToken(std::vector<std::uint8_t>(token, token + size));
    });
}

quorvela_status_t quorvela_process_push(quorvela_handle_t* handle, const char* payload_json,
                                        quorvela_fetch_callback_t done, void* user_data, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        session.processPush(ArgumentCheck::required(payload_json, "payload_json"), done, user_data);
    });
}

quorvela_status_t quorvela_log_event(quorvela_handle_t* handle, const char* event_type, const char* extra_info,
                                     const char* campaign, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        session.logEvent(ArgumentCheck::required(event_type, "event_type"),
                         ArgumentCheck::optional(extra_info, "extra_info"),
                         ArgumentCheck::optional(campaign, "campaign"));
    });
}

quorvela_status_t quorvela_fetch_available_workspaces(quorvela_handle_t* handle, quorvela_fetch_callback_t done,
                                                      void* user_data, char** error) {
    return withSession(handle, error,
                       [&](quorvela::c::CSession& session) { session.fetchAvailableWorkspaces(done, user_data); });
}

quorvela_status_t quorvela_available_workspaces(quorvela_handle_t* handle, char** json, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        ArgumentCheck::present(json, "json");
        storeText(json, session.availableWorkspaces());
    });
}

quorvela_status_t quorvela_subscribed_workspaces(quorvela_handle_t* handle, char** json, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        ArgumentCheck::present(json, "json");
        storeText(json, session.subscribedWorkspaces());
    });
}

quorvela_status_t quorvela_join_workspace(quorvela_handle_t* handle, const char* client_id,
                                          quorvela_fetch_callback_t done, void* user_data, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        session.joinWorkspace(ArgumentCheck::required(client_id, "client_id"), done, user_data);
    });
}

quorvela_status_t quorvela_leave_workspace(quorvela_handle_t* handle, const char* client_id,
                                           quorvela_fetch_callback_t done, void* user_data, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        session.leaveWorkspace(ArgumentCheck::required(client_id, "client_id"), done, user_data);
    });
}

quorvela_status_t quorvela_inbox(quorvela_handle_t* handle, const char* client_id, char** json, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        ArgumentCheck::present(json, "json");
        storeText(json, session.inbox(ArgumentCheck::optional(client_id, "client_id")));
    });
}

quorvela_status_t quorvela_delete_message(quorvela_handle_t* handle, const char* client_id, const char* message_id,
                                          char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        session.changeMessageStatus(ArgumentCheck::optional(client_id, "client_id"),
                                    ArgumentCheck::required(message_id, "message_id"), "DELETED");
    });
}

quorvela_status_t quorvela_mark_message(quorvela_handle_t* handle, const char* client_id, const char* message_id,
                                        const char* status, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        session.changeMessageStatus(ArgumentCheck::optional(client_id, "client_id"),
                                    ArgumentCheck::required(message_id, "message_id"),
                                    ArgumentCheck::required(status, "status"));
    });
}

quorvela_status_t quorvela_set_position(quorvela_handle_t* handle, double latitude, double longitude, double accuracy_m,
                                        char** error) {
    return withSession(handle, error,
                       [&](quorvela::c::CSession& session) { session.setPosition(latitude, longitude, accuracy_m); });
}

quorvela_status_t quorvela_report_region(quorvela_handle_t* handle, const char* region_id, int entered, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        session.reportRegion(ArgumentCheck::required(region_id, "region_id"), entered != 0);
    });
}

quorvela_status_t quorvela_set_wifi(quorvela_handle_t* handle, const char* ssid, const char* bssid, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        session.setWifi(ArgumentCheck::optional(ssid, "ssid"), ArgumentCheck::optional(bssid, "bssid"));
    });
}

quorvela_status_t quorvela_notify_network_change(quorvela_handle_t* handle, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) { session.notifyNetworkChange(); });
}

quorvela_status_t quorvela_flush(quorvela_handle_t* handle, int64_t timeout_ms, char** error) {
    return withSession(handle, error, [&](quorvela::c::CSession& session) {
        const auto timeout = timeoutOf(timeout_ms);
        refuseInCallback("quorvela_flush");
        if (!session.flush(timeout)) throw CallError(QUORVELA_ERR_TIMEOUT, "work was still running");
    });
}

}  // extern "C"
