#include "quorvela/platform/ReplayLocationSource.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

#include "platform/RouteParser.h"

namespace quorvela {

// What the replay thread uses lives here, so that a thread left running (a
// replay stopped from its own handler) never touches a destroyed source.
struct ReplayLocationSource::Run {
    std::mutex mutex;
    std::condition_variable changed;
    bool stopped = false;
    bool finished = false;
    FixHandler handler;
};

namespace {

constexpr std::uintmax_t kMaximumFileSize = 64u * 1024u * 1024u;

double pauseBetween(const Location& previous, const Location& next, double speed) {
    if (!(speed > 0.0) || !std::isfinite(speed)) return 0.0;
    double recorded = next.timestamp - previous.timestamp;
    if (previous.timestamp == 0.0 || next.timestamp == 0.0 || !std::isfinite(recorded)) {
        recorded = ReplayLocationSource::kDefaultPause;
    }
    return std::clamp(recorded / speed, 0.0, ReplayLocationSource::kMaximumPause);
}

double now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

ReplayLocationSource::ReplayLocationSource(std::vector<Location> route, double speed)
    : route_(std::move(route)), speed_(speed) {}

std::shared_ptr<ReplayLocationSource> ReplayLocationSource::fromFile(const std::string& path, double speed,
                                                                     std::string* error) {
    auto fail = [error](std::string why) {
        if (error) *error = std::move(why);
        return nullptr;
    };
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot open " + path);
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaximumFileSize) return fail(path + " is larger than 64 MiB");
    }
    auto route = RouteParser::parse(text);
    if (route.empty()) return fail(path + " holds no readable fix (GPX or NMEA)");
    return std::make_shared<ReplayLocationSource>(std::move(route), speed);
}

ReplayLocationSource::~ReplayLocationSource() { stop(); }

void ReplayLocationSource::start(FixHandler handler) {
    stop();
    auto run = std::make_shared<Run>();
    run->handler = std::move(handler);
    run_ = run;
    thread_ = std::thread([run, route = route_, speed = speed_] {
        std::unique_lock lock(run->mutex);
        for (std::size_t i = 0; i < route.size(); ++i) {
            if (i > 0) {
                const auto pause = std::chrono::duration<double>(pauseBetween(route[i - 1], route[i], speed));
                run->changed.wait_for(lock, pause, [&] { return run->stopped; });
            }
            if (run->stopped) return;
            Location fix = route[i];
            fix.timestamp = now();
            FixHandler handler = run->handler;
            lock.unlock();
            if (handler) handler(fix);
            lock.lock();
        }
        run->finished = true;
        run->changed.notify_all();
    });
}

void ReplayLocationSource::stop() {
    if (!run_) return;
    {
        std::lock_guard lock(run_->mutex);
        run_->stopped = true;
    }
    run_->changed.notify_all();
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();  // stopped from its own handler: it ends after the handler returns
        } else {
            thread_.join();
        }
    }
    run_.reset();
}

bool ReplayLocationSource::waitFinished(std::chrono::milliseconds timeout) {
    auto run = run_;
    if (!run) return false;
    std::unique_lock lock(run->mutex);
    return run->changed.wait_for(lock, timeout, [&] { return run->finished || run->stopped; }) && run->finished;
}

}  // namespace quorvela
