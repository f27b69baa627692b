#pragma once
// The host's resources as a plain folder. Property lists are read with
// libplist (XML or binary); translations come from "Localizable.strings" in
// the folder itself or, failing that, in "Base.lproj" or "en.lproj".

#include <filesystem>
#include <mutex>
#include <optional>

#include "platform/StringsFile.h"
#include "quorvela/platform/Bundle.h"

namespace quorvela {

class DirectoryBundle : public Bundle {
public:
    explicit DirectoryBundle(std::filesystem::path folder);

    /// Names with a path separator, "..", or a NUL character find nothing:
    /// a resource name never leads out of the folder.
    std::optional<std::string> pathForResource(const std::string& name, const std::string& type) const override;
    std::optional<Value::Dictionary> dictionaryForResource(const std::string& name,
                                                           const std::string& type) const override;
    /// The table is read once, on first use; a malformed table counts as none.
    std::string localizedString(const std::string& key) const override;

    const std::filesystem::path& folder() const { return folder_; }

    /// Largest resource file read (bigger ones count as unreadable).
    static constexpr std::uintmax_t kMaxResourceBytes = 64u * 1024u * 1024u;

private:
    std::filesystem::path folder_;
    mutable std::once_flag stringsLoaded_;
    mutable StringsTable strings_;
};

}  // namespace quorvela
