// flush (and close, which then writes the store): false while a request is
// still out, true once the reply and everything it set off have run; never
// true from inside the library's jobs.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "CoreFixture.h"

namespace quorvela::test {
namespace {

using namespace std::chrono_literals;

class FlushTest : public CoreFixture {
protected:
    FlushTest() { configured(); }
    ~FlushTest() override { release(); }

    // Registers a user whose reply the fake service holds until release()
    // (bounded, so a broken test cannot hang the run).
    void registerHeld() {
        http().answer(url("registerUser"), [this](const std::string&) {
            std::unique_lock lock(mutex_);
            opened_.wait_for(lock, 30s, [this] { return open_; });
            return FakeHttpClient::reply(kSuccess);
        });
        facade->registerWithUserID(std::string("alice"));
    }
    void release() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

TEST_F(FlushTest, FalseWhileARequestHangsTrueOnceItsWorkIsDone) {
    EXPECT_TRUE(facade->flush(0ms)) << "an idle library is flushed at once";
    registerHeld();
    EXPECT_FALSE(facade->flush(100ms));
    EXPECT_FALSE(facade->flush(0ms));
    EXPECT_FALSE(store->contains("validated"));  // the reply has not been handled
    EXPECT_EQ(sent("registerUser"), 1u);
    // close runs out of time as well, but writes the store all the same.
    const int flushesBefore = store->flushes;
    EXPECT_FALSE(facade->close(100ms));
    EXPECT_GT(store->flushes, flushesBefore);

    release();
    ASSERT_TRUE(facade->close(30s));
    // Not just the held reply: the start-up it triggered has run and sent its
    // "INIT" event by the time close returns.
    EXPECT_EQ(stored("validated"), Value("YES"));
    EXPECT_EQ(eventRequests(), 1u);
    EXPECT_TRUE(facade->flush(0ms));
}

TEST_F(FlushTest, FromInsideALibraryJobItCannotSucceed) {
    // The answer runs as a job of the library's queues; that job keeps the
    // library busy, so a flush there can only time out.
    std::optional<bool> flushedInside;
    http().answer(url("registerUser"), [this, &flushedInside](const std::string&) {
        flushedInside = facade->flush(50ms);
        return FakeHttpClient::reply(kSuccess);
    });
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(facade->flush(30s));
    EXPECT_EQ(flushedInside, std::optional<bool>(false));
    EXPECT_EQ(stored("validated"), Value("YES"));
}

}  // namespace
}  // namespace quorvela::test
