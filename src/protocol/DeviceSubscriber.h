#pragma once
// iOSReg: tells the service the device's push token. The reply's
// "transactionResult" resets the outcome; the end of a well-formed document
// reports it (also when the reply held no "transactionResult").
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "protocol/ClientCredentials.h"
#include "protocol/DeviceSubscriberDelegate.h"
#include "protocol/ReplyParser.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

struct HttpResult;

/// Always held by std::shared_ptr: the request in flight keeps it alive.
class DeviceSubscriber : public ReplyParser, public std::enable_shared_from_this<DeviceSubscriber> {
public:
    /// `credentials` are the facade's when the call starts.
    DeviceSubscriber(std::shared_ptr<Platform> platform, ClientCredentials credentials);

    /// Sends the stored "deviceUniqueID" and "devicePushID"; returns at once.
    void registerDeviceWithUniqueID();

    bool successful() const;
    std::optional<std::string> message() const;
    std::shared_ptr<DeviceSubscriberDelegate> delegate() const;
    void setDelegate(std::shared_ptr<DeviceSubscriberDelegate> delegate);

    // Reply parsing.
    void didStartElement(const std::string& name, const Attributes& attributes) override;
    void didEndDocument() override;

protected:
    AfterEnd elementEnded(const std::string& name) override;

private:
    void completed(const HttpResult& result);
    void reportError(const std::string& text);

    const std::shared_ptr<Platform> platform_;
    const ClientCredentials credentials_;
    mutable std::mutex mutex_;
    bool successful_ = false;
    std::optional<std::string> message_;
    std::shared_ptr<DeviceSubscriberDelegate> delegate_;
};

}  // namespace quorvela
