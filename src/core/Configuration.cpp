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

Configuration::Outcome Configuration::apply(const std::function<void(const ClientCredentials&)>& setCredentials) const {
    auto file = platform_.bundle->dictionaryForResource(kFileName, kFileType);
    if (!file) return Outcome::FileMissing;

    ClientCredentials credentials;
    credentials.appName = textEntry(*file, "appName");
    credentials.clientID = textEntry(*file, "publicKey");
    credentials.apiClientPrivateKey = textEntry(*file, "privateKey");

    Settings settings(*platform_.keyValueStore);
    if (isMissing(credentials.appName) || isMissing(credentials.clientID) ||
        isMissing(credentials.apiClientPrivateKey)) {
        platform_.keyValueStore->remove(Settings::kConfigureQuorvela);
        platform_.systemLog->write(kMissingKeysLine);
        return Outcome::KeysMissing;
    }

    if (setCredentials) setCredentials(credentials);
    settings.copyEnvironment(*file);
    platform_.keyValueStore->set(Settings::kConfigureQuorvela, Value("YES"));
    platform_.systemLog->write(kSuccessLine);
    return Outcome::Configured;
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
