#include "core/Settings.h"

namespace quorvela {

namespace {

Value entry(const Value::Dictionary& file, const char* key) {
    auto it = file.find(key);
    return it == file.end() ? Value() : it->second;
}

}  // namespace

void Settings::copyEnvironment(const Value::Dictionary& file) {
    for (const char* key : {kLoggingDisabled, kLocationDisabled, kAnalyticsDisabled}) {
        store_.set(key, Value(entry(file, key).boolValue()));
    }
    store_.set(kMaxStoredMessages, Value(static_cast<long long>(entry(file, kMaxStoredMessages).integerValue())));
}

bool Settings::hasUser() const {
    Value user = store_.get(kClientUserID);
    if (user.isNull()) return false;
    const std::string* text = user.asText();
    return !text || !text->empty();
}

}  // namespace quorvela
