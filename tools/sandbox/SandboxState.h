#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/Database.h"
#include "sandbox/SandboxRecords.h"

namespace quorvela::sandbox {

/// Everything the sandbox keeps, in one SQLite file of its data folder. Each
/// concern has its table(s) and a few operations here; new endpoints add
/// their tables to the schema list in the .cpp and their operations below.
class SandboxState {
public:
    explicit SandboxState(const std::filesystem::path& file);

    Database& database() { return db_; }

    /// Adds the application or replaces the one with the same public id.
    void putApplication(const Application& application);
    std::optional<Application> application(const std::string& publicId);
    std::vector<Application> applications();

    void recordRequest(const RequestRecord& record);
    std::vector<RequestRecord> requests();

    void recordEvent(const AnalyticsEvent& event);
    std::vector<AnalyticsEvent> analyticsEvents();

    /// Forgets the request log and the analytics events (not the seeded data).
    void clearRecords();

private:
    Database db_;
};

}  // namespace quorvela::sandbox
