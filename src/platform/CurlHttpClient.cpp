#include "platform/CurlHttpClient.h"

#include <curl/curl.h>
#include <fmt/format.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <future>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvela {

namespace {

constexpr long kMaxHostConnections = 6;

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

/// The certificates of the extra CA file, loaded once and added to the store
/// of every TLS context, so that they are trusted besides the system's CAs.
class ExtraAuthorities {
public:
    explicit ExtraAuthorities(const std::optional<std::string>& path) {
        if (!path) return;
        FILE* file = std::fopen(path->c_str(), "r");
        if (file == nullptr) {
            error_ = fmt::format("Cannot read CA file {}", *path);
            return;
        }
        while (X509* cert = PEM_read_X509(file, nullptr, nullptr, nullptr)) certs_.push_back(cert);
        std::fclose(file);
        ERR_clear_error();  // the read that ends the loop leaves an end-of-file error behind
        if (certs_.empty()) error_ = fmt::format("No certificate in CA file {}", *path);
    }
    ~ExtraAuthorities() {
        for (X509* cert : certs_) X509_free(cert);
    }
    ExtraAuthorities(const ExtraAuthorities&) = delete;
    ExtraAuthorities& operator=(const ExtraAuthorities&) = delete;

    bool empty() const { return certs_.empty(); }
    /// Set when a CA file was given but is unusable; every transfer then fails
    /// with it rather than silently trusting less than asked.
    const std::optional<std::string>& error() const { return error_; }

    static CURLcode addToContext(CURL*, void* sslContext, void* self) {
        auto* authorities = static_cast<ExtraAuthorities*>(self);
        X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
        for (X509* cert : authorities->certs_) X509_STORE_add_cert(store, cert);  // a duplicate is harmless
        ERR_clear_error();
        return CURLE_OK;
    }

private:
    std::vector<X509*> certs_;
    std::optional<std::string> error_;
};

/// One GET: its handle, the bytes received so far and where the outcome goes.
struct Transfer {
    CURL* easy = nullptr;
    curl_slist* connectTo = nullptr;
    std::string body;
    std::size_t maxBody = 0;
    bool overflow = false;
    char errorText[CURL_ERROR_SIZE] = {};
    HttpClient::Completion done;
    /// A blocking GET's: `done` runs on the transfer thread and no dispatcher
    /// activity is open for it (its caller waits for it instead).
    bool blocking = false;

    ~Transfer() {
        if (easy != nullptr) curl_easy_cleanup(easy);
        if (connectTo != nullptr) curl_slist_free_all(connectTo);
    }

    static size_t write(char* data, size_t size, size_t count, void* self) {
        auto* transfer = static_cast<Transfer*>(self);
        const size_t bytes = size * count;
        if (transfer->body.size() + bytes > transfer->maxBody) {
            transfer->overflow = true;
            return 0;  // makes curl abort the transfer
        }
        transfer->body.append(data, bytes);
        return bytes;
    }

    HttpResult result(CURLcode code) {
        HttpResult out;
        if (code == CURLE_OK) {
            out.ok = true;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &out.status);
            out.body = std::move(body);
            return out;
        }
        if (overflow || code == CURLE_FILESIZE_EXCEEDED) {
            out.error = fmt::format("Reply body exceeds {} bytes", maxBody);
        } else if (errorText[0] != '\0') {
            out.error = errorText;
        } else {
            out.error = curl_easy_strerror(code);
        }
        return out;
    }
};

}  // namespace

class CurlHttpClient::Engine {
public:
    Engine(HttpClientOptions options, std::shared_ptr<Dispatcher> dispatcher)
        : options_(std::move(options)), dispatcher_(std::move(dispatcher)), authorities_(options_.caFile) {
        initCurlOnce();
        multi_ = curl_multi_init();
        // Beyond this, transfers wait for a free connection instead of opening
        // ever more of them (servers serve a connection per thread).
        curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxHostConnections);
        thread_ = std::thread([this] { run(); });
    }

    ~Engine() {
        stopping_ = true;
        curl_multi_wakeup(multi_);
        thread_.join();
        curl_multi_cleanup(multi_);
    }

    void get(const std::string& url, std::chrono::milliseconds timeout, Completion done) {
        auto transfer = std::make_unique<Transfer>();
        transfer->done = std::move(done);
        dispatcher_->beginActivity();
        submit(std::move(transfer), url, timeout);
    }

    // Runs on the transfer thread like every other GET, so it shares the
    // multi handle's connections instead of opening one of its own each time.
    HttpResult getBlocking(const std::string& url, std::chrono::milliseconds timeout) {
        // Shared with the completion, so the promise outlives its set_value
        // however soon the caller wakes and returns.
        auto outcome = std::make_shared<std::promise<HttpResult>>();
        std::future<HttpResult> result = outcome->get_future();
        auto transfer = std::make_unique<Transfer>();
        transfer->blocking = true;
        transfer->done = [outcome](HttpResult reply) { outcome->set_value(std::move(reply)); };
        submit(std::move(transfer), url, timeout);
        return result.get();  // curl's time-out or the engine's shutdown ends every transfer
    }

