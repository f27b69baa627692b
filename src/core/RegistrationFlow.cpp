#include "core/RegistrationFlow.h"

#include <algorithm>
#include <mutex>

#include "core/ConfigurationGuard.h"
#include "core/QuorvelaCore.h"
#include "core/Settings.h"
#include "model/DeviceUID.h"
#include "model/WorkspaceList.h"
#include "protocol/DeviceSubscriber.h"
#include "protocol/RegisterPhoneDataloader.h"
#include "protocol/RequestSigner.h"

namespace quorvela {

namespace {

constexpr const char* kWorkspaceAvailable = "Workspace-Available";
constexpr const char* kWorkspaceSubscribed = "Workspace-Subscribed";

// Serialises the writes of "clientUserID" by a new registration against the
// removal by an unregistration reply, so the reply's compare-and-remove sees
// either the old user (and removes it) or the new one (and keeps it).
std::mutex& userMutex() {
    static std::mutex mutex;
    return mutex;
}

bool isEmptyText(const Value& value) {
    const std::string* text = value.asText();
    return text != nullptr && text->empty();
}

}  // namespace

namespace {

void report(const RegistrationCompletion& completion, RegistrationResult result) {
    if (completion) completion(result);
}

}  // namespace

void RegistrationFlow::registerWithUserID(const std::optional<std::string>& userID, RegistrationCompletion completion) {
    Platform& platform = *facade_.platform();
    if (!ConfigurationGuard(platform).requireConfigured("registerWithUserID"))
        return report(completion, RegistrationResult::Refused);
    KeyValueStore& store = *platform.keyValueStore;
    const bool emptyID = !userID || userID->empty();
    if (emptyID) {
        facade_.debugMessage(ConfigurationGuard::noUserLine("registerWithUserID"));
        return report(completion, RegistrationResult::Refused);
    }

    Value storedUser;
    bool replacing = false;
    {
        std::lock_guard lock(userMutex());
        storedUser = store.get(Settings::kClientUserID);
        const bool validated = store.contains(Settings::kValidated);
        const bool same = !storedUser.isNull() && storedUser == Value(*userID);
        if (same && validated) return report(completion, RegistrationResult::Unchanged);
        replacing = !storedUser.isNull() && validated && !isEmptyText(storedUser);
        store.set(Settings::kClientUserID, Value(*userID));
        store.synchronize();
    }

    // The registration below does not wait for the unregistration's reply.
    if (replacing) sendUnregistration(storedUser, {});
    auto loader = std::make_shared<RegisterPhoneDataloader>(facade_.platform(), facade_.credentials());
    loader->setDelegate(asDelegate());
    loader->setCompletion(std::move(completion));
    loader->registerUserWithID(userID, false);
}

void RegistrationFlow::unRegisterUser(RegistrationCompletion completion) {
    Platform& platform = *facade_.platform();
    if (!ConfigurationGuard(platform).requireConfigured("unRegisterUser"))
        return report(completion, RegistrationResult::Refused);
    Value storedUser;
    {
        std::lock_guard lock(userMutex());
        storedUser = platform.keyValueStore->get(Settings::kClientUserID);
    }
    sendUnregistration(storedUser, std::move(completion));
}

std::shared_ptr<RegistrationFlow> RegistrationFlow::asDelegate() {
    return std::shared_ptr<RegistrationFlow>(facade_.shared_from_this(), this);
}

void RegistrationFlow::sendUnregistration(const Value& storedUser, RegistrationCompletion completion) {
    std::uint64_t id = 0;
    {
        std::lock_guard lock(unregisteringMutex_);
        id = ++lastUnregistration_;
        unregistering_.emplace_back(id, storedUser);
    }
    auto loader = std::make_shared<RegisterPhoneDataloader>(facade_.platform(), facade_.credentials());
    loader->setDelegate(asDelegate());
    // The loader ends every request exactly once, after its delegate call, so
    // the entry is there for the reply and gone afterwards.
    loader->setCompletion([flow = asDelegate(), id, completion = std::move(completion)](RegistrationResult result) {
        flow->endUnregistration(id);
        if (completion) completion(result);
    });
    loader->unRegisterUser();
}

void RegistrationFlow::RegistrationStatus(bool successful, bool requireValidation, const std::optional<std::string>&) {
    if (!successful) return;
    if (requireValidation) {
        facade_.showValidationCodeEntryAlert();
        return;
    }
    markValidated();
}

void RegistrationFlow::ActivatePhoneSucceeded(bool successful, const std::optional<std::string>&) {
    if (!successful) {
        facade_.showPhoneNumberEntryAlert();
        return;
    }
    facade_.debugMessage("ActivatePhoneSucceeded");
    markValidated();
}

void RegistrationFlow::markValidated() {
    KeyValueStore& store = *facade_.platform()->keyValueStore;
    store.set(Settings::kIsFirstTime, Value(false));
    store.set(Settings::kValidated, Value("YES"));
    store.synchronize();
    facade_.initQuorvela();
}

void RegistrationFlow::UnRegisterUserSucceeded(bool successful) {
    if (!successful) return;
    KeyValueStore& store = *facade_.platform()->keyValueStore;
    facade_.debugMessage("UnRegisterUserSucceeded");
    store.set(Settings::kDeviceUniqueID, Value(std::string()));
    {
        std::lock_guard lock(userMutex());
        if (mayRemoveUser(store.get(Settings::kClientUserID))) store.remove(Settings::kClientUserID);
    }
    store.remove(kWorkspaceAvailable);
    store.remove(kWorkspaceSubscribed);
    store.synchronize();
    facade_.setWorkspaces(WorkspaceList::create());
    facade_.setWorkspacesSubscribed(WorkspaceList::create());
    facade_.initQuorvela();
    deviceSubscriberWithUniqueID();
}

void RegistrationFlow::RegistrationThrowsError(const std::string& error) { facade_.debugMessage(error); }

void RegistrationFlow::UnRegisterUserError(const std::string& error) { facade_.debugMessage(error); }

bool RegistrationFlow::mayRemoveUser(const Value& storedUser) {
    std::lock_guard lock(unregisteringMutex_);
    return unregistering_.empty() || std::any_of(unregistering_.begin(), unregistering_.end(),
                                                 [&](const auto& entry) { return entry.second == storedUser; });
}

void RegistrationFlow::endUnregistration(std::uint64_t id) {
    std::lock_guard lock(unregisteringMutex_);
    std::erase_if(unregistering_, [id](const auto& entry) { return entry.first == id; });
}

void RegistrationFlow::ActivatePhoneReturnedError(const std::string&) {}

void RegistrationFlow::registerDeviceToken(const std::optional<std::vector<std::uint8_t>>& token) {
    Platform& platform = *facade_.platform();
    if (!ConfigurationGuard(platform).requireConfigured("RegisterDeviceToken")) return;
    if (!token) {
        facade_.debugMessage("RegisterDeviceToken: Token can't be null");
        return;
    }
    KeyValueStore& store = *platform.keyValueStore;
    const std::string text = tokenText(*token);
    if (store.get(Settings::kDevicePushID) == Value(text)) return;

    store.set(Settings::kDevicePushID, Value(text));
    const Value device = store.get(Settings::kDeviceUniqueID);
    if (device.isNull() || isEmptyText(device)) {
        const std::string uid = DeviceUID::uid(platform);
        facade_.debugMessage("deviceUniqueID: " + uid);
        store.set(Settings::kDeviceUniqueID, Value(uid));
    }
    store.synchronize();
    deviceSubscriberWithUniqueID();
}

std::string RegistrationFlow::tokenText(const std::vector<std::uint8_t>& token) {
    return RequestSigner::hexString(token);
}

void RegistrationFlow::deviceSubscriberWithUniqueID() {
    if (!ConfigurationGuard(*facade_.platform()).requireConfigured("deviceSubscriberWithUniqueID")) return;
    auto subscriber = std::make_shared<DeviceSubscriber>(facade_.platform(), facade_.credentials());
    subscriber->setDelegate(asDelegate());
    subscriber->registerDeviceWithUniqueID();
}

void RegistrationFlow::deviceSubscriberSucceeded(bool, const std::optional<std::string>&) {
    facade_.debugMessage("Device: Subscriber Succeeded");
}

void RegistrationFlow::deviceSubscriberError(const std::string&) { facade_.debugMessage("Device: Subscriber Error"); }

void RegistrationFlow::activatePhoneWithCode(const std::optional<std::string>& code) {
    auto loader = std::make_shared<RegisterPhoneDataloader>(facade_.platform(), facade_.credentials());
    loader->setDelegate(asDelegate());
    loader->activatePhoneWithCode(code);
}

void RegistrationFlow::registerDialog() {
    Settings settings(*facade_.platform()->keyValueStore);
    if (settings.isPresent(Settings::kClientUserID) && settings.isPresent(Settings::kValidated)) return;
    facade_.showPhoneNumberEntryAlert();
}

}  // namespace quorvela
