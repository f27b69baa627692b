#pragma once
#include <atomic>
#include <string>

namespace httplib {
class Server;
}

namespace quorvela::sandbox {

class ChangeSignal;
class ConsoleAssets;

/// The console's routes on the admin server:
///   GET /                  the page (index.html)
///   GET /console/<file>    its other files
///   GET /changes           text/event-stream: "event: change" with {"seq": N}
///                          at once and after every change of the state
/// A change stream ends when `stopping` turns true and the signal is woken.
class ConsoleRoutes {
public:
    static void add(httplib::Server& server, const ConsoleAssets& assets, ChangeSignal& changes,
                    const std::atomic<bool>& stopping);
    /// Whether `path` is one of the page's files, which need no token.
    static bool servesPage(const std::string& path);
};

}  // namespace quorvela::sandbox
