#include "ConsoleAssets.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace quorvela::sandbox {

namespace {

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

ConsoleAssets::ConsoleAssets(std::optional<std::filesystem::path> folder) : folder_(std::move(folder)) {}

bool ConsoleAssets::isPlainName(std::string_view name) {
    if (name.empty() || name.size() > 128 || name.front() == '.') return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
               c == '_';
    });
}

std::string ConsoleAssets::contentType(std::string_view name) {
    if (endsWith(name, ".html")) return "text/html; charset=utf-8";
    if (endsWith(name, ".css")) return "text/css; charset=utf-8";
    if (endsWith(name, ".js")) return "text/javascript; charset=utf-8";
    if (endsWith(name, ".svg")) return "image/svg+xml";
    if (endsWith(name, ".png")) return "image/png";
    return "application/octet-stream";
}

std::optional<ConsoleAssets::Asset> ConsoleAssets::find(std::string_view name) const {
    if (!isPlainName(name)) return std::nullopt;
    if (folder_) {
        std::ifstream file(*folder_ / std::string(name), std::ios::binary);
        if (!file) return std::nullopt;
        std::ostringstream content;
        content << file.rdbuf();
        return Asset{content.str(), contentType(name)};
    }
    for (const Embedded& file : embedded()) {
        if (file.name == name) return Asset{std::string(file.bytes), contentType(name)};
    }
    return std::nullopt;
}

}  // namespace quorvela::sandbox
