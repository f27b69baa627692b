#include "core/Configuration.h"

#include "core/Settings.h"

namespace quorvela {

namespace {

// Text as is; a number as its "%@" text (hosts sometimes write numeric ids
// as numbers); anything else counts as missing.
std::optional<std::string> textEntry(const Value::Dictionary& file, const char* key) {
    auto it = file.find(key);
    if (it == file.end()) return std::nullopt;
    if (it->second.isNumber()) return it->second.describe();
    return it->second.optionalText();
}

bool isMissing(const std::optional<std::string>& text) { return !text || text->empty(); }

}  // namespace

StartReport Configuration::apply(const std::function<void(const ClientCredentials&)>& setCredentials) const {
    StartReport report;
    auto file = platform_.bundle->dictionaryForResource(kFileName, kFileType);
    if (!file) return report;

    ClientCredentials credentials;
    credentials.appName = textEntry(*file, "appName");
    credentials.clientID = textEntry(*file, "publicKey");
    credentials.apiClientPrivateKey = textEntry(*file, "privateKey");

    Settings settings(*platform_.keyValueStore);
    if (isMissing(credentials.appName)) report.missingKeys.emplace_back("appName");
    if (isMissing(credentials.clientID)) report.missingKeys.emplace_back("publicKey");
    if (isMissing(credentials.apiClientPrivateKey)) report.missingKeys.emplace_back("privateKey");
    if (!report.missingKeys.empty()) {
        platform_.keyValueStore->remove(Settings::kConfigureQuorvela);
        platform_.systemLog->writeAt(LogLevel::Error, kMissingKeysLine);
        report.status = StartReport::Status::KeysMissing;
        return report;
    }

    if (setCredentials) setCredentials(credentials);
    settings.copyEnvironment(*file);
    platform_.keyValueStore->set(Settings::kConfigureQuorvela, Value("YES"));
    platform_.systemLog->writeAt(LogLevel::Info, kSuccessLine);
    report.status = StartReport::Status::Configured;
    return report;
}

std::optional<ClientCredentials> Configuration::readCredentials(const std::string& fileName) const {
    auto file = platform_.bundle->dictionaryForResource(fileName, kFileType);
    if (!file) return std::nullopt;
    ClientCredentials credentials;
    credentials.appName = textEntry(*file, "appName");
    credentials.clientID = textEntry(*file, "clientID");
    credentials.apiClientPrivateKey = textEntry(*file, "apiClientPrivateKey");
    return credentials;
}

bool Configuration::loadEnvironment(const std::string& fileName) const {
    auto file = platform_.bundle->dictionaryForResource(fileName, kFileType);
    if (!file) return false;
    Settings(*platform_.keyValueStore).copyEnvironment(*file);
    platform_.keyValueStore->synchronize();
    return true;
}

}  // namespace quorvela
