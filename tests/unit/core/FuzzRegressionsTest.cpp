// Every input that ever broke a fuzz target is kept under
// fuzz/regressions/<target>/ and replayed through that target's own check. A
// check that breaks a promise aborts, which fails the test with its reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzChecks.h"

namespace quorvela {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzz = fs::path(QUORVELA_SOURCE_DIR) / "fuzz";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(FuzzRegressions, EveryKeptInputReplaysThroughItsTargetsCheck) {
    std::size_t replayed = 0;
    for (const auto& folder : fs::directory_iterator(kFuzz / "regressions")) {
        const std::string target = folder.path().filename().string();
        SCOPED_TRACE(target);
        const auto check = fuzz::checks().find(target);
        if (check == fuzz::checks().end()) {
            ADD_FAILURE() << "fuzz/regressions/" << target << " names no fuzz target";
            continue;
        }
        for (const auto& input : fs::directory_iterator(folder.path())) {
            SCOPED_TRACE(input.path().filename().string());
            check->second(readFile(input.path()));
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0u);
}

// A check that refused ordinary inputs would stop its fuzzer at the first one.
TEST(FuzzRegressions, EveryCheckAcceptsOrdinaryInputsAndHasACorpus) {
    const std::vector<std::string> inputs{
        "",
        "<messages><message><id>1</id><subject>Hi</subject></message></messages>",
        "<geoFences><geoFence><regionId>g</regionId><latitude>1</latitude></geoFence></geoFences>",
        "<messages><message><id>1</id>",
        "bplist00",
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\n",
        R"({"aps":{"alert":"hi"},"command":"TXT_MSG","clientId":"c1","messageId":"m1"})",
    };
    for (const auto& [target, check] : fuzz::checks()) {
        SCOPED_TRACE(target);
        EXPECT_TRUE(fs::is_directory(kFuzz / "corpus" / target));
        for (const auto& input : inputs) check(input);
    }
}

}  // namespace
}  // namespace quorvela
