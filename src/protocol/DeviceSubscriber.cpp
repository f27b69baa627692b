#include "protocol/DeviceSubscriber.h"

#include "protocol/EventLogger.h"
#include "protocol/RequestTimeStamp.h"
#include "protocol/SharedSession.h"
#include "protocol/SignedUrl.h"

namespace quorvela {

DeviceSubscriber::DeviceSubscriber(std::shared_ptr<Platform> platform, ClientCredentials credentials)
    : platform_(std::move(platform)), credentials_(std::move(credentials)) {}

void DeviceSubscriber::registerDeviceWithUniqueID() {
    const auto& store = *platform_->keyValueStore;
    const std::string rawPath = SignedUrl::joinPath({store.get("deviceUniqueID").optionalText(), credentials_.appName,
                                                     store.get("devicePushID").optionalText(), credentials_.clientID,
                                                     std::to_string(RequestTimeStamp::now(*platform_))});
    auto self = shared_from_this();
    auto completion = [self](const HttpResult& result) { self->completed(result); };
    SignedUrl url = SignedUrl::build("iOSReg", rawPath, credentials_.apiClientPrivateKey);
    if (!url.ok()) {
        SharedSession::fail(platform_, url.error(), std::move(completion));
        return;
    }
    EventLogger::debugMessage(*platform_, "iOSReg: " + url.url());
    SharedSession::dataTask(platform_, url.url(), std::move(completion));
}

void DeviceSubscriber::completed(const HttpResult& result) {
    if (!result.ok) {
        EventLogger::debugMessage(*platform_, "iosReg: completed with error: " + result.error);
        reportError("iOSReg Error: " + result.error);
        return;
    }
    EventLogger::debugMessage(*platform_, "iOSReg: completed successfully");
    if (!parse(result.body) && parseError()) {
        const std::string text = parseError()->text();
        EventLogger::debugMessage(*platform_, text);
        reportError("iOSReg Error: " + text);
    }
}

void DeviceSubscriber::reportError(const std::string& text) {
    if (auto current = delegate()) current->deviceSubscriberError(text);
}

bool DeviceSubscriber::successful() const {
    std::lock_guard lock(mutex_);
    return successful_;
}

std::optional<std::string> DeviceSubscriber::message() const {
    std::lock_guard lock(mutex_);
    return message_;
}

std::shared_ptr<DeviceSubscriberDelegate> DeviceSubscriber::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void DeviceSubscriber::setDelegate(std::shared_ptr<DeviceSubscriberDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

void DeviceSubscriber::didStartElement(const std::string& name, const Attributes& /*attributes*/) {
    if (name != "transactionResult") return;
    std::lock_guard lock(mutex_);
    successful_ = false;
    message_ = std::string();
}

ReplyParser::AfterEnd DeviceSubscriber::elementEnded(const std::string& name) {
    std::lock_guard lock(mutex_);
    if (name == "message") {
        message_ = currentStringValue();
    } else if (name == "successful") {
        successful_ = currentStringValue() == std::optional<std::string>("true");
    }
    return AfterEnd::ClearBuffer;
}

void DeviceSubscriber::didEndDocument() {
    std::unique_lock lock(mutex_);
    auto current = delegate_;
    const bool successful = successful_;
    auto message = message_;
    lock.unlock();
    if (current) current->deviceSubscriberSucceeded(successful, message);
}

}  // namespace quorvela
