#include "ConsoleRoutes.h"

#include <httplib.h>

#include <chrono>
#include <fmt/format.h>
#include <optional>
#include <thread>

#include "ChangeSignal.h"
#include "ConsoleAssets.h"

namespace quorvela::sandbox {

namespace {

// Short enough that a closed browser tab frees its server thread soon.
constexpr std::chrono::seconds kKeepAlive{5};
// Changes come in bursts (one request writes several rows); one event per
// burst is enough for a page that re-reads what it shows.
constexpr std::chrono::milliseconds kCoalesce{100};

std::string changeEvent(std::uint64_t sequence) {
    return fmt::format("event: change\ndata: {{\"seq\":{}}}\n\n", sequence);
}

void serve(const ConsoleAssets& assets, const std::string& name, httplib::Response& response) {
    auto asset = assets.find(name);
    if (!asset) {
        response.status = 404;
        response.set_content("Not found", "text/plain");
        return;
    }
    // The page holds the admin token: nothing foreign may run in it or frame it.
    response.set_header("Content-Security-Policy",
                        "default-src 'self'; img-src 'self' data:; style-src 'self'; script-src 'self'; "
                        "connect-src 'self'; frame-ancestors 'none'");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_header("Cache-Control", "no-store");
    response.set_content(std::move(asset->content), asset->contentType);
}

}  // namespace

bool ConsoleRoutes::servesPage(const std::string& path) { return path == "/" || path.rfind("/console/", 0) == 0; }

void ConsoleRoutes::add(httplib::Server& server, const ConsoleAssets& assets, ChangeSignal& changes,
                        const std::atomic<bool>& stopping) {
    server.Get("/", [&assets](const httplib::Request&, httplib::Response& response) {
        serve(assets, "index.html", response);
    });
    server.Get(R"(/console/([^/]+))", [&assets](const httplib::Request& request, httplib::Response& response) {
        serve(assets, request.matches[1], response);
    });
    server.Get("/changes", [&changes, &stopping](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider(
            "text/event-stream",
            [&changes, &stopping, seen = std::optional<std::uint64_t>()](std::size_t, httplib::DataSink& sink) mutable {
                std::string text;
                if (!seen) {
                    seen = changes.sequence();
                    text = changeEvent(*seen);
                } else {
                    const std::uint64_t now = changes.waitAfter(*seen, kKeepAlive, stopping);
                    if (stopping) {
                        sink.done();
                        return true;
                    }
                    if (now == *seen) {
                        text = ": keep-alive\n\n";
                    } else {
                        std::this_thread::sleep_for(kCoalesce);
                        seen = changes.sequence();
                        text = changeEvent(*seen);
                    }
                }
                return sink.write(text.data(), text.size());
            });
    });
}

}  // namespace quorvela::sandbox