private:
    /// Hands a transfer to the transfer thread, or completes it at once when
    /// it cannot be made or the engine is shutting down.
    void submit(std::unique_ptr<Transfer> transfer, const std::string& url, std::chrono::milliseconds timeout) {
        if (std::optional<std::string> setupError = setUp(*transfer, url, timeout)) {
            HttpResult failed;
            failed.error = *setupError;
            deliver(*transfer, std::move(failed));
            return;
        }
        {
            std::lock_guard lock(mutex_);
            if (!stopping_) incoming_.push_back(std::move(transfer));
        }
        if (transfer) {  // the engine is shutting down
            HttpResult cancelled;
            cancelled.error = "cancelled";
            deliver(*transfer, std::move(cancelled));
            return;
        }
        curl_multi_wakeup(multi_);
    }

    /// Configures a handle; returns an error text when the request cannot be made.
    std::optional<std::string> setUp(Transfer& transfer, const std::string& url, std::chrono::milliseconds timeout) {
        if (authorities_.error()) return authorities_.error();
        if (url.size() > options_.maxUrlBytes)
            return fmt::format("The request URL is {} bytes long; at most {} bytes can be sent", url.size(),
                               options_.maxUrlBytes);
        transfer.easy = curl_easy_init();
        if (transfer.easy == nullptr) return std::string("Cannot create a transfer");
        transfer.maxBody = options_.maxBodyBytes;
        CURL* easy = transfer.easy;
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        // Only HTTPS, and never a redirect that could leave it.
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max<std::int64_t>(1, timeout.count())));
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options_.maxBodyBytes));
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "Quorvela");
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorText);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::write);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);
        if (options_.connectTo) {
            const std::string entry = "::" + *options_.connectTo;
            transfer.connectTo = curl_slist_append(nullptr, entry.c_str());
            curl_easy_setopt(easy, CURLOPT_CONNECT_TO, transfer.connectTo);
        }
        if (!authorities_.empty()) {
            // A cached store would be shared with handles configured without the callback.
            curl_easy_setopt(easy, CURLOPT_CA_CACHE_TIMEOUT, 0L);
            curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &ExtraAuthorities::addToContext);
            curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &authorities_);
        }
        return std::nullopt;
    }

    /// Queues the completion, then closes the activity, so waitIdle never sees
    /// a gap between the transfer and its completion job.
    void deliver(Transfer& transfer, HttpResult result) {
        if (transfer.blocking) {
            transfer.done(std::move(result));
            return;
        }
        if (transfer.done) {
            dispatcher_->global(
                [done = std::move(transfer.done), result = std::move(result)]() mutable { done(std::move(result)); });
        }
        dispatcher_->endActivity();
    }

    void run() {
        std::list<std::unique_ptr<Transfer>> active;
        while (!stopping_) {
            std::deque<std::unique_ptr<Transfer>> arrived;
            {
                std::lock_guard lock(mutex_);
                arrived.swap(incoming_);
            }
            for (auto& transfer : arrived) {
                if (curl_multi_add_handle(multi_, transfer->easy) != CURLM_OK) {
                    HttpResult failed;
                    failed.error = "Cannot start the transfer";
                    deliver(*transfer, std::move(failed));
                    continue;
                }
                active.push_back(std::move(transfer));
            }
            int running = 0;
            curl_multi_perform(multi_, &running);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
                if (message->msg != CURLMSG_DONE) continue;
                CURL* easy = message->easy_handle;
                const CURLcode code = message->data.result;
                curl_multi_remove_handle(multi_, easy);
                for (auto it = active.begin(); it != active.end(); ++it) {
                    if ((*it)->easy != easy) continue;
                    Transfer& transfer = **it;
                    deliver(transfer, transfer.result(code));
                    active.erase(it);
                    break;
                }
            }
            if (stopping_) break;
            curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        }
        // Shutting down: every transfer still open completes once, as cancelled.
        {
            std::lock_guard lock(mutex_);
            for (auto& transfer : incoming_) active.push_back(std::move(transfer));
            incoming_.clear();
        }
        for (auto& transfer : active) {
            curl_multi_remove_handle(multi_, transfer->easy);
            HttpResult cancelled;
            cancelled.error = "cancelled";
            deliver(*transfer, std::move(cancelled));
        }
    }

    const HttpClientOptions options_;
    const std::shared_ptr<Dispatcher> dispatcher_;
    ExtraAuthorities authorities_;
    CURLM* multi_ = nullptr;
    std::mutex mutex_;
    std::deque<std::unique_ptr<Transfer>> incoming_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

CurlHttpClient::CurlHttpClient(HttpClientOptions options, std::shared_ptr<Dispatcher> dispatcher)
    : engine_(std::make_unique<Engine>(std::move(options), std::move(dispatcher))) {}

CurlHttpClient::~CurlHttpClient() = default;

void CurlHttpClient::get(const std::string& url, std::chrono::milliseconds timeout, Completion done) {
    engine_->get(url, timeout, std::move(done));
}

HttpResult CurlHttpClient::getBlocking(const std::string& url, std::chrono::milliseconds timeout) {
    return engine_->getBlocking(url, timeout);
}

}  // namespace quorvela
