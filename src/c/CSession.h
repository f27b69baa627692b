#pragma once
// What one C handle holds: its facade, the bridge to the host's callbacks
// and the ports the host feeds. Each operation checks what it was given and
// throws CallError or InvalidArgument instead of returning a failure; the C
// entry points turn them into codes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "c/CallbackBridge.h"
#include "c/SessionInputs.h"
#include "quorvela/Quorvela.h"
#include "quorvela/quorvela_c.h"

namespace quorvela::c {

class CSession {
public:
    /// Wraps the platform's location manager and Wi-Fi information so the
    /// host hears of them, makes the facade and starts it. Throws CallError
    /// (QUORVELA_ERR_CONFIGURATION) when the bundle's property list is
    /// missing or incomplete.
    static std::shared_ptr<CSession> open(std::shared_ptr<Platform> platform, SessionInputs inputs,
                                          std::shared_ptr<CallbackBridge> bridge);
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    void registerUser(const std::string& userId, quorvela_registration_callback_t done, void* userData);
    void unregisterUser(quorvela_registration_callback_t done, void* userData);
    void setPushToken(std::vector<std::uint8_t> token);
    void processPush(const std::string& payloadJson, quorvela_fetch_callback_t done, void* userData);
    void logEvent(const std::string& eventType, const std::optional<std::string>& extraInfo,
                  const std::optional<std::string>& campaign);

    void fetchAvailableWorkspaces(quorvela_fetch_callback_t done, void* userData);
    std::string availableWorkspaces() const;
    std::string subscribedWorkspaces() const;
    void joinWorkspace(const std::string& clientId, quorvela_fetch_callback_t done, void* userData);
    void leaveWorkspace(const std::string& clientId, quorvela_fetch_callback_t done, void* userData);
    std::string inbox(const std::optional<std::string>& clientId) const;
    /// Hands the inbox a copy of the message with `status` ("DELETED" drops it).
    void changeMessageStatus(const std::optional<std::string>& clientId, const std::string& messageId,
                             const std::string& status);

    void setPosition(double latitude, double longitude, double accuracy);
    void reportRegion(const std::string& regionId, bool entered);
    void setWifi(const std::optional<std::string>& ssid, const std::optional<std::string>& bssid);
    void notifyNetworkChange();
    bool flush(std::chrono::milliseconds timeout);
    /// Closes the facade (waiting up to `timeout`), then the bridge: no
    /// callback runs after this returns. True when all work finished.
    bool close(std::chrono::milliseconds timeout);

private:
    CSession(std::shared_ptr<Quorvela> facade, SessionInputs inputs, std::shared_ptr<CallbackBridge> bridge)
        : facade_(std::move(facade)), inputs_(std::move(inputs)), bridge_(std::move(bridge)) {}
    /// A completion for the facade and its number in the bridge (0: none).
    template <typename Handler>
    struct Handed {
        Handler handler;
        std::uint64_t id = 0;
    };
    Handed<Quorvela::Completion> fetchCompletion(quorvela_fetch_callback_t done, void* userData);
    Handed<RegistrationCompletion> registrationCompletion(quorvela_registration_callback_t done, void* userData);
    /// Runs the facade call that takes a completion; if it throws, the
    /// completion is withdrawn, so a failed call never also reports through it.
    template <typename Handler, typename Call>
    void handOver(const Handed<Handler>& completion, Call&& call) {
        try {
            call(completion.handler);
        } catch (...) {
            if (completion.id != 0) bridge_->withdraw(completion.id);
            throw;
        }
    }
    std::shared_ptr<Workspace> subscribed(const std::optional<std::string>& clientId) const;

    const std::shared_ptr<Quorvela> facade_;
    const SessionInputs inputs_;
    const std::shared_ptr<CallbackBridge> bridge_;
};

}  // namespace quorvela::c
