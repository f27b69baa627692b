#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvela::sandbox {

/// The console page's static files: the copies compiled into the sandbox, or
/// (while the page is being worked on) the files of a folder, read afresh on
/// every request. Only plain names of that one folder are served.
class ConsoleAssets {
public:
    struct Embedded {
        std::string_view name;
        std::string_view bytes;
    };
    struct Asset {
        std::string content;
        std::string contentType;
    };

    /// `folder`: serve its files instead of the compiled-in ones.
    explicit ConsoleAssets(std::optional<std::filesystem::path> folder = std::nullopt);

    /// The file `name` ("index.html", "app.js", ...), if there is one.
    std::optional<Asset> find(std::string_view name) const;
    static std::string contentType(std::string_view name);

private:
    static const std::vector<Embedded>& embedded();  // generated at build time
    static bool isPlainName(std::string_view name);

    std::optional<std::filesystem::path> folder_;
};

}  // namespace quorvela::sandbox
