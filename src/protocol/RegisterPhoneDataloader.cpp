#include "protocol/RegisterPhoneDataloader.h"

#include "protocol/EventLogger.h"
#include "protocol/RequestTimeStamp.h"
#include "protocol/SharedSession.h"
#include "protocol/SignedUrl.h"

namespace quorvela {

namespace {

constexpr const char* kPlatformWord = "IOS";

// Fills the one argument of a translated format: the first integer or object
// conversion ("%ld", "%d", "%@", ...) becomes the number; "%%" is a percent sign.
std::string formatWithCode(const std::string& format, long code) {
    std::string out;
    bool used = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        if (format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < format.size() && (format[j] == 'l' || format[j] == 'h' || format[j] == 'q')) ++j;
        const bool conversion = j < format.size() &&
                                (format[j] == 'd' || format[j] == 'i' || format[j] == 'u' || format[j] == '@');
        if (conversion && !used) {
            out += std::to_string(code);
            used = true;
            i = j;
        } else {
            out += format[i];
        }
    }
    return out;
}

}  // namespace

RegisterPhoneDataloader::RegisterPhoneDataloader(std::shared_ptr<Platform> platform, ClientCredentials credentials)
    : platform_(std::move(platform)), credentials_(std::move(credentials)) {}

void RegisterPhoneDataloader::registerUserWithID(const std::optional<std::string>& userID, bool waitForActivation) {
    {
        std::lock_guard lock(mutex_);
        requireValidation_ = waitForActivation;
    }
    const std::string rawPath = SignedUrl::joinPath({deviceUniqueID(), credentials_.appName, std::string(kPlatformWord),
                                                     userID, std::string(waitForActivation ? "true" : "false"),
                                                     credentials_.clientID, timeStampText()});
    send(kRegisterUser, "registerUser", rawPath);
}

void RegisterPhoneDataloader::unRegisterUser() {
    const std::string rawPath = SignedUrl::joinPath(
        {deviceUniqueID(), credentials_.appName, std::string(kPlatformWord), credentials_.clientID, timeStampText()});
    send(kRemoveAppUser, "removeAppUser", rawPath);
}

void RegisterPhoneDataloader::activatePhoneWithCode(const std::optional<std::string>& code) {
    const std::string rawPath = SignedUrl::joinPath({deviceUniqueID(), credentials_.appName, std::string(kPlatformWord),
                                                     code, credentials_.clientID, timeStampText()});
    send(kActivatePhone, "activatePhone", rawPath);
}

void RegisterPhoneDataloader::send(Operation operation, const char* name, const std::string& rawPath) {
    operation_.store(operation);
    auto self = shared_from_this();
    auto completion = [self, name](const HttpResult& result) { self->completed(name, result); };
    SignedUrl url = SignedUrl::build(name, rawPath, credentials_.apiClientPrivateKey);
    if (!url.ok()) {
        SharedSession::fail(platform_, url.error(), std::move(completion));
        return;
    }
    EventLogger::debugMessage(*platform_, std::string(name) + ": " + url.url());
    SharedSession::dataTask(platform_, url.url(), std::move(completion));
}

void RegisterPhoneDataloader::completed(const char* name, const HttpResult& result) {
    if (!result.ok) {
        EventLogger::debugMessage(*platform_, std::string(name) + ": completed with error: " + result.error);
        finish(RegistrationResult::Failed);
        return;
    }
    EventLogger::debugMessage(*platform_, std::string(name) + ": completed successfully");
    // Malformed replies are reported through parseErrorOccurred only.
    parse(result.body);
    RegistrationResult outcome = RegistrationResult::Failed;
    {
        std::lock_guard lock(mutex_);
        if (sawResult_ && !parseFailed_)
            outcome = successful_ ? RegistrationResult::Succeeded : RegistrationResult::Refused;
    }
    finish(outcome);
}

void RegisterPhoneDataloader::setCompletion(RegistrationCompletion completion) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(completion);
}

void RegisterPhoneDataloader::finish(RegistrationResult result) {
    RegistrationCompletion completion;
    {
        std::lock_guard lock(mutex_);
        completion.swap(completion_);
    }
    if (completion) completion(result);
}

std::string RegisterPhoneDataloader::systemErrorText(const Bundle& bundle, long code) {
    return formatWithCode(bundle.localizedString("System Error"), code);
}

bool RegisterPhoneDataloader::successful() const {
    std::lock_guard lock(mutex_);
    return successful_;
}

bool RegisterPhoneDataloader::requireValidation() const {
    std::lock_guard lock(mutex_);
    return requireValidation_;
}

std::optional<std::string> RegisterPhoneDataloader::message() const {
    std::lock_guard lock(mutex_);
    return message_;
}

std::optional<std::string> RegisterPhoneDataloader::currentProperty() const {
    std::lock_guard lock(mutex_);
    return currentProperty_;
}

std::shared_ptr<RegisterPhoneDelegate> RegisterPhoneDataloader::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void RegisterPhoneDataloader::setDelegate(std::shared_ptr<RegisterPhoneDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

void RegisterPhoneDataloader::didStartElement(const std::string& name, const Attributes& /*attributes*/) {
    std::lock_guard lock(mutex_);
    currentProperty_ = name;
}

ReplyParser::AfterEnd RegisterPhoneDataloader::elementEnded(const std::string& name) {
    if (name == "transactionResult") {
        std::unique_lock lock(mutex_);
        sawResult_ = true;
        auto delegate = delegate_;
        const bool successful = successful_;
        const bool requireValidation = requireValidation_;
        auto message = message_;
        lock.unlock();
        if (delegate) {
            switch (operation_.load()) {
            case kRegisterUser: delegate->RegistrationStatus(successful, requireValidation, message); break;
            case kRemoveAppUser: delegate->UnRegisterUserSucceeded(successful); break;
            case kActivatePhone: delegate->ActivatePhoneSucceeded(successful, message); break;
            default: break;
            }
        }
        return AfterEnd::KeepBuffer;
    }
    // The element that started last decides, not the one ending.
    std::lock_guard lock(mutex_);
    if (currentProperty_ == "message") {
        message_ = currentStringValue();
    } else if (currentProperty_ == "successful") {
        successful_ = currentStringValue() == std::optional<std::string>("true");
    }
    return AfterEnd::ClearBuffer;
}

void RegisterPhoneDataloader::parseErrorOccurred(const RequestError& error) {
    {
        std::lock_guard lock(mutex_);
        parseFailed_ = true;
    }
    const std::string text = platform_->bundle ? systemErrorText(*platform_->bundle, error.code)
                                               : formatWithCode("System Error", error.code);
    auto current = delegate();
    if (!current) return;
    switch (operation_.load()) {
    case kRemoveAppUser: current->UnRegisterUserError(text); break;
    case kRegisterUser: current->RegistrationThrowsError(text); break;
    case kActivatePhone: current->ActivatePhoneReturnedError(text); break;
    default: break;
    }
}

std::optional<std::string> RegisterPhoneDataloader::deviceUniqueID() const {
    return platform_->keyValueStore->get("deviceUniqueID").optionalText();
}

std::string RegisterPhoneDataloader::timeStampText() const { return std::to_string(RequestTimeStamp::now(*platform_)); }

}  // namespace quorvela
