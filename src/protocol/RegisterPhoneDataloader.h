#pragma once
// registerUser, removeAppUser and activatePhone: three signed calls that share
// one reply grammar, a "transactionResult" holding "successful" and "message".
//
// The reply is read the way the service's clients always have: the decision
// at an element's end looks at the element that STARTED last
// (`currentProperty`), not at the one ending, so a wrapper ending after
// "message" assigns the (then cleared) buffer again; white space between
// elements is text; every "transactionResult" end makes a callback.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "protocol/ClientCredentials.h"
#include "protocol/RegisterPhoneDelegate.h"
#include "protocol/ReplyParser.h"
#include "quorvela/HostResults.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

struct HttpResult;

/// Always held by std::shared_ptr: the request in flight keeps it alive.
class RegisterPhoneDataloader : public ReplyParser, public std::enable_shared_from_this<RegisterPhoneDataloader> {
public:
    enum Operation : std::int32_t { kNone = 0, kActivatePhone = 1, kRegisterUser = 2, kRemoveAppUser = 3 };

    /// `credentials` are the facade's when the call starts.
    RegisterPhoneDataloader(std::shared_ptr<Platform> platform, ClientCredentials credentials);

    /// Each starts one request and returns at once; the outcome goes to the
    /// delegate (a transport failure is only logged), then to the completion
    /// set with `setCompletion`.
    void registerUserWithID(const std::optional<std::string>& userID, bool waitForActivation);
    void unRegisterUser();
    void activatePhoneWithCode(const std::optional<std::string>& code);

    /// The localized "System Error" text with `code` as its one argument.
    static std::string systemErrorText(const Bundle& bundle, long code);

    std::int32_t operation() const { return operation_.load(); }
    bool successful() const;
    bool requireValidation() const;
    std::optional<std::string> message() const;
    std::optional<std::string> currentProperty() const;
    std::shared_ptr<RegisterPhoneDelegate> delegate() const;
    void setDelegate(std::shared_ptr<RegisterPhoneDelegate> delegate);
    /// Called once when the request has ended, after the delegate: Succeeded
    /// or Refused after the reply's last "transactionResult", Failed after a
    /// transport failure, a malformed reply or one without a result.
    void setCompletion(RegistrationCompletion completion);

    // Reply parsing.
    void didStartElement(const std::string& name, const Attributes& attributes) override;
    void parseErrorOccurred(const RequestError& error) override;

protected:
    AfterEnd elementEnded(const std::string& name) override;

private:
    void send(Operation operation, const char* name, const std::string& rawPath);
    void completed(const char* name, const HttpResult& result);
    void finish(RegistrationResult result);
    std::optional<std::string> deviceUniqueID() const;
    std::string timeStampText() const;

    const std::shared_ptr<Platform> platform_;
    const ClientCredentials credentials_;
    std::atomic<std::int32_t> operation_{kNone};
    mutable std::mutex mutex_;
    bool successful_ = false;
    bool requireValidation_ = false;
    std::optional<std::string> message_;
    std::optional<std::string> currentProperty_;
    std::shared_ptr<RegisterPhoneDelegate> delegate_;
    RegistrationCompletion completion_;
    bool sawResult_ = false;    // a "transactionResult" ended
    bool parseFailed_ = false;  // the reply was not well-formed
};

}  // namespace quorvela
