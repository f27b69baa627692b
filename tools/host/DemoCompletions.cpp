#include "DemoCompletions.h"

namespace quorvela::host {

std::function<void(unsigned long)> DemoCompletions::handler(const std::string& name) {
    return [record = record_, name](unsigned long result) {
        std::lock_guard lock(record->mutex);
        record->results[name].push_back(result);
    };
}

std::vector<unsigned long> DemoCompletions::results(const std::string& name) const {
    std::lock_guard lock(record_->mutex);
    auto found = record_->results.find(name);
    return found == record_->results.end() ? std::vector<unsigned long>{} : found->second;
}

std::string DemoCompletions::describe(const std::vector<unsigned long>& results) {
    if (results.empty()) return "no completion yet";
    std::string out = "done";
    for (auto result : results) out.append(" ").append(std::to_string(result));
    return out;
}

}  // namespace quorvela::host
