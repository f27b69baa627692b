#include "platform/DirectoryBundle.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/ValueConversions.h"

namespace quorvela {

namespace {

bool safeName(const std::string& part) {
    return part.find('/') == std::string::npos && part.find('\\') == std::string::npos &&
           part.find('\0') == std::string::npos && part != ".." && part != ".";
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    auto size = std::filesystem::file_size(path, error);
    if (error || size > DirectoryBundle::kMaxResourceBytes) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

}  // namespace

DirectoryBundle::DirectoryBundle(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::optional<std::string> DirectoryBundle::pathForResource(const std::string& name, const std::string& type) const {
    if (name.empty() || !safeName(name) || !safeName(type)) return std::nullopt;
    auto path = folder_ / (type.empty() ? name : name + "." + type);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    return path.string();
}

std::optional<Value::Dictionary> DirectoryBundle::dictionaryForResource(const std::string& name,
                                                                        const std::string& type) const {
    auto path = pathForResource(name, type);
    if (!path) return std::nullopt;
    auto bytes = readFile(*path);
    if (!bytes) return std::nullopt;
    auto value = valueFromPlistBytes(*bytes);
    if (!value || !value->asDictionary()) return std::nullopt;
    return std::move(*value->asDictionary());
}

std::string DirectoryBundle::localizedString(const std::string& key) const {
    std::call_once(stringsLoaded_, [this] {
        for (const char* place :
             {"Localizable.strings", "Base.lproj/Localizable.strings", "en.lproj/Localizable.strings"}) {
            auto bytes = readFile(folder_ / place);
            if (!bytes) continue;
            if (auto table = parseStringsFile(*bytes)) strings_ = std::move(*table);
            return;
        }
    });
    auto it = strings_.find(key);
    return it == strings_.end() ? key : it->second;
}

}  // namespace quorvela
