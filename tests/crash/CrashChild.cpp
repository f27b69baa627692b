// The writer the crash test kills: stores messages into a workspace inbox and
// writes other settings through the real SQLite store, printing each item on
// stdout only after the call that stored it has returned.
//
//   crash_child DATA_DIR RUN
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ChildProcess.h"
#include "CrashRecords.h"
#include "model/WorkspaceRecord.h"

namespace {

using quorvela::crash::emit;

// Any store failure is reported to the test, which fails on it.
class ReportingLog : public quorvela::SystemLog {
public:
    void write(const std::string& line) override { emit("L " + line); }
};

}  // namespace

int main(int argc, char** argv) {
    using namespace quorvela;
    if (argc != 3) return 2;
    const std::filesystem::path dir = argv[1];
    const int run = std::atoi(argv[2]);

    auto platform = crash::openStores(dir, std::make_shared<ReportingLog>());

    auto workspace = WorkspaceRecord::create(platform);
    workspace->setClientId(crash::workspaceId(run));
    workspace->setMessages(workspace->loadMessage());
    emit("S");

    for (int step = 1;; ++step) {
        workspace->processMessage(crash::makeMessage(run, step));
        emit("M " + crash::messageId(run, step));
        for (const auto& setting : crash::kSettings) {
            if (step % setting.cadence != 0) continue;
            const auto at = crash::stamp(run, step);
            platform->keyValueStore->set(setting.key, crash::settingValue(setting.key, at));
            emit(std::string(1, setting.tag) + " " + std::to_string(at));
        }
        if (step % crash::kSyncCadence == 0)
            emit(platform->keyValueStore->synchronize() ? "Y" : "L synchronize failed");
    }
}
