#pragma once
// Completion handlers the demonstration hands to the library, each under a
// name, and what they were called with. A handler may be called on any of
// the library's threads, also after the demonstration has ended (it keeps
// what it records alive itself).

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorvela::host {

class DemoCompletions {
public:
    /// A handler that records its result under `name`.
    std::function<void(unsigned long)> handler(const std::string& name);
    /// The results recorded under `name`, in the order they came.
    std::vector<unsigned long> results(const std::string& name) const;
    /// "done 0" ("done 0 0" for two calls), or "no completion yet".
    static std::string describe(const std::vector<unsigned long>& results);

private:
    struct Record {
        std::mutex mutex;
        std::map<std::string, std::vector<unsigned long>> results;
    };
    std::shared_ptr<Record> record_ = std::make_shared<Record>();
};

}  // namespace quorvela::host
