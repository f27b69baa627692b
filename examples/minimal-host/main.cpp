// A minimal host application: configures the library from a bundle folder,
// listens to the delegate, logs one event, waits until the library is idle
// and exits.
//
//   minimal-host BUNDLE_DIR DATA_DIR [--connect-to ADDR:PORT] [--cacert FILE]
//
// BUNDLE_DIR holds Quorvela-Info.plist (appName, publicKey, privateKey);
// DATA_DIR is where the library keeps its settings. --connect-to and --cacert
// point the library at a local sandbox instead of the service.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include <quorvela/quorvela.h>  // the whole public API

namespace {

// Callbacks arrive on the library's threads and may overlap.
class PrintingDelegate : public quorvela::QuorvelaProtocol {
public:
    void pushReceivedFromWorkspace(std::shared_ptr<quorvela::Message> message,
                                   std::shared_ptr<quorvela::Workspace> workspace) override {
        std::lock_guard lock(mutex_);
        std::cout << "push " << message->id().value_or("(null)") << " in "
                  << (workspace ? workspace->name().value_or("(null)") : "(none)") << std::endl;
    }
    void QuorvelaReady() override {
        std::lock_guard lock(mutex_);
        std::cout << "ready" << std::endl;
    }

private:
    std::mutex mutex_;
};

int usage() {
    std::cerr << "usage: minimal-host BUNDLE_DIR DATA_DIR [--connect-to ADDR:PORT] [--cacert FILE]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    quorvela::PlatformOptions options;
    options.bundleDir = argv[1];
    options.dataDir = argv[2];
    for (int i = 3; i < argc; i += 2) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) return usage();
        if (flag == "--connect-to") options.http.connectTo = argv[i + 1];
        else if (flag == "--cacert") options.http.caFile = argv[i + 1];
        else return usage();
    }

    auto platform = quorvela::Platform::makeDefault(options);
    quorvela::Quorvela::installPlatform(platform);
    auto library = quorvela::Quorvela::sharedInstance();
    library->setDelegate(std::make_shared<PrintingDelegate>());

    quorvela::Quorvela::configure();
    library->logEvent("APP_START", "minimal-host");

    // Flush before exit: every queued job and every request in flight ends.
    const bool idle = platform->dispatcher->waitIdle(std::chrono::seconds(30));
    std::cout << "version " << quorvela::Quorvela::getSDKVersionString() << ", "
              << (idle ? "idle" : "still busy after 30 s") << std::endl;
    return idle ? 0 : 1;
}
